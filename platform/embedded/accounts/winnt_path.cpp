#include "platform/embedded/accounts/winnt_path.h"

#include <vector>

#include "automation/error.h"
#include "automation/text.h"
#include "platform/embedded/accounts/account_errors.h"

namespace tarnwick::platform::embedded {

namespace {

using automation::equalsIgnoreCase;

constexpr std::string_view kPrefix = "WinNT://";

[[noreturn]] void badPath(std::string_view path) {
    automation::raise(account_errors::kBadPathName,
                      "An invalid directory pathname was passed: " + std::string(path));
}

[[noreturn]] void otherComputer(std::string_view name) {
    automation::raise(account_errors::kBadNetPath,
                      "The network path was not found: " + std::string(name));
}

}  // namespace

bool isThisComputer(std::string_view name, std::string_view computerName) {
    return equalsIgnoreCase(name, computerName) || equalsIgnoreCase(name, "localhost") ||
           name == ".";
}

WinNTTarget resolveWinNTPath(std::string_view path, std::string_view computerName,
                             std::string_view workgroup) {
    if (path.size() <= kPrefix.size() ||
        !equalsIgnoreCase(path.substr(0, kPrefix.size()), kPrefix)) {
        badPath(path);
    }
    std::string_view rest = path.substr(kPrefix.size());

    std::optional<std::string> className;
    if (auto comma = rest.find(','); comma != std::string_view::npos) {
        className = std::string(automation::trimBlanks(rest.substr(comma + 1)));
        rest = rest.substr(0, comma);
        if (className->find(',') != std::string::npos) badPath(path);
    }
    auto segments = automation::split(rest, "/");
    if (segments.size() > 3) badPath(path);
    for (const auto& segment : segments) {
        if (segment.empty()) badPath(path);
    }

    WinNTTarget target;
    if (segments.size() == 1) {
        if (!isThisComputer(segments[0], computerName)) otherComputer(segments[0]);
        target.computer = segments[0];
    } else if (segments.size() == 2 && isThisComputer(segments[0], computerName)) {
        target.computer = segments[0];
        target.name = segments[1];
    } else if (equalsIgnoreCase(segments[0], workgroup) &&
               isThisComputer(segments[1], computerName)) {
        target.computer = segments[1];
        if (segments.size() == 3) target.name = segments[2];
    } else {
        otherComputer(segments[0]);
    }

    if (className) {
        if (target.name.empty()) {
            if (!equalsIgnoreCase(*className, "computer")) badPath(path);
        } else if (equalsIgnoreCase(*className, "user")) {
            target.kind = AccountKind::User;
        } else if (equalsIgnoreCase(*className, "group")) {
            target.kind = AccountKind::Group;
        } else {
            badPath(path);
        }
    }
    return target;
}

}  // namespace tarnwick::platform::embedded
