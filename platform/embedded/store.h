// The embedded platform's state folder: one SQLite store with the platform's
// settings and everything the platform keeps: sessions, metabase, accounts,
// and the drives with their folders, files and security descriptors.
//
// The folder is chosen by --state, else $TARNWICK_STATE, else
// $XDG_STATE_HOME/tarnwick, else ~/.local/state/tarnwick. It is created with
// default settings on first use; `tarnwick platform init` makes a fresh one.
//
// The store holds every site account's password and the panel logins kept
// in sessions, so only its owner may read it: a folder the store creates is
// owner-only (0700), and the database with its side files is 0600. A new
// database is built under a temporary name and linked into place whole, so
// another process never finds a half-made one. An existing file that is not
// a usable store (empty, not SQLite, another schema, missing tables) is
// refused and left as it is; only `initialize` with `replace` replaces it.
#pragma once

#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <typeindex>

#include "platform/embedded/database.h"

namespace tarnwick::platform::embedded {

struct PlatformSettings {
    std::string computerName = "WEBSERVER";
    int iisVersion = 6;  // 5 on Windows 2000, 6 on Windows Server 2003
    int codePage = 936;  // the ANSI code page of the Chinese Windows the panel targets
    // The physical folder of the master control site, whose pages create
    // Control: Server.MapPath resolves "/Template/..." there.
    std::string masterSiteRoot = "C:\\Inetpub\\wwwroot";
    std::string drives = "CD";  // the drive letters of a fresh platform
};

class Store {
    struct Made {  // only the factories below make a Store
        explicit Made() = default;
    };

public:
    Store(Made, std::filesystem::path folder, const std::string& databasePath,
          Database::Opening opening);

    // Opens the state in `folder`, creating it with default settings when it
    // does not exist; StoreError for a store that cannot be used.
    static std::shared_ptr<Store> open(const std::filesystem::path& folder);
    // A fresh state in `folder`; an existing one is replaced only when `replace` is set.
    static std::shared_ptr<Store> initialize(const std::filesystem::path& folder,
                                             const PlatformSettings& settings, bool replace);
    // A state that lives in memory only, for tests.
    static std::shared_ptr<Store> inMemory(const PlatformSettings& settings = {});

    static std::filesystem::path defaultFolder();
    // True when `folder` holds a platform's database (usable or not).
    static bool holdsPlatform(const std::filesystem::path& folder);

    Database& db() { return db_; }

    // Makes sure the store has the tables `schema` (CREATE TABLE IF NOT EXISTS
    // ...) describes, each with exactly its columns; every part of the platform
    // calls it for its own tables. A store that was once made whole (its
    // platform was seeded) must have them all: a missing table is damage, as
    // is a table with other columns, and either is a StoreError. A store
    // still being made gets the missing ones.
    void ensureSchema(std::string_view schema);
    // The error for a store whose content is damaged: `problem` says what is
    // wrong and where (settings.iis_version is "six", not a whole number).
    StoreError damaged(std::string_view problem) const;
    // Read from the store once per generation of the connection.
    const PlatformSettings& settings();
    void saveSettings(const PlatformSettings& settings);

    // The one object of type T kept with this connection, made on first use:
    // the place for a cache of stored rows, so that every object reading the
    // same rows through this store shares one copy and sees its writes.
    template <class T>
    T& shared() {
        auto& slot = shared_[std::type_index(typeid(T))];
        if (!slot) slot = std::make_shared<T>();
        return *static_cast<T*>(slot.get());
    }
    // Empty for an in-memory store.
    const std::filesystem::path& folder() const { return folder_; }

private:
    // Builds a database with the store's own tables and `settings` under a
    // temporary name in `folder` and links it into place as the store.
    // False when a store appeared there meanwhile (never with `replace`).
    static bool create(const std::filesystem::path& folder, const PlatformSettings& settings,
                       bool replace);
    // Checks what an existing database holds before anything is written to it.
    void checkExisting();

    std::filesystem::path folder_;
    Database db_;
    bool whole_ = false;  // made whole once: every table must be there
    std::optional<PlatformSettings> settings_;
    uint64_t settingsGeneration_ = 0;
    std::map<std::type_index, std::shared_ptr<void>> shared_;
};

}  // namespace tarnwick::platform::embedded
