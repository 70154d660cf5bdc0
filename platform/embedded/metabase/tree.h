// The metabase tree: binding a script's "IIS://" path to a key object, the
// keys of a fresh IIS installation, and the changes that key objects make,
// each one atomic in the storage.
//
// Nothing is cached: every bind and every call reads the storage afresh,
// because another process may have changed it.
//
// Creating a key takes two steps, Create and the new object's SetInfo, and
// another process may try the same name in between (two pages that pick the
// same free site number). Create therefore reserves the name in the storage,
// atomically with the check that it is free: a second Create of the name, in
// this process or another, fails with kAlreadyExists while the reservation
// stands. Bind and enumeration do not see reserved names; SetInfo turns the
// reservation into the key, and an object dropped without SetInfo gives its
// name back. A reservation whose process has died, or that is older than
// kReservationLifetime (the process id may have been reused), is dropped by
// the next Create or SetInfo that meets it.
//
// On IIS 5 the application pool classes do not exist: keys of those classes
// are hidden from bind and enumeration, and Create refuses them.
//
// A property a key does not set is read from the nearest key above it that
// sets it when the schema marks it inheritable (schema.h); the stored state
// holds each key's own values only.
#pragma once

#include <atomic>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "automation/dispatch.h"
#include "platform/embedded/metabase/host.h"
#include "platform/embedded/metabase/schema.h"
#include "platform/embedded/metabase/storage.h"

namespace tarnwick::platform::metabase {

inline constexpr int64_t kReservationLifetime = 10 * 60;  // seconds

class MetabaseTree : public std::enable_shared_from_this<MetabaseTree> {
    struct Made {  // only create() makes a tree: its objects hold it shared
        explicit Made() = default;
    };

public:
    MetabaseTree(Made, std::shared_ptr<MetabaseStorage> storage,
                 std::shared_ptr<MetabaseHost> host);
    static std::shared_ptr<MetabaseTree> create(std::shared_ptr<MetabaseStorage> storage,
                                                std::shared_ptr<MetabaseHost> host);

    // Binds "IIS://" + computer + key names ("IIS://WEBSERVER/W3SVC/2/Root").
    // The computer must be this computer's name or "localhost" (kBadNetPath
    // otherwise); a key that does not exist fails with kPathNotFound.
    automation::ObjectRef bind(std::string_view path);

    // Adds the keys of a fresh IIS installation that are missing: the web
    // service /LM/W3SVC with its Filters and Info, site 1 "Default Web Site"
    // (started, bound to ":80:") with its ROOT in C:\Inetpub\wwwroot and, on
    // IIS 6, the AppPools container with DefaultAppPool. Existing keys are
    // left as they are.
    void seedDefaults();

    MetabaseStorage& storage() { return *storage_; }
    MetabaseHost& host() { return *host_; }

    // The operations of key objects; `path` is a key path.

    // The key as the current IIS version shows it; /LM always exists.
    std::optional<KeyRecord> findKey(std::string_view path);
    KeyRecord requireKey(std::string_view path);  // kPathNotFound when missing
    std::vector<KeyRecord> children(std::string_view path);
    // The value of a stored property (its source is Stored) as the key
    // `path` reads it: the key's own, else, for an inheritable property, that
    // of the nearest key above that sets it; nullopt when none does, and
    // kPathNotFound when the key itself is gone.
    std::optional<PropertyValue> effectiveValue(std::string_view path,
                                                const PropertyDefinition& property);
    // Reserves the name of a new key; returns the reservation's token.
    std::string reserve(std::string_view path);
    // Gives back a reservation that was never stored; never throws.
    void release(std::string_view path, std::string_view token) noexcept;
    // Stores a reserved key with its properties.
    void storeNew(const KeyRecord& key, const PropertyMap& properties, std::string_view token);
    // Stores properties on an existing key and, when `keyType` is given,
    // its KeyType: a key without one (IIsObject) takes the class its parent
    // may hold; another class than the key's is kSchemaViolation.
    void storeChanges(std::string_view path, const PropertyMap& properties,
                      std::optional<std::string_view> keyType = std::nullopt);
    // Removes the child `name` of class `keyClass`, with its subtree.
    void removeChild(std::string_view container, const KeyClass& keyClass, std::string_view name);
    // Starts a site and sets its ServerAutoStart; kAlreadyExists when another
    // started site serves one of its bindings, kInvalidArgument when a
    // binding cannot be parsed.
    void start(std::string_view path);
    // Stops a site and clears its ServerAutoStart.
    void stop(std::string_view path);

private:
    bool isVisible(const KeyRecord& key, int iisVersion) const;
    std::optional<PropertyValue> ownValue(std::string_view path, std::string_view name);
    bool isStale(const Reservation& reservation);
    std::string newToken();

    std::shared_ptr<MetabaseStorage> storage_;
    std::shared_ptr<MetabaseHost> host_;
    std::atomic<uint64_t> tokens_ = 0;
};

}  // namespace tarnwick::platform::metabase
