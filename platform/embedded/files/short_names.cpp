#include "platform/embedded/files/short_names.h"

#include <set>

#include "automation/text.h"

namespace tarnwick::platform::embedded::files {

namespace {

bool isShortNameCharacter(char c) {
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) return true;
    return std::string_view("$%'-_@~`!(){}^#&").find(c) != std::string_view::npos;
}

// The part of a name an alias keeps: blanks, dots and the characters 8.3
// names lack are dropped, "+" becomes "_", and so does each character
// beyond ASCII (the OEM code page's own conversion is not modelled).
std::string aliasPart(std::string_view text) {
    std::string part;
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0xC0) {
            part += '_';  // the first byte of a UTF-8 sequence
        } else if (byte >= 0x80) {
            continue;
        } else if (c == '+') {
            part += '_';
        } else if (isShortNameCharacter(c)) {
            part += c;
        }
    }
    return automation::toUpperAscii(part);
}

}  // namespace

bool isShortName(std::string_view name) {
    const auto dot = name.find('.');
    const auto base = name.substr(0, dot);
    const auto extension =
        dot == std::string_view::npos ? std::string_view() : name.substr(dot + 1);
    if (base.empty() || base.size() > 8 || extension.size() > 3) return false;
    if (dot != std::string_view::npos && extension.empty()) return false;
    for (auto part : {base, extension}) {
        for (char c : part) {
            if (!isShortNameCharacter(c)) return false;  // a second dot included
        }
    }
    return true;
}

std::string shortNameCandidate(std::string_view name, int number) {
    // Leading dots start no extension (".htaccess" keeps "HTACCE").
    while (!name.empty() && name.front() == '.') name.remove_prefix(1);
    const auto dot = name.rfind('.');
    std::string base = aliasPart(name.substr(0, dot));
    std::string extension =
        dot == std::string_view::npos ? std::string() : aliasPart(name.substr(dot + 1));
    const std::string suffix = "~" + std::to_string(number);
    base.resize(std::min(base.size(), std::min<size_t>(6, 8 - suffix.size())));
    extension.resize(std::min<size_t>(extension.size(), 3));
    return base + suffix + (extension.empty() ? "" : "." + extension);
}

std::vector<std::string> shortNamesOf(const std::vector<std::string>& namesInOrderMade) {
    std::set<std::string> taken;
    for (const auto& name : namesInOrderMade) taken.insert(automation::toUpperAscii(name));
    std::vector<std::string> aliases;
    for (const auto& name : namesInOrderMade) {
        std::string alias;
        if (!isShortName(name)) {
            for (int number = 1; alias.empty(); ++number) {
                auto candidate = shortNameCandidate(name, number);
                if (taken.insert(candidate).second) alias = std::move(candidate);
            }
        }
        aliases.push_back(std::move(alias));
    }
    return aliases;
}

}  // namespace tarnwick::platform::embedded::files
