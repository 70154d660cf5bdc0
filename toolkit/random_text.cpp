#include "toolkit/random_text.h"

#include <array>
#include <cmath>

#include "automation/error.h"

namespace tarnwick::toolkit {

namespace {
// A uniform value from 0 to 49 by rejection sampling of random bytes.
int uniformBelow50(platform::RandomSource& random) {
    while (true) {
        std::array<uint8_t, 16> bytes{};
        random.fill(bytes);
        for (uint8_t b : bytes) {
            if (b < 250) return b % 50;
        }
    }
}
}  // namespace

std::string RndStr(platform::RandomSource& random, const automation::Variant& StrLen) {
    double bound = automation::toNumber(StrLen);  // read once, before the first pass
    if (bound > kMaxRandomLength) automation::raise(automation::errors::kInvalidProcedureCall);
    std::string result;
    for (double i = 1; i <= bound; ++i) {
        // u in 0..49 maps to x = (u + 1) / 2: 0 and 25 once each, 1..24 twice each.
        int x = (uniformBelow50(random) + 1) / 2;
        result += static_cast<char>(x % 2 == 0 ? 97 + x : 65 + x);
    }
    return result;
}

}  // namespace tarnwick::toolkit
