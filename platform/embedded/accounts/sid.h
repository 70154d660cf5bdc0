// Security identifiers in their two forms: the binary form that security
// descriptors and ACEs hold (revision, sub-authority count, a 48-bit
// big-endian identifier authority, then each sub-authority as a 32-bit
// little-endian word) and the text form "S-1-5-32-544".
//
// Header-only and standard library only, so the security descriptor code
// and the Windows test doubles can use it without the rest of the accounts.
#pragma once

#include <charconv>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tarnwick::platform::embedded {

struct Sid {
    static constexpr uint8_t kRevision = 1;
    static constexpr size_t kMaxSubAuthorities = 15;
    static constexpr uint64_t kMaxAuthority = 0xFFFFFFFFFFFFull;

    uint8_t revision = kRevision;
    uint64_t authority = 0;  // 48 bits
    std::vector<uint32_t> subAuthorities;

    bool operator==(const Sid&) const = default;

    // The SID with one more sub-authority: a domain's SID with a RID appended.
    Sid withRid(uint32_t rid) const {
        Sid result = *this;
        result.subAuthorities.push_back(rid);
        return result;
    }
    // The last sub-authority; nullopt when there is none.
    std::optional<uint32_t> rid() const {
        if (subAuthorities.empty()) return std::nullopt;
        return subAuthorities.back();
    }
    // This SID without its last sub-authority (the domain of an account SID).
    Sid domain() const {
        Sid result = *this;
        if (!result.subAuthorities.empty()) result.subAuthorities.pop_back();
        return result;
    }

    size_t binaryLength() const { return 8 + 4 * subAuthorities.size(); }

    std::vector<uint8_t> toBinary() const {
        std::vector<uint8_t> bytes;
        bytes.reserve(binaryLength());
        bytes.push_back(revision);
        bytes.push_back(static_cast<uint8_t>(subAuthorities.size()));
        for (int shift = 40; shift >= 0; shift -= 8) {
            bytes.push_back(static_cast<uint8_t>((authority >> shift) & 0xFF));
        }
        for (uint32_t value : subAuthorities) {
            for (int shift = 0; shift < 32; shift += 8) {
                bytes.push_back(static_cast<uint8_t>((value >> shift) & 0xFF));
            }
        }
        return bytes;
    }

    // "S-1-5-21-1-2-3-500". An authority of 2^32 or more is written in
    // hexadecimal ("0x0000FFFFFFFF"), as the system writes it.
    std::string toText() const {
        std::string text = "S-" + std::to_string(revision) + "-";
        if (authority >= (uint64_t{1} << 32)) {
            static constexpr char kDigits[] = "0123456789ABCDEF";
            text += "0x";
            for (int shift = 44; shift >= 0; shift -= 4) {
                text += kDigits[(authority >> shift) & 0xF];
            }
        } else {
            text += std::to_string(authority);
        }
        for (uint32_t value : subAuthorities) text += "-" + std::to_string(value);
        return text;
    }

    // Reads the SID at the start of `bytes` (trailing bytes are ignored, as
    // an ACE carries its SID at its end). nullopt when the bytes are too
    // short, the revision is not 1 or there are more than 15 sub-authorities.
    static std::optional<Sid> fromBinary(std::span<const uint8_t> bytes) {
        if (bytes.size() < 8 || bytes[0] != kRevision || bytes[1] > kMaxSubAuthorities) {
            return std::nullopt;
        }
        size_t count = bytes[1];
        if (bytes.size() < 8 + 4 * count) return std::nullopt;
        Sid sid;
        sid.authority = 0;
        for (size_t i = 2; i < 8; ++i) sid.authority = (sid.authority << 8) | bytes[i];
        for (size_t i = 0; i < count; ++i) {
            const uint8_t* word = bytes.data() + 8 + 4 * i;
            sid.subAuthorities.push_back(uint32_t{word[0]} | (uint32_t{word[1]} << 8) |
                                         (uint32_t{word[2]} << 16) | (uint32_t{word[3]} << 24));
        }
        return sid;
    }

    // Parses "S-1-<authority>-<sub>-..."; the authority may be decimal or
    // "0x" with hexadecimal digits. nullopt for anything else.
    static std::optional<Sid> parse(std::string_view text) {
        if (text.size() < 4 || (text[0] != 'S' && text[0] != 's') || text[1] != '-') {
            return std::nullopt;
        }
        std::vector<std::string_view> parts;
        size_t start = 2;
        while (true) {
            size_t dash = text.find('-', start);
            size_t length = dash == std::string_view::npos ? dash : dash - start;
            parts.push_back(text.substr(start, length));
            if (dash == std::string_view::npos) break;
            start = dash + 1;
        }
        if (parts.size() < 2 || parts.size() - 2 > kMaxSubAuthorities) return std::nullopt;
        Sid sid;
        auto revision = number(parts[0], 10);
        if (!revision || *revision != kRevision) return std::nullopt;
        std::optional<uint64_t> authority;
        std::string_view authorityText = parts[1];
        if (authorityText.size() > 2 && authorityText[0] == '0' &&
            (authorityText[1] == 'x' || authorityText[1] == 'X')) {
            authority = number(authorityText.substr(2), 16);
        } else {
            authority = number(parts[1], 10);
        }
        if (!authority || *authority > kMaxAuthority) return std::nullopt;
        sid.authority = *authority;
        for (size_t i = 2; i < parts.size(); ++i) {
            auto value = number(parts[i], 10);
            if (!value || *value > 0xFFFFFFFFull) return std::nullopt;
            sid.subAuthorities.push_back(static_cast<uint32_t>(*value));
        }
        return sid;
    }

private:
    static std::optional<uint64_t> number(std::string_view digits, int base) {
        if (digits.empty() || digits.size() > 20) return std::nullopt;
        uint64_t value = 0;
        const char* last = digits.data() + digits.size();
        auto [end, error] = std::from_chars(digits.data(), last, value, base);
        if (error != std::errc() || end != last) return std::nullopt;
        return value;
    }
};

// SIDs that every Windows system knows.
namespace well_known_sids {
inline Sid everyone() { return Sid{Sid::kRevision, 1, {0}}; }         // S-1-1-0
inline Sid creatorOwner() { return Sid{Sid::kRevision, 3, {0}}; }     // S-1-3-0
inline Sid creatorGroup() { return Sid{Sid::kRevision, 3, {1}}; }     // S-1-3-1
inline Sid localSystem() { return Sid{Sid::kRevision, 5, {18}}; }     // S-1-5-18
inline Sid builtinDomain() { return Sid{Sid::kRevision, 5, {32}}; }   // S-1-5-32
inline Sid administrators() { return builtinDomain().withRid(544); }  // S-1-5-32-544
inline Sid users() { return builtinDomain().withRid(545); }           // S-1-5-32-545
inline Sid guests() { return builtinDomain().withRid(546); }          // S-1-5-32-546
inline Sid powerUsers() { return builtinDomain().withRid(547); }      // S-1-5-32-547
}  // namespace well_known_sids

}  // namespace tarnwick::platform::embedded
