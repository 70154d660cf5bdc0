// Binding to a directory object by path, as a script's GetObject does:
// "IIS://computer/W3SVC/2" reaches the metabase, "WinNT://computer/name,user"
// the local accounts. Raises AutomationError with the provider's number when
// the object does not exist (0x80070003 for a missing metabase key, ...).
#pragma once

#include <string_view>

#include "automation/dispatch.h"

namespace tarnwick::platform {

class Directory {
public:
    virtual ~Directory() = default;
    virtual automation::ObjectRef bind(std::string_view path) = 0;
};

}  // namespace tarnwick::platform
