// The embedded platform's state folder: one SQLite store with the platform's
// settings and everything the platform keeps: sessions, metabase, accounts,
// and the drives with their folders, files and security descriptors.
//
// The folder is chosen by --state, else $TARNWICK_STATE, else
// $XDG_STATE_HOME/tarnwick, else ~/.local/state/tarnwick. It is created with
// default settings on first use; `tarnwick platform init` makes a fresh one.
#pragma once

#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
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
    Store(Made, std::filesystem::path folder, const std::string& databasePath);

    // Opens the state in `folder`, creating it with default settings when it does not exist.
    static std::shared_ptr<Store> open(const std::filesystem::path& folder);
    // A fresh state in `folder`; an existing one is replaced only when `replace` is set.
    static std::shared_ptr<Store> initialize(const std::filesystem::path& folder,
                                             const PlatformSettings& settings, bool replace);
    // A state that lives in memory only, for tests.
    static std::shared_ptr<Store> inMemory(const PlatformSettings& settings = {});

    static std::filesystem::path defaultFolder();

    Database& db() { return db_; }
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
    void createSchema();

    std::filesystem::path folder_;
    Database db_;
    std::optional<PlatformSettings> settings_;
    uint64_t settingsGeneration_ = 0;
    std::map<std::type_index, std::shared_ptr<void>> shared_;
};

}  // namespace tarnwick::platform::embedded
