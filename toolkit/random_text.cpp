#include "toolkit/random_text.h"

#include <array>
#include <cmath>

#include "automation/error.h"

namespace tarnwick::toolkit {

namespace {
// Uniform values from 0 to 49 by rejection sampling of random bytes, taken
// from the generator a block at a time.
class Draws {
public:
    explicit Draws(platform::RandomSource& random) : random_(random) {}
    int next() {
        while (true) {
            if (used_ == block_.size()) {
                random_.fill(block_);
                used_ = 0;
            }
            uint8_t b = block_[used_++];
            if (b < 250) return b % 50;
        }
    }

private:
    platform::RandomSource& random_;
    std::array<uint8_t, 64> block_{};
    size_t used_ = block_.size();
};
}  // namespace

std::string RndStr(platform::RandomSource& random, const automation::Variant& StrLen) {
    double bound = automation::toNumber(StrLen);  // read once, before the first pass
    if (bound > kMaxRandomLength) automation::raise(automation::errors::kInvalidProcedureCall);
    std::string result;
    Draws draws(random);
    for (double i = 1; i <= bound; ++i) {
        // u in 0..49 maps to x = (u + 1) / 2: 0 and 25 once each, 1..24 twice each.
        int x = (draws.next() + 1) / 2;
        result += static_cast<char>(x % 2 == 0 ? 97 + x : 65 + x);
    }
    return result;
}

}  // namespace tarnwick::toolkit
