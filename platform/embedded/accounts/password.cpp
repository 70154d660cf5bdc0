#include "platform/embedded/accounts/password.h"

#include <array>

#include "platform/embedded/accounts/secure_random.h"
#include "platform/embedded/accounts/sha256.h"

namespace tarnwick::platform::embedded {

namespace {
constexpr int kRounds = 1000;

bool isHex(std::string_view text, size_t length) {
    if (text.size() != length) return false;
    for (char c : text) {
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
    }
    return true;
}
}  // namespace

PasswordHash hashPassword(std::string_view password) {
    std::array<uint8_t, 16> salt{};
    fillRandom(salt);
    return hashPassword(password, toHex(salt));
}

PasswordHash hashPassword(std::string_view password, std::string_view salt) {
    Sha256 first;
    first.update(salt);
    first.update(password);
    auto digest = first.finish();
    for (int round = 1; round < kRounds; ++round) {
        Sha256 next;
        next.update(digest);
        next.update(password);
        digest = next.finish();
    }
    return {std::string(salt), toHex(digest)};
}

bool verifyPassword(const PasswordHash& stored, std::string_view password) {
    auto candidate = hashPassword(password, stored.salt).hash;
    if (candidate.size() != stored.hash.size()) return false;
    // Compare every character, so the time taken does not tell where they differ.
    unsigned difference = 0;
    for (size_t i = 0; i < candidate.size(); ++i) {
        difference |= static_cast<unsigned>(candidate[i] ^ stored.hash[i]);
    }
    return difference == 0;
}

bool isWellFormed(const PasswordHash& stored) {
    return isHex(stored.salt, 32) && isHex(stored.hash, 64);
}

}  // namespace tarnwick::platform::embedded
