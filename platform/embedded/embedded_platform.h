// The embedded Windows platform assembled: the store, the metabase, the local
// accounts, the drives with their security, the objects that
// Server.CreateObject makes, fault injection, and the whole state as one JSON
// document.
#pragma once

#include <filesystem>
#include <memory>
#include <nlohmann/json.hpp>

#include "platform/embedded/asp_page.h"
#include "platform/embedded/faults.h"
#include "platform/embedded/store.h"
#include "platform/services.h"

namespace tarnwick::platform::embedded {

namespace system {
class EmbeddedSystem;
}

class EmbeddedPlatform {
    struct Made {  // only the factories below make a platform
        explicit Made() = default;
    };

public:
    EmbeddedPlatform(Made, std::shared_ptr<Store> store);

    // Opens the platform in `folder`, making a fresh one with the default
    // machine (sites, accounts, drives) when the folder holds none.
    static std::unique_ptr<EmbeddedPlatform> open(const std::filesystem::path& folder);
    // A fresh platform in `folder`; an existing one is replaced only when `replace` is set.
    static std::unique_ptr<EmbeddedPlatform> initialize(const std::filesystem::path& folder,
                                                        const PlatformSettings& settings,
                                                        bool replace);
    // A fresh platform in memory, for tests.
    static std::unique_ptr<EmbeddedPlatform> inMemory(const PlatformSettings& settings = {});

    ~EmbeddedPlatform();

    Store& store() { return *store_; }
    const std::shared_ptr<Store>& sharedStore() { return store_; }
    StoredFaults& faults();
    // GetObject, advapi32, the random source and the ANSI code page.
    Services services();
    // Server.CreateObject: "Scripting.FileSystemObject" and "WScript.Network".
    ObjectFactory objects();
    // Data sources, started processes, COM registrations, the installer's folder.
    std::shared_ptr<system::EmbeddedSystem> system();

    // The whole state; `load` replaces it all or changes nothing (LoadError).
    nlohmann::json dump();
    void load(const nlohmann::json& document);

private:
    void seedDefaults();
    void reconcileDrives(const nlohmann::json& document, PlatformSettings settings);

    struct Parts;
    std::shared_ptr<Store> store_;
    std::unique_ptr<Parts> parts_;
};

}  // namespace tarnwick::platform::embedded
