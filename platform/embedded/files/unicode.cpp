#include "platform/embedded/files/unicode.h"

#include <cstdint>

#include "automation/utf8.h"

namespace tarnwick::platform::embedded::files {

namespace {

using automation::utf8::kReplacement;

char32_t decodeUtf8(std::string_view text, size_t& at, bool& valid) {
    return automation::utf8::decode(text, at, valid);
}
void appendUtf8(std::string& out, char32_t c) { automation::utf8::append(out, c); }

void appendUnit(std::string& out, uint16_t unit) {
    out += static_cast<char>(unit & 0xFF);
    out += static_cast<char>(unit >> 8);
}

}  // namespace

bool isValidUtf8(std::string_view text) {
    size_t at = 0;
    bool valid = true;
    while (at < text.size() && valid) decodeUtf8(text, at, valid);
    return valid;
}

bool isPrintableUtf8(std::string_view text) {
    size_t at = 0;
    bool valid = true;
    while (at < text.size()) {
        char32_t c = decodeUtf8(text, at, valid);
        if (!valid) return false;
        if ((c < 0x20 && c != '\t' && c != '\r' && c != '\n') || c == 0x7F) return false;
    }
    return true;
}

std::string utf8ToUtf16le(std::string_view text) {
    std::string out;
    size_t at = 0;
    bool valid = true;
    while (at < text.size()) {
        char32_t c = decodeUtf8(text, at, valid);
        if (c >= 0x10000) {
            c -= 0x10000;
            appendUnit(out, static_cast<uint16_t>(0xD800 + (c >> 10)));
            appendUnit(out, static_cast<uint16_t>(0xDC00 + (c & 0x3FF)));
        } else {
            appendUnit(out, static_cast<uint16_t>(c));
        }
    }
    return out;
}

std::string utf16leToUtf8(std::string_view bytes) {
    std::string out;
    auto unitAt = [&](size_t i) {
        return static_cast<uint16_t>(static_cast<unsigned char>(bytes[i]) |
                                     (static_cast<unsigned char>(bytes[i + 1]) << 8));
    };
    size_t at = 0;
    while (at + 1 < bytes.size()) {
        uint16_t unit = unitAt(at);
        at += 2;
        if (unit >= 0xD800 && unit <= 0xDBFF && at + 1 < bytes.size()) {
            uint16_t low = unitAt(at);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                at += 2;
                appendUtf8(
                    out, 0x10000 + ((static_cast<char32_t>(unit) - 0xD800) << 10) + (low - 0xDC00));
                continue;
            }
        }
        appendUtf8(out, (unit >= 0xD800 && unit <= 0xDFFF) ? kReplacement : unit);
    }
    if (at < bytes.size()) appendUtf8(out, kReplacement);
    return out;
}

size_t utf8Length(std::string_view text) {
    size_t count = 0;
    size_t at = 0;
    bool valid = true;
    while (at < text.size()) {
        decodeUtf8(text, at, valid);
        ++count;
    }
    return count;
}

size_t utf8Advance(std::string_view text, size_t from, size_t count) {
    size_t at = from;
    bool valid = true;
    while (at < text.size() && count > 0) {
        decodeUtf8(text, at, valid);
        --count;
    }
    return at;
}

}  // namespace tarnwick::platform::embedded::files
