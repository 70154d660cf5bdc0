#include "platform/embedded/metabase/tree.h"

#include <random>

#include "automation/error.h"
#include "automation/text.h"
#include "platform/embedded/metabase/errors.h"
#include "platform/embedded/metabase/key_object.h"
#include "platform/embedded/metabase/key_path.h"
#include "platform/embedded/metabase/server_binding.h"

namespace tarnwick::platform::metabase {

using automation::equalsIgnoreCase;
using automation::raise;

std::shared_ptr<MetabaseTree> MetabaseTree::create(std::shared_ptr<MetabaseStorage> storage,
                                                   std::shared_ptr<MetabaseHost> host) {
    return std::make_shared<MetabaseTree>(Made{}, std::move(storage), std::move(host));
}

MetabaseTree::MetabaseTree(Made, std::shared_ptr<MetabaseStorage> storage,
                           std::shared_ptr<MetabaseHost> host)
    : storage_(std::move(storage)), host_(std::move(host)) {}

automation::ObjectRef MetabaseTree::bind(std::string_view path) {
    if (host_->faultsArmed()) host_->checkFault("GetObject", path);
    auto parsed = parseObjectPath(path);
    if (!equalsIgnoreCase(parsed.computer, host_->computerName()) &&
        !equalsIgnoreCase(parsed.computer, "localhost")) {
        raise(errors::kBadNetPath, "The network path was not found: " + parsed.computer);
    }
    return std::make_shared<KeyObject>(shared_from_this(), std::move(parsed.computer),
                                       requireKey(parsed.keyPath));
}

bool MetabaseTree::isVisible(const KeyRecord& key, int iisVersion) const {
    const auto* keyClass = findClass(key.keyClass);
    return !(keyClass && keyClass->iis6Only && iisVersion != 6);
}

std::optional<KeyRecord> MetabaseTree::findKey(std::string_view path) {
    if (equalsIgnoreCase(path, kMachineKey)) {
        return KeyRecord{std::string(kMachineKey), std::string(classes::kComputer), {}};
    }
    auto key = storage_->findKey(path);
    if (!key || !isVisible(*key, host_->iisVersion())) return std::nullopt;
    return key;
}

KeyRecord MetabaseTree::requireKey(std::string_view path) {
    auto key = findKey(path);
    if (!key) raise(errors::kPathNotFound, "The path was not found: " + std::string(path));
    return std::move(*key);
}

std::vector<KeyRecord> MetabaseTree::children(std::string_view path) {
    requireKey(path);
    int version = host_->iisVersion();
    std::vector<KeyRecord> visible;
    // Siblings mostly share one class (thousands of sites): its schema entry
    // is looked up once for a run of them.
    std::string runClass;
    bool runVisible = true;
    for (auto& child : storage_->childKeys(path)) {
        if (child.keyClass != runClass) {
            runClass = child.keyClass;
            runVisible = isVisible(child, version);
        }
        if (runVisible) visible.push_back(std::move(child));
    }
    return visible;
}

std::optional<PropertyValue> MetabaseTree::ownValue(std::string_view path, std::string_view name) {
    if (!flagsIn(name).empty()) {
        auto own = storage_->properties(path);
        auto flags = ownFlags(name, [&](std::string_view flag) -> const PropertyValue* {
            auto found = own.find(flag);
            return found == own.end() ? nullptr : &found->second;
        });
        if (!flags) return std::nullopt;
        return PropertyValue::number(*flags);
    }
    std::optional<PropertyValue> value;
    storage_->withProperty(path, name, [&](const PropertyValue* found) {
        if (found) value = *found;
    });
    return value;
}

std::optional<PropertyValue> MetabaseTree::effectiveValue(std::string_view path,
                                                          const PropertyDefinition& property) {
    if (auto own = ownValue(path, property.name)) return own;
    requireKey(path);
    if (!property.inheritable) return std::nullopt;
    // The machine key holds no properties: the walk ends below it.
    for (std::string key = parentKeyPath(path); !key.empty() && !equalsIgnoreCase(key, kMachineKey);
         key = parentKeyPath(key)) {
        if (auto value = ownValue(key, property.name)) return value;
    }
    return std::nullopt;
}

bool MetabaseTree::isStale(const Reservation& reservation) {
    return !host_->processAlive(reservation.processId) ||
           host_->now() - reservation.created > kReservationLifetime;
}

std::string MetabaseTree::newToken() {
    std::random_device random;
    uint64_t noise = (static_cast<uint64_t>(random()) << 32) ^ random();
    return std::to_string(host_->processId()) + "-" + std::to_string(++tokens_) + "-" +
           automation::hexNumber(static_cast<int32_t>(noise)) +
           automation::hexNumber(static_cast<int32_t>(noise >> 32));
}

std::string MetabaseTree::reserve(std::string_view path) {
    std::string token = newToken();
    storage_->atomically([&] {
        requireKey(parentKeyPath(path));
        // A hidden key (an IIS 6 class on IIS 5) still holds its name.
        if (storage_->findKey(path)) {
            raise(errors::kAlreadyExists, "Cannot create a file when that file already exists.");
        }
        if (auto held = storage_->reservation(path)) {
            if (!isStale(*held)) {
                raise(errors::kAlreadyExists,
                      "Cannot create a file when that file already exists.");
            }
            storage_->removeReservation(path);
        }
        storage_->addReservation({std::string(path), token, host_->processId(), host_->now()});
    });
    return token;
}

void MetabaseTree::release(std::string_view path, std::string_view token) noexcept {
    try {
        storage_->atomically([&] {
            auto held = storage_->reservation(path);
            if (held && held->token == token) storage_->removeReservation(path);
        });
    } catch (...) {
        // The reservation stays until it is found stale; nothing else is lost.
    }
}

void MetabaseTree::storeNew(const KeyRecord& key, const PropertyMap& properties,
                            std::string_view token) {
    storage_->atomically([&] {
        requireKey(parentKeyPath(key.path));
        if (storage_->findKey(key.path)) {
            raise(errors::kAlreadyExists, "Cannot create a file when that file already exists.");
        }
        auto held = storage_->reservation(key.path);
        if (held && held->token != token && !isStale(*held)) {
            // Ours was dropped as stale and another Create now holds the name.
            raise(errors::kAlreadyExists, "Cannot create a file when that file already exists.");
        }
        if (held) storage_->removeReservation(key.path);
        storage_->insertKey(key);
        storage_->writeProperties(key.path, properties);
    });
}

void MetabaseTree::storeChanges(std::string_view path, const PropertyMap& properties,
                                std::optional<std::string_view> keyType) {
    storage_->atomically([&] {
        auto key = requireKey(path);
        storage_->writeProperties(path, properties);
        if (!keyType || equalsIgnoreCase(key.keyClass, *keyType)) return;
        const auto* wanted = findClass(*keyType);
        auto parent = findKey(parentKeyPath(path));
        if (!wanted || !equalsIgnoreCase(key.keyClass, classes::kObject) || !parent ||
            !mayContain(*findClass(parent->keyClass), *wanted)) {
            raise(errors::kSchemaViolation,
                  "The key " + key.path + " cannot become a " + std::string(*keyType));
        }
        storage_->setKeyClass(path, wanted->name);
    });
}

void MetabaseTree::removeChild(std::string_view container, const KeyClass& keyClass,
                               std::string_view name) {
    storage_->atomically([&] {
        requireKey(container);
        auto child = requireKey(std::string(container) + "/" + std::string(name));
        if (!equalsIgnoreCase(child.keyClass, keyClass.name)) {
            raise(errors::kPathNotFound,
                  "No " + std::string(keyClass.name) + " named " + std::string(name));
        }
        storage_->removeSubtree(child.path);
    });
}

namespace {
// The bindings in a site's own ServerBindings value, as views into it; one
// that cannot be parsed is refused.
std::vector<ServerBinding> ownBindings(const PropertyValue* value) {
    std::vector<ServerBinding> bindings;
    if (!value || value->type() != PropertyType::List) return bindings;
    for (const auto& text : value->list()) {
        if (auto binding = parseServerBinding(text)) {
            bindings.push_back(*binding);
        } else {
            raise(errors::kInvalidArgument, "Invalid server binding: " + text);
        }
    }
    return bindings;
}
}  // namespace

void MetabaseTree::start(std::string_view path) {
    storage_->atomically([&] {
        auto site = requireKey(path);
        auto ownValue = storage_->property(site.path, "ServerBindings");
        auto own = ownBindings(ownValue ? &*ownValue : nullptr);
        storage_->forEachChild(
            parentKeyPath(site.path), "ServerBindings",
            [&](const KeyRecord& other, const PropertyValue* value) {
                if (other.state != kServerStarted || equalsIgnoreCase(other.path, site.path) ||
                    !equalsIgnoreCase(other.keyClass, classes::kWebServer)) {
                    return;
                }
                if (!value || value->type() != PropertyType::List) return;
                for (const auto& text : value->list()) {
                    auto theirs = parseServerBinding(text);
                    if (!theirs) continue;
                    for (const auto& mine : own) {
                        if (bindingsCollide(mine, *theirs)) {
                            raise(errors::kAlreadyExists,
                                  "Another site already serves this binding: site " +
                                      std::string(keyName(other.path)));
                        }
                    }
                }
            });
        storage_->setState(site.path, kServerStarted);
        storage_->writeProperties(site.path, {{"ServerAutoStart", PropertyValue::boolean(true)}});
    });
}

void MetabaseTree::stop(std::string_view path) {
    storage_->atomically([&] {
        auto site = requireKey(path);
        storage_->setState(site.path, kServerStopped);
        storage_->writeProperties(site.path, {{"ServerAutoStart", PropertyValue::boolean(false)}});
    });
}

void MetabaseTree::seedDefaults() {
    using Value = PropertyValue;
    std::string anonymousUser = "IUSR_" + host_->computerName();
    bool iis6 = host_->iisVersion() == 6;

    PropertyMap root = {{"Path", Value::string("C:\\Inetpub\\wwwroot")},
                        {"AppRoot", Value::string("/LM/W3SVC/1/ROOT")},
                        {"AppIsolated", Value::number(2)},
                        {"AppFriendlyName", Value::string("Default Application")},
                        // AccessRead and AccessScript
                        {"AccessFlags", Value::number(0x201)}};
    if (iis6) root.emplace("AppPoolId", Value::string("DefaultAppPool"));

    struct Seed {
        KeyRecord key;
        PropertyMap properties;
    };
    std::vector<Seed> seeds = {
        {{"/LM/W3SVC", std::string(classes::kWebService), {}},
         {{"AnonymousUserName", Value::string(anonymousUser)},
          {"DefaultDoc", Value::string("Default.htm,Default.asp,index.htm,iisstart.htm")}}},
        {{"/LM/W3SVC/Filters", std::string(classes::kFilters), {}}, {}},
        {{"/LM/W3SVC/Info", std::string(classes::kWebInfo), {}}, {}},
        {{"/LM/W3SVC/1", std::string(classes::kWebServer), kServerStarted},
         {{"ServerBindings", Value::list({":80:"})},
          {"ServerComment", Value::string("Default Web Site")},
          {"ServerAutoStart", Value::boolean(true)},
          {"AnonymousUserName", Value::string(anonymousUser)}}},
        {{"/LM/W3SVC/1/ROOT", std::string(classes::kWebVirtualDir), {}}, root},
    };
    if (iis6) {
        seeds.push_back({{"/LM/W3SVC/AppPools", std::string(classes::kApplicationPools), {}}, {}});
        seeds.push_back(
            {{"/LM/W3SVC/AppPools/DefaultAppPool", std::string(classes::kApplicationPool), {}},
             {}});
    }

    storage_->atomically([&] {
        for (const auto& seed : seeds) {
            if (storage_->findKey(seed.key.path)) continue;
            if (!storage_->findKey(parentKeyPath(seed.key.path)) &&
                !equalsIgnoreCase(parentKeyPath(seed.key.path), kMachineKey)) {
                continue;
            }
            storage_->insertKey(seed.key);
            storage_->writeProperties(seed.key.path, seed.properties);
        }
    });
}

}  // namespace tarnwick::platform::metabase
