// A metabase key as a script holds it, reached by late binding.
//
// Members (names ignore case; each call first passes the host's fault check
// with the member as called and the object's ADsPath):
//   Class, Name, ADsPath, Parent   read-only: the class (KeyType), the key's
//                                  name, "IIS://" + computer + key path, and
//                                  the parent's ADsPath ("IIS:" for the machine)
//   <property>, Get(name)          a schema property: the pending value when
//                                  one was written, else the stored one, else
//                                  (inheritable ones) the nearest ancestor's;
//                                  kPropertyNotFound when unset. KeyType is
//                                  unset on a key without one (IIsObject)
//   <property> = v, Put(name, v)   converted to the property's type and kept
//                                  pending until SetInfo; a flag changes its
//                                  bit in the DWORD the key reads
//   SetInfo, GetInfo               store the pending writes in one change /
//                                  drop them
//   Create(class, name)            a new child that exists once its SetInfo
//                                  stored it (name reserved until then), with
//                                  its class as KeyType
//   Delete(class, name)            removes the child with its subtree at once
//   Children                       an Array with an object for each child, in
//                                  creation order: how a caller enumerates
//   AppCreate(inProcess),          make a virtual directory an application:
//   AppCreate2(mode)               AppRoot = its key path, AppIsolated = 0
//                                  in-process, 1 isolated (AppCreate(False)),
//                                  2 pooled; stored at once. On a new key the
//                                  key is stored then too, its other writes
//                                  staying pending; on IIS 5 it is stored
//                                  without KeyType, which its SetInfo writes
//                                  only when KeyType was put
//   Start, Stop                    a site's run state and ServerAutoStart,
//                                  changed at once
//   GetPropertyAttribObj(name)     the property's attributes: PropName (its
//                                  schema spelling), Inherit (the schema lets
//                                  keys below inherit it), Secure (kept
//                                  encrypted), IsInherit (the key reads the
//                                  value of a key above, having none of its
//                                  own); kPropertyNotSupported for a name
//                                  the metabase does not know
// An unknown name fails with 438, a wrong number of arguments with 450.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "automation/dispatch.h"
#include "platform/embedded/metabase/schema.h"
#include "platform/embedded/metabase/storage.h"

namespace tarnwick::platform::metabase {

class MetabaseTree;

class KeyObject : public automation::Dispatch {
public:
    // A stored key, bound or enumerated.
    KeyObject(std::shared_ptr<MetabaseTree> tree, std::string computer, KeyRecord key);
    // A key that Create made under the reservation `token`, not stored yet.
    KeyObject(std::shared_ptr<MetabaseTree> tree, std::string computer, KeyRecord key,
              std::string token);
    // Gives back the reserved name of a key that was never stored.
    ~KeyObject() override;
    KeyObject(const KeyObject&) = delete;
    KeyObject& operator=(const KeyObject&) = delete;

    automation::Variant invoke(std::string_view name, automation::InvokeKind kind,
                               std::span<automation::Variant> args) override;

    std::string adsPath() const;

private:
    using Args = std::span<automation::Variant>;
    using Handler = automation::Variant (KeyObject::*)(Args);
    struct Member {
        std::string_view name;
        Handler handler;
    };
    static const Member kMembers[];

    automation::Variant className(Args args);
    automation::Variant keyNameMember(Args args);
    automation::Variant adsPathMember(Args args);
    automation::Variant parentMember(Args args);
    automation::Variant getMember(Args args);
    automation::Variant putMember(Args args);
    automation::Variant setInfo(Args args);
    automation::Variant getInfo(Args args);
    automation::Variant createChild(Args args);
    automation::Variant deleteChild(Args args);
    automation::Variant childrenMember(Args args);
    automation::Variant appCreate(Args args);
    automation::Variant appCreate2(Args args);
    automation::Variant startSite(Args args);
    automation::Variant stopSite(Args args);
    automation::Variant propertyAttributes(Args args);

    automation::Variant readProperty(const PropertyDefinition& property);
    // The pending value, else the value the stored key reads (its own or
    // inherited); nullopt when there is none.
    std::optional<PropertyValue> storedValue(const PropertyDefinition& property);
    void writeProperty(std::string_view name, const automation::Variant& value);
    // True when the key reads `property` from a key above it.
    bool readsInherited(const PropertyDefinition& property);
    void makeApplication(uint32_t mode);
    bool hasClass(std::string_view keyClass) const;
    void requireStored() const;

    std::shared_ptr<MetabaseTree> tree_;
    std::string computer_;
    KeyRecord key_;
    std::string token_;  // the reservation of a key not stored yet
    bool stored_;
    PropertyMap pending_;
    std::optional<std::string> pendingKeyType_;
};

}  // namespace tarnwick::platform::metabase
