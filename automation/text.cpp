#include "automation/text.h"

namespace tarnwick::automation {

namespace {
char lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }
char upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }
}  // namespace

bool equalsIgnoreCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (lower(a[i]) != lower(b[i])) return false;
    }
    return true;
}

std::string toUpperAscii(std::string_view text) {
    std::string result(text);
    for (char& c : result) c = upper(c);
    return result;
}

std::string toLowerAscii(std::string_view text) {
    std::string result(text);
    for (char& c : result) c = lower(c);
    return result;
}

std::string_view trimBlanks(std::string_view text) {
    auto first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) return {};
    auto last = text.find_last_not_of(' ');
    return text.substr(first, last - first + 1);
}

std::vector<std::string> split(std::string_view text, std::string_view separator) {
    std::vector<std::string> parts;
    size_t start = 0;
    while (true) {
        auto found = text.find(separator, start);
        if (found == std::string_view::npos) {
            parts.emplace_back(text.substr(start));
            return parts;
        }
        parts.emplace_back(text.substr(start, found - start));
        start = found + separator.size();
    }
}

std::string replaceAll(std::string_view text, std::string_view from, std::string_view to) {
    if (from.empty()) return std::string(text);  // nothing to find: the text is unchanged
    std::string result;
    size_t start = 0;
    while (true) {
        auto found = text.find(from, start);
        if (found == std::string_view::npos) break;
        result.append(text.substr(start, found - start)).append(to);
        start = found + from.size();
    }
    result.append(text.substr(start));
    return result;
}

}  // namespace tarnwick::automation
