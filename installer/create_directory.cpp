#include "installer/create_directory.h"

#include "automation/error.h"
#include "automation/variant.h"

namespace tarnwick::installer {

namespace {
std::string descriptionOf(const automation::ErrorState& err) {
    if (!err.description().empty()) return err.description();
    auto standard = automation::standardDescription(err.number());
    return standard.empty() ? "Error " + std::to_string(err.number()) : std::string(standard);
}
}  // namespace

std::string CreateDirectory(automation::Dispatch& fileSystem, std::string_view vDirectory) {
    automation::ErrorState err;
    const std::string path(vDirectory);
    auto exists = [&](const std::string& folder) {
        auto found = err.attempt(
            [&] { return automation::toBoolean(fileSystem.call("FolderExists", {folder})); });
        return found && *found;
    };

    // A folder that is there already needs nothing.
    if (exists(path)) return "";

    // A network path keeps its server part: the scan starts after the
    // "\" that ends the server name.
    size_t scan = 0;
    if (path.size() >= 3 && path.starts_with("\\\\")) {
        auto serverEnd = path.find('\\', 2);
        scan = serverEnd == std::string::npos ? path.size() : serverEnd + 1;
    }

    // Every folder on the way, parents first.
    for (auto slash = path.find('\\', scan); slash != std::string::npos;
         slash = path.find('\\', slash + 1)) {
        auto prefix = path.substr(0, slash + 1);
        if (!exists(prefix)) err.attempt([&] { fileSystem.call("CreateFolder", {prefix}); });
    }

    // The folder itself, unless the path ended with its separator.
    if (!path.ends_with('\\')) err.attempt([&] { fileSystem.call("CreateFolder", {path}); });

    // The last failure's description, or "" when every step took.
    return err.isSet() ? descriptionOf(err) : "";
}

}  // namespace tarnwick::installer
