#include "platform/embedded/accounts/secure_random.h"

#include <random>

namespace tarnwick::platform::embedded {

void fillRandom(std::span<uint8_t> bytes) {
    std::random_device device;
    for (size_t i = 0; i < bytes.size(); i += 4) {
        uint32_t word = device();
        for (size_t j = 0; j < 4 && i + j < bytes.size(); ++j) {
            bytes[i + j] = static_cast<uint8_t>(word >> (8 * j));
        }
    }
}

uint32_t randomWord() {
    std::random_device device;
    return device();
}

}  // namespace tarnwick::platform::embedded
