// Metabase paths in their two forms: the path a script binds
// ("IIS://WEBSERVER/W3SVC/2/Root") and the key path inside the metabase
// ("/LM/W3SVC/2/Root"). The computer part of the first stands for "/LM", the
// local machine key, which always exists. Key names compare ignoring case.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tarnwick::platform::metabase {

inline constexpr std::string_view kMachineKey = "/LM";

struct ObjectPath {
    std::string computer;  // as the script spelled it
    std::string keyPath;   // "/LM" and the key names below it, as spelled
};

// Parses an "IIS://" path (prefix in any case; one trailing "/" allowed).
// Raises kInvalidSyntax for anything else, an empty computer or an empty
// name between two slashes.
ObjectPath parseObjectPath(std::string_view path);

// "/LM" followed by "/" + name for each of `names`.
std::string keyPathOf(const std::vector<std::string>& names);
// The key path of the parent; "" for /LM.
std::string parentKeyPath(std::string_view keyPath);
// The last name of a key path ("Root" for "/LM/W3SVC/2/Root").
std::string_view keyName(std::string_view keyPath);
// True when `keyPath` is `ancestor` or lies below it, ignoring case.
bool isWithin(std::string_view keyPath, std::string_view ancestor);
// A name that a key may have: not empty, no "/".
bool isValidKeyName(std::string_view name);

}  // namespace tarnwick::platform::metabase
