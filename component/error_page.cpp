#include "component/error_page.h"

#include <cstdio>

#include "component/product.h"

namespace tarnwick::component {

std::string escapeAlertText(std::string_view message) {
    std::string out;
    out.reserve(message.size() + 16);
    for (size_t i = 0; i < message.size(); ++i) {
        auto c = static_cast<unsigned char>(message[i]);
        switch (c) {
            case '\\':
                if (i + 1 < message.size() && message[i + 1] == 'n') {
                    out += "\\n";
                    ++i;
                } else {
                    out += "\\\\";
                }
                continue;
            case '\'': out += "\\'"; continue;
            case '"': out += "\\\""; continue;
            case '<': out += "\\x3C"; continue;
            case '>': out += "\\x3E"; continue;
            case '\n': out += "\\n"; continue;
            case '\r': out += "\\r"; continue;
            case '\t': out += "\\t"; continue;
            default: break;
        }
        if (c < 0x20 || c == 0x7F) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", c);
            out += escaped;
            continue;
        }
        // U+2028 and U+2029 end a line inside a script string: E2 80 A8 / A9 in UTF-8.
        if (c == 0xE2 && i + 2 < message.size() && static_cast<unsigned char>(message[i + 1]) == 0x80 &&
            (static_cast<unsigned char>(message[i + 2]) == 0xA8 ||
             static_cast<unsigned char>(message[i + 2]) == 0xA9)) {
            out += static_cast<unsigned char>(message[i + 2]) == 0xA8 ? "\\u2028" : "\\u2029";
            i += 2;
            continue;
        }
        out += static_cast<char>(c);
    }
    return out;
}

std::string errorPage(std::string_view message) {
    std::string page = "<script>alert('";
    page += escapeAlertText(message);
    page += "\\n\\n程序名称: ";
    page += product::kNameAndVersion;
    page += "\\n官方网站: ";
    page += product::kWebAddress;
    page += "');history.back();</Script>";
    return page;
}

}  // namespace tarnwick::component
