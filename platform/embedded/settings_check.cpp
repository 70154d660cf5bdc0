#include "platform/embedded/settings_check.h"

#include <cctype>
#include <set>
#include <string_view>

#include "platform/embedded/files/ansi_code_page.h"

namespace tarnwick::platform::embedded {

namespace {

size_t characterCount(std::string_view utf8) {
    size_t count = 0;
    for (unsigned char c : utf8) count += (c & 0xC0) != 0x80;
    return count;
}

std::optional<std::string> computerNameProblem(std::string_view name) {
    if (name.empty()) return "must not be empty";
    if (characterCount(name) > 15) return "must have at most 15 characters";
    static constexpr std::string_view kRefused = "\\/:*?\"<>|,;=+[]@";
    for (unsigned char c : name) {
        if (c <= ' ' || c == 0x7F ||
            kRefused.find(static_cast<char>(c)) != std::string_view::npos) {
            return "must not hold blanks, control characters or any of \\ / : * ? \" < > | , ; = + "
                   "[ ] @";
        }
    }
    if (name.find_first_not_of('.') == std::string_view::npos) return "must not be only dots";
    return std::nullopt;
}

bool codePageAvailable(int codePage) {
    if (codePage <= 0) return false;
    try {
        files::IconvCodePage conversion(static_cast<unsigned>(codePage));
        return true;
    } catch (const files::CodePageError&) {
        return false;
    }
}

std::optional<std::string> drivesProblem(std::string_view drives) {
    std::set<char> seen;
    for (char letter : drives) {
        if (letter < 'A' || letter > 'Z') return "must be upper-case drive letters A to Z";
        if (!seen.insert(letter).second) return std::string("names drive ") + letter + " twice";
    }
    if (!seen.count('C')) return "must include drive C";
    return std::nullopt;
}

std::optional<std::string> masterSiteRootProblem(std::string_view root, std::string_view drives) {
    bool absolute = root.size() >= 3 && std::isalpha(static_cast<unsigned char>(root[0])) &&
                    root[1] == ':' && (root[2] == '\\' || root[2] == '/');
    if (!absolute) return "must be an absolute folder path such as C:\\Inetpub\\wwwroot";
    auto drive = static_cast<char>(std::toupper(static_cast<unsigned char>(root[0])));
    if (drives.find(drive) == std::string_view::npos) {
        return std::string("is on drive ") + drive + ":, which the platform does not have";
    }
    return std::nullopt;
}

}  // namespace

std::optional<SettingsProblem> findSettingsProblem(const PlatformSettings& settings) {
    if (auto problem = computerNameProblem(settings.computerName)) {
        return SettingsProblem{"computer", *problem};
    }
    if (settings.iisVersion != 5 && settings.iisVersion != 6) {
        return SettingsProblem{"iis", "must be 5 or 6"};
    }
    if (!codePageAvailable(settings.codePage)) {
        return SettingsProblem{"code_page", "code page " + std::to_string(settings.codePage) +
                                                " is not available for conversion"};
    }
    if (auto problem = drivesProblem(settings.drives)) return SettingsProblem{"drives", *problem};
    if (auto problem = masterSiteRootProblem(settings.masterSiteRoot, settings.drives)) {
        return SettingsProblem{"master_site_root", *problem};
    }
    return std::nullopt;
}

}  // namespace tarnwick::platform::embedded
