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
        if (c == 0xE2 && i + 2 < message.size() &&
            static_cast<unsigned char>(message[i + 1]) == 0x80 &&
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

namespace {
constexpr std::string_view kPageStart = "<script>alert('";
std::string banner() {
    return "\\n\\n程序名称: " + std::string(product::kNameAndVersion) +
           "\\n官方网站: " + std::string(product::kWebAddress) + "');history.back();</Script>";
}
}  // namespace

std::optional<std::string> errorPageMessage(std::string_view page) {
    const std::string end = banner();
    if (!page.starts_with(kPageStart) || !page.ends_with(end)) return std::nullopt;
    auto body = page.substr(kPageStart.size(), page.size() - kPageStart.size() - end.size());
    std::string message;
    for (size_t i = 0; i < body.size(); ++i) {
        if (body[i] != '\\' || i + 1 == body.size()) {
            message += body[i];
            continue;
        }
        char next = body[++i];
        switch (next) {
            case 'n': message += '\n'; break;
            case 'r': message += '\r'; break;
            case 't': message += '\t'; break;
            case 'x':
                if (i + 2 < body.size()) {
                    message += static_cast<char>(
                        std::stoi(std::string(body.substr(i + 1, 2)), nullptr, 16));
                    i += 2;
                }
                break;
            case 'u':
                if (i + 4 < body.size()) {
                    auto code = std::stoi(std::string(body.substr(i + 1, 4)), nullptr, 16);
                    message += static_cast<char>(0xE0 | (code >> 12));
                    message += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
                    message += static_cast<char>(0x80 | (code & 0x3F));
                    i += 4;
                }
                break;
            default: message += next;
        }
    }
    return message;
}

std::string errorPage(std::string_view message) {
    return std::string(kPageStart) + escapeAlertText(message) + banner();
}

}  // namespace tarnwick::component
