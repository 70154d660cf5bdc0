#include "platform/embedded/files/base64.h"

#include <cstdint>

namespace tarnwick::platform::embedded::files {

namespace {
constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

int valueOf(char c) {
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    if (c == '+') return 62;
    if (c == '/') return 63;
    return -1;
}
}  // namespace

std::string base64Encode(std::string_view bytes) {
    std::string text;
    text.reserve((bytes.size() + 2) / 3 * 4);
    for (size_t at = 0; at < bytes.size(); at += 3) {
        uint32_t group = static_cast<uint32_t>(static_cast<unsigned char>(bytes[at])) << 16;
        if (at + 1 < bytes.size()) group |= static_cast<unsigned char>(bytes[at + 1]) << 8;
        if (at + 2 < bytes.size()) group |= static_cast<unsigned char>(bytes[at + 2]);
        text += kAlphabet[(group >> 18) & 63];
        text += kAlphabet[(group >> 12) & 63];
        text += at + 1 < bytes.size() ? kAlphabet[(group >> 6) & 63] : '=';
        text += at + 2 < bytes.size() ? kAlphabet[group & 63] : '=';
    }
    return text;
}

std::optional<std::string> base64Decode(std::string_view text) {
    std::string bytes;
    uint32_t group = 0;
    int count = 0;
    int padding = 0;
    for (char c : text) {
        if (c == ' ' || c == '\n' || c == '\r' || c == '\t') continue;
        if (c == '=') {
            ++padding;
            continue;
        }
        int value = valueOf(c);
        if (value < 0 || padding > 0) return std::nullopt;
        group = (group << 6) | static_cast<uint32_t>(value);
        if (++count == 4) {
            bytes += static_cast<char>(group >> 16);
            bytes += static_cast<char>(group >> 8);
            bytes += static_cast<char>(group);
            group = 0;
            count = 0;
        }
    }
    if (count == 1 || padding > 2 || (padding > 0 && (count + padding) != 4)) return std::nullopt;
    if (count == 2) bytes += static_cast<char>(group >> 4);
    if (count == 3) {
        bytes += static_cast<char>(group >> 10);
        bytes += static_cast<char>(group >> 2);
    }
    return bytes;
}

}  // namespace tarnwick::platform::embedded::files
