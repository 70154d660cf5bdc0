// What the core needs of the operating system besides directory objects and
// security: cryptographic random bytes and the ANSI code page.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace tarnwick::platform {

// The operating system's cryptographic generator.
class RandomSource {
public:
    virtual ~RandomSource() = default;
    virtual void fill(std::span<uint8_t> bytes) = 0;
};

// Conversion between the system's text (UTF-8 inside the core) and the ANSI
// code page that the "A" functions take. A character the code page cannot
// hold becomes "?", as the system converts it.
class AnsiCodePage {
public:
    virtual ~AnsiCodePage() = default;
    virtual unsigned codePage() const = 0;
    virtual std::string fromUtf8(std::string_view text) = 0;
    virtual std::string toUtf8(std::string_view text) = 0;
};

}  // namespace tarnwick::platform
