#include "automation/text.h"

#include "automation/utf8.h"

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

namespace tarnwick::automation {

namespace {
// The upper-case form of one code point, as the system's case mapping gives
// it for the scripts a host name or domain can hold: Latin (with the Latin-1
// and Latin Extended-A letters), Greek, Cyrillic and the full-width Latin
// letters. Characters without case (Chinese among them) stay as they are.
char32_t upperCodePoint(char32_t c) {
    if (c >= U'a' && c <= U'z') return c - 0x20;
    if (c < 0x80) return c;
    if ((c >= 0xE0 && c <= 0xFE && c != 0xF7)) return c - 0x20;  // à … þ, not ÷
    if (c == 0xFF) return 0x178;                                 // ÿ
    if (c >= 0x100 && c <= 0x17F) {
        // Pairs upper/lower, even/odd, except 0x130–0x138 and 0x149 and the
        // odd/even run from 0x139 to 0x148 and from 0x179 to 0x17E.
        if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E)) {
            return (c % 2 == 0) ? c - 1 : c;
        }
        if (c == 0x131 || c == 0x138 || c == 0x149 || c == 0x17F) {
            return c == 0x131 ? U'I' : c == 0x17F ? U'S' : c;
        }
        return (c % 2 == 1) ? c - 1 : c;
    }
    if (c >= 0x3B1 && c <= 0x3C9 && c != 0x3C2) return c - 0x20;  // α … ω
    if (c == 0x3C2) return 0x3A3;                                 // final sigma
    if (c == 0x3AC) return 0x386;                                 // ά
    if (c >= 0x3AD && c <= 0x3AF) return c - 0x25;                // έ ή ί
    if (c == 0x3CC) return 0x38C;                                 // ό
    if (c == 0x3CD || c == 0x3CE) return c - 0x3F;                // ύ ώ
    if (c >= 0x430 && c <= 0x44F) return c - 0x20;                // а … я
    if (c >= 0x450 && c <= 0x45F) return c - 0x50;                // ѐ … џ
    if (c >= 0xFF41 && c <= 0xFF5A) return c - 0x20;              // ａ … ｚ
    return c;
}

}  // namespace

std::string toUpperCase(std::string_view text) {
    std::string result;
    result.reserve(text.size());
    for (size_t at = 0; at < text.size();) {
        const size_t start = at;
        bool valid = true;
        const char32_t c = utf8::decode(text, at, valid);
        if (valid) {
            utf8::append(result, upperCodePoint(c));
        } else {
            result += text[start];  // a byte that is no UTF-8 is kept as it is
        }
    }
    return result;
}

bool isDeviceName(std::string_view name) {
    auto base = name.substr(0, name.find('.'));
    while (!base.empty() && base.back() == ' ') base.remove_suffix(1);
    const std::string upper = toUpperAscii(base);
    if (upper == "CON" || upper == "PRN" || upper == "AUX" || upper == "NUL") return true;
    return upper.size() == 4 && (upper.starts_with("COM") || upper.starts_with("LPT")) &&
           upper[3] >= '1' && upper[3] <= '9';
}

}  // namespace tarnwick::automation
