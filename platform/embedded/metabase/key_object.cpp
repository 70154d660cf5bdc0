#include "platform/embedded/metabase/key_object.h"

#include "automation/error.h"
#include "automation/text.h"
#include "platform/embedded/metabase/errors.h"
#include "platform/embedded/metabase/key_path.h"
#include "platform/embedded/metabase/tree.h"

namespace tarnwick::platform::metabase {

using automation::equalsIgnoreCase;
using automation::raise;
using automation::Variant;
namespace automationErrors = automation::errors;

namespace {
void requireCount(std::span<Variant> args, size_t count) {
    if (args.size() != count) raise(automationErrors::kWrongArgumentCount);
}

// The attributes of one property, as GetPropertyAttribObj gives them.
class PropertyAttributes final : public automation::Dispatch {
public:
    PropertyAttributes(const PropertyDefinition& property, bool isInherit)
        : property_(property), isInherit_(isInherit) {}

    Variant invoke(std::string_view name, automation::InvokeKind kind,
                   std::span<Variant> args) override {
        if (kind == automation::InvokeKind::PropertyPut) raise(automationErrors::kMemberNotFound);
        requireCount(args, 0);
        if (equalsIgnoreCase(name, "PropName")) return Variant(std::string(property_.name));
        if (equalsIgnoreCase(name, "Inherit")) return Variant(property_.inheritable);
        if (equalsIgnoreCase(name, "IsInherit")) return Variant(isInherit_);
        if (equalsIgnoreCase(name, "Secure")) return Variant(isSecure(property_.name));
        raise(automationErrors::kMemberNotFound);
    }

private:
    const PropertyDefinition& property_;
    bool isInherit_;
};

// The path below the machine key, as it follows the computer in an ADsPath.
std::string_view belowMachine(std::string_view keyPath) {
    return keyPath.substr(std::min(keyPath.size(), kMachineKey.size()));
}
}  // namespace

const KeyObject::Member KeyObject::kMembers[] = {
    {"Class", &KeyObject::className},
    {"Name", &KeyObject::keyNameMember},
    {"ADsPath", &KeyObject::adsPathMember},
    {"Parent", &KeyObject::parentMember},
    {"Get", &KeyObject::getMember},
    {"Put", &KeyObject::putMember},
    {"SetInfo", &KeyObject::setInfo},
    {"GetInfo", &KeyObject::getInfo},
    {"Create", &KeyObject::createChild},
    {"Delete", &KeyObject::deleteChild},
    {"Children", &KeyObject::childrenMember},
    {"AppCreate", &KeyObject::appCreate},
    {"AppCreate2", &KeyObject::appCreate2},
    {"Start", &KeyObject::startSite},
    {"Stop", &KeyObject::stopSite},
    {"GetPropertyAttribObj", &KeyObject::propertyAttributes},
};

KeyObject::KeyObject(std::shared_ptr<MetabaseTree> tree, std::string computer, KeyRecord key)
    : tree_(std::move(tree)), computer_(std::move(computer)), key_(std::move(key)), stored_(true) {}

KeyObject::KeyObject(std::shared_ptr<MetabaseTree> tree, std::string computer, KeyRecord key,
                     std::string token)
    : tree_(std::move(tree)),
      computer_(std::move(computer)),
      key_(std::move(key)),
      token_(std::move(token)),
      stored_(false) {}

KeyObject::~KeyObject() {
    if (!stored_) tree_->release(key_.path, token_);
}

std::string KeyObject::adsPath() const {
    return "IIS://" + computer_ + std::string(belowMachine(key_.path));
}

Variant KeyObject::invoke(std::string_view name, automation::InvokeKind kind, Args args) {
    if (tree_->host().faultsArmed()) tree_->host().checkFault(name, adsPath());
    for (const auto& member : kMembers) {
        if (equalsIgnoreCase(member.name, name)) {
            if (kind == automation::InvokeKind::PropertyPut) {
                raise(automationErrors::kMemberNotFound);
            }
            return (this->*member.handler)(args);
        }
    }
    const auto* property = findProperty(name);
    if (!property) raise(automationErrors::kMemberNotFound);
    if (kind == automation::InvokeKind::PropertyPut) {
        requireCount(args, 1);
        writeProperty(name, args[0]);
        return {};
    }
    requireCount(args, 0);
    return readProperty(*property);
}

bool KeyObject::hasClass(std::string_view keyClass) const {
    return equalsIgnoreCase(key_.keyClass, keyClass);
}

void KeyObject::requireStored() const {
    if (!stored_) {
        raise(errors::kPathNotFound, "The path was not found: " + key_.path + " (not stored yet)");
    }
}

Variant KeyObject::className(Args args) {
    requireCount(args, 0);
    return Variant(key_.keyClass);
}

Variant KeyObject::keyNameMember(Args args) {
    requireCount(args, 0);
    if (equalsIgnoreCase(key_.path, kMachineKey)) return Variant(computer_);
    return Variant(keyName(key_.path));
}

Variant KeyObject::adsPathMember(Args args) {
    requireCount(args, 0);
    return Variant(adsPath());
}

Variant KeyObject::parentMember(Args args) {
    requireCount(args, 0);
    if (equalsIgnoreCase(key_.path, kMachineKey)) return Variant("IIS:");
    return Variant("IIS://" + computer_ + std::string(belowMachine(parentKeyPath(key_.path))));
}

Variant KeyObject::getMember(Args args) {
    requireCount(args, 1);
    auto name = automation::toText(args[0]);
    const auto* property = findProperty(name);
    if (!property) raise(errors::kPropertyNotFound, "The metabase has no property " + name);
    return readProperty(*property);
}

Variant KeyObject::propertyAttributes(Args args) {
    requireCount(args, 1);
    auto name = automation::toText(args[0]);
    const auto* property = findProperty(name);
    if (!property) raise(errors::kPropertyNotSupported, "The metabase has no property " + name);
    return Variant(automation::ObjectRef(
        std::make_shared<PropertyAttributes>(*property, readsInherited(*property))));
}

bool KeyObject::readsInherited(const PropertyDefinition& property) {
    // A flag is inherited with the DWORD that holds it.
    const auto& held =
        property.source == PropertySource::Flag ? *findProperty(property.flags) : property;
    if (held.source != PropertySource::Stored || !held.inheritable || !stored_ ||
        pending_.contains(held.name)) {
        return false;
    }
    auto own = tree_->storage().properties(key_.path);
    auto ownValue = [&](std::string_view name) -> const PropertyValue* {
        auto found = own.find(name);
        return found == own.end() ? nullptr : &found->second;
    };
    // A store written before flags were kept in their DWORD holds them as Booleans.
    bool hasOwn = flagsIn(held.name).empty() ? own.contains(held.name)
                                             : ownFlags(held.name, ownValue).has_value();
    return !hasOwn && tree_->effectiveValue(key_.path, held).has_value();
}

Variant KeyObject::putMember(Args args) {
    requireCount(args, 2);
    auto name = automation::toText(args[0]);
    if (!findProperty(name)) {
        raise(errors::kPropertyNotSupported, "The metabase has no property " + name);
    }
    writeProperty(name, args[1]);
    return {};
}

Variant KeyObject::readProperty(const PropertyDefinition& property) {
    auto notSet = [&]() -> Variant {
        raise(errors::kPropertyNotFound,
              "The property " + std::string(property.name) + " is not set on " + key_.path);
    };
    switch (property.source) {
        case PropertySource::KeyClass: {
            if (pendingKeyType_) return Variant(*pendingKeyType_);
            if (!stored_) return Variant(key_.keyClass);
            auto current = tree_->requireKey(key_.path);
            if (equalsIgnoreCase(current.keyClass, classes::kObject)) return notSet();
            return Variant(current.keyClass);
        }
        case PropertySource::ServerState: {
            if (!stored_) return notSet();
            auto current = tree_->requireKey(key_.path);
            if (!current.state) return notSet();
            return toAutomation(PropertyValue::number(*current.state));
        }
        case PropertySource::Flag: {
            auto flags = storedValue(*findProperty(property.flags));
            if (!flags) return notSet();
            return Variant((flags->number() & property.mask) != 0);
        }
        case PropertySource::Stored: break;
    }
    auto value = storedValue(property);
    if (!value) return notSet();
    return toAutomation(*value);
}

std::optional<PropertyValue> KeyObject::storedValue(const PropertyDefinition& property) {
    auto pending = pending_.find(property.name);
    if (pending != pending_.end()) return pending->second;
    if (!stored_) return std::nullopt;
    return tree_->effectiveValue(key_.path, property);
}

void KeyObject::writeProperty(std::string_view name, const Variant& value) {
    const auto* property = findProperty(name);
    switch (property->source) {
        case PropertySource::KeyClass: {
            // The class a key was created with stays; a key without KeyType
            // takes one, which its SetInfo stores.
            const auto* keyClass = findClass(automation::toText(value));
            if (!keyClass || (!hasClass(classes::kObject) && !hasClass(keyClass->name))) {
                raise(errors::kSchemaViolation, "KeyType must stay " + key_.keyClass);
            }
            pendingKeyType_ = std::string(keyClass->name);
            return;
        }
        case PropertySource::ServerState:
            raise(errors::kPropertyNotSupported, "ServerState changes through Start and Stop");
        case PropertySource::Flag:
        case PropertySource::Stored: break;
    }
    if (equalsIgnoreCase(key_.path, kMachineKey)) {
        raise(errors::kPropertyNotSupported, "The machine key takes no properties");
    }
    if (property->source == PropertySource::Flag) {
        // The whole DWORD the key reads is written with the flag's bit changed.
        const auto& dword = *findProperty(property->flags);
        uint32_t flags = storedValue(dword).value_or(PropertyValue::number(0)).number();
        bool set = fromAutomation(PropertyType::Boolean, value).boolean();
        flags = set ? flags | property->mask : flags & ~property->mask;
        pending_.insert_or_assign(std::string(dword.name), PropertyValue::number(flags));
        return;
    }
    pending_.insert_or_assign(std::string(property->name), fromAutomation(property->type, value));
}

Variant KeyObject::setInfo(Args args) {
    requireCount(args, 0);
    if (stored_) {
        // The machine key takes no properties, so it has nothing to store.
        if (!equalsIgnoreCase(key_.path, kMachineKey)) {
            tree_->storeChanges(key_.path, pending_, pendingKeyType_);
        }
    } else {
        KeyRecord key = key_;
        if (pendingKeyType_) key.keyClass = *pendingKeyType_;
        tree_->storeNew(key, pending_, token_);
        stored_ = true;
        token_.clear();
    }
    if (pendingKeyType_) key_.keyClass = *pendingKeyType_;
    pending_.clear();
    pendingKeyType_.reset();
    return {};
}

Variant KeyObject::getInfo(Args args) {
    requireCount(args, 0);
    pending_.clear();
    pendingKeyType_.reset();
    if (stored_) key_ = tree_->requireKey(key_.path);
    return {};
}

Variant KeyObject::createChild(Args args) {
    requireCount(args, 2);
    auto className = automation::toText(args[0]);
    auto name = automation::toText(args[1]);
    requireStored();
    const auto* container = findClass(key_.keyClass);
    const auto* childClass = findClass(className);
    if (!container || !childClass || !mayContain(*container, *childClass) ||
        (childClass->iis6Only && tree_->host().iisVersion() != 6)) {
        raise(errors::kSchemaViolation, "A " + key_.keyClass + " cannot contain a " + className);
    }
    if (!isValidKeyName(name)) raise(errors::kInvalidArgument, "Invalid key name: " + name);

    KeyRecord child{key_.path + "/" + name, std::string(childClass->name), {}};
    if (childClass->name == classes::kWebServer) child.state = kServerStopped;
    auto token = tree_->reserve(child.path);
    return Variant(automation::ObjectRef(
        std::make_shared<KeyObject>(tree_, computer_, std::move(child), std::move(token))));
}

Variant KeyObject::deleteChild(Args args) {
    requireCount(args, 2);
    auto className = automation::toText(args[0]);
    auto name = automation::toText(args[1]);
    requireStored();
    const auto* childClass = findClass(className);
    if (!childClass) raise(errors::kSchemaViolation, "Unknown class " + className);
    if (!isValidKeyName(name)) raise(errors::kInvalidArgument, "Invalid key name: " + name);
    tree_->removeChild(key_.path, *childClass, name);
    return {};
}

Variant KeyObject::childrenMember(Args args) {
    requireCount(args, 0);
    requireStored();
    Variant::Array children;
    for (auto& child : tree_->children(key_.path)) {
        children.emplace_back(
            automation::ObjectRef(std::make_shared<KeyObject>(tree_, computer_, std::move(child))));
    }
    return Variant(std::move(children));
}

void KeyObject::makeApplication(uint32_t mode) {
    if (!hasClass(classes::kWebVirtualDir) && !hasClass(classes::kWebDirectory)) {
        raise(automationErrors::kMemberNotFound);
    }
    PropertyMap application = {{"AppRoot", PropertyValue::string(key_.path)},
                               {"AppIsolated", PropertyValue::number(mode)}};
    if (stored_) {
        tree_->storeChanges(key_.path, application);
        return;
    }
    // The application is made in the metabase at once, and with it the key
    // that Create only prepared; the other writes stay pending for SetInfo.
    // IIS 4 and 5 make that key without KeyType (KB 321768), so it is a
    // generic IIsObject until a KeyType is stored on it.
    KeyRecord key = key_;
    if (tree_->host().iisVersion() != 6) key.keyClass = std::string(classes::kObject);
    tree_->storeNew(key, application, token_);
    stored_ = true;
    token_.clear();
}

Variant KeyObject::appCreate(Args args) {
    requireCount(args, 1);
    makeApplication(automation::toBoolean(args[0]) ? 0 : 1);
    return {};
}

Variant KeyObject::appCreate2(Args args) {
    requireCount(args, 1);
    auto mode = automation::toLong(args[0]);
    if (mode < 0 || mode > 2) {
        raise(errors::kInvalidArgument, "Application mode must be 0, 1 or 2");
    }
    makeApplication(static_cast<uint32_t>(mode));
    return {};
}

Variant KeyObject::startSite(Args args) {
    if (!hasClass(classes::kWebServer)) raise(automationErrors::kMemberNotFound);
    requireCount(args, 0);
    requireStored();
    tree_->start(key_.path);
    return {};
}

Variant KeyObject::stopSite(Args args) {
    if (!hasClass(classes::kWebServer)) raise(automationErrors::kMemberNotFound);
    requireCount(args, 0);
    requireStored();
    tree_->stop(key_.path);
    return {};
}

}  // namespace tarnwick::platform::metabase
