// Account passwords are never stored: only a salted, iterated SHA-256 of
// them, with its salt, both as lower-case hexadecimal text.
#pragma once

#include <string>
#include <string_view>

namespace tarnwick::platform::embedded {

struct PasswordHash {
    std::string salt;  // 16 random bytes
    std::string hash;  // 32 bytes

    bool operator==(const PasswordHash&) const = default;
};

// Hashes `password` (UTF-8) with a fresh random salt.
PasswordHash hashPassword(std::string_view password);
// Hashes `password` with the given salt.
PasswordHash hashPassword(std::string_view password, std::string_view salt);
bool verifyPassword(const PasswordHash& stored, std::string_view password);
// True when the text looks like a stored salt (32 hex digits) and hash (64 hex digits).
bool isWellFormed(const PasswordHash& stored);

}  // namespace tarnwick::platform::embedded
