#include "platform/embedded/metabase/key_path.h"

#include "automation/error.h"
#include "automation/text.h"
#include "platform/embedded/metabase/errors.h"

namespace tarnwick::platform::metabase {

namespace {
constexpr std::string_view kPrefix = "IIS://";
}

ObjectPath parseObjectPath(std::string_view path) {
    if (path.size() < kPrefix.size() ||
        !automation::equalsIgnoreCase(path.substr(0, kPrefix.size()), kPrefix)) {
        automation::raise(errors::kInvalidSyntax, "Not an IIS path: " + std::string(path));
    }
    auto rest = path.substr(kPrefix.size());
    if (!rest.empty() && rest.back() == '/') rest.remove_suffix(1);
    ObjectPath result;
    result.keyPath = kMachineKey;
    for (size_t start = 0;;) {
        auto slash = rest.find('/', start);
        auto name = rest.substr(start, slash == std::string_view::npos ? slash : slash - start);
        if (name.empty()) {
            automation::raise(errors::kInvalidSyntax, "Invalid IIS path: " + std::string(path));
        }
        if (start == 0) {
            result.computer = name;
        } else {
            result.keyPath += '/';
            result.keyPath += name;
        }
        if (slash == std::string_view::npos) break;
        start = slash + 1;
    }
    return result;
}

std::string keyPathOf(const std::vector<std::string>& names) {
    std::string path(kMachineKey);
    for (const auto& name : names) path += "/" + name;
    return path;
}

std::string parentKeyPath(std::string_view keyPath) {
    auto slash = keyPath.rfind('/');
    if (slash == 0 || slash == std::string_view::npos) return {};
    return std::string(keyPath.substr(0, slash));
}

std::string_view keyName(std::string_view keyPath) {
    auto slash = keyPath.rfind('/');
    return slash == std::string_view::npos ? keyPath : keyPath.substr(slash + 1);
}

bool isWithin(std::string_view keyPath, std::string_view ancestor) {
    if (keyPath.size() < ancestor.size() ||
        !automation::equalsIgnoreCase(keyPath.substr(0, ancestor.size()), ancestor)) {
        return false;
    }
    return keyPath.size() == ancestor.size() || keyPath[ancestor.size()] == '/';
}

bool isValidKeyName(std::string_view name) {
    return !name.empty() && name.find('/') == std::string_view::npos;
}

}  // namespace tarnwick::platform::metabase
