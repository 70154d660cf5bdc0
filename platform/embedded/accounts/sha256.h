// SHA-256 (FIPS 180-4), for the salted password hashes of local accounts.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace tarnwick::platform::embedded {

class Sha256 {
public:
    using Digest = std::array<uint8_t, 32>;

    Sha256();
    void update(std::span<const uint8_t> bytes);
    void update(std::string_view text);
    // The digest of everything added; the object must not be used afterwards.
    Digest finish();

    static Digest of(std::string_view text);

private:
    void compress(const uint8_t* block);

    std::array<uint32_t, 8> state_;
    std::array<uint8_t, 64> buffer_{};
    size_t buffered_ = 0;
    uint64_t length_ = 0;  // bytes
};

// Lower-case hexadecimal text of bytes.
std::string toHex(std::span<const uint8_t> bytes);

}  // namespace tarnwick::platform::embedded
