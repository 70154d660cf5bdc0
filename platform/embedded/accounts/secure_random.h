// Random values for account data: password salts and the machine domain's
// SID, drawn from the system's random device.
#pragma once

#include <cstdint>
#include <span>

namespace tarnwick::platform::embedded {

void fillRandom(std::span<uint8_t> bytes);
uint32_t randomWord();

}  // namespace tarnwick::platform::embedded
