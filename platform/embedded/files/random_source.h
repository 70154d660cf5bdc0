// The operating system's cryptographic generator (getrandom), from which
// every generated password and random string draws its characters.
#pragma once

#include "platform/system.h"

namespace tarnwick::platform::embedded::files {

class SystemRandomSource : public RandomSource {
public:
    // Raises std::system_error when the kernel refuses to give random bytes.
    void fill(std::span<uint8_t> bytes) override;
};

}  // namespace tarnwick::platform::embedded::files
