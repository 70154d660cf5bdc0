// A late-bound automation object: members are found by name, ignoring case,
// and called as a script calls them. The core reaches every platform object
// (metabase, accounts, FileSystemObject, network) through this interface.
#pragma once

#include <initializer_list>
#include <memory>
#include <span>
#include <string_view>
#include <vector>

#include "automation/variant.h"

namespace tarnwick::automation {

enum class InvokeKind { Method, PropertyGet, PropertyPut };

class Dispatch {
public:
    virtual ~Dispatch() = default;

    // Calls `name`. Arguments that the member takes by reference may be
    // changed in place. Raises AutomationError on failure (438 for a name the
    // object does not have). The name "" is the object's default member
    // (DISPID_VALUE), which conversions read in the object's place.
    virtual Variant invoke(std::string_view name, InvokeKind kind, std::span<Variant> args) = 0;

    Variant get(std::string_view name) { return invoke(name, InvokeKind::PropertyGet, {}); }
    void put(std::string_view name, Variant value) {
        invoke(name, InvokeKind::PropertyPut, std::span<Variant>(&value, 1));
    }
    Variant call(std::string_view name, std::initializer_list<Variant> args = {}) {
        std::vector<Variant> copy(args);
        return invoke(name, InvokeKind::Method, copy);
    }
};

// The object held by an Object variant; raises 424 "Object required" when the
// variant holds no object.
Dispatch& objectOf(const Variant& value);

}  // namespace tarnwick::automation
