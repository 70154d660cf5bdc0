#include "toolkit/random_text.h"

#include <gtest/gtest.h>
#include <sys/random.h>

#include <map>
#include <set>

#include "component/control_object.h"

namespace tarnwick::testing {
namespace {

using automation::Variant;

class SystemRandom : public platform::RandomSource {
public:
    void fill(std::span<uint8_t> bytes) override {
        ASSERT_EQ(getrandom(bytes.data(), bytes.size(), 0), static_cast<ssize_t>(bytes.size()));
        ++fills;
    }
    int fills = 0;
};

// Hands out the given bytes in order, then repeats them.
class ScriptedRandom : public platform::RandomSource {
public:
    explicit ScriptedRandom(std::vector<uint8_t> bytes) : bytes_(std::move(bytes)) {}
    void fill(std::span<uint8_t> out) override {
        for (auto& b : out) b = bytes_[next_++ % bytes_.size()];
    }

private:
    std::vector<uint8_t> bytes_;
    size_t next_ = 0;
};

const std::string kAlphabet = "acegikmoqsuwyBDFHJLNPRTVXZ";

TEST(RndStr, LengthFollowsTheNumberGiven) {
    SystemRandom random;
    EXPECT_EQ(toolkit::RndStr(random, 0), "");
    EXPECT_EQ(toolkit::RndStr(random, -3), "");
    EXPECT_EQ(toolkit::RndStr(random, Variant()), "");
    EXPECT_EQ(toolkit::RndStr(random, 2.7).size(), 2u);
    EXPECT_EQ(toolkit::RndStr(random, "5").size(), 5u);
    EXPECT_THROW(toolkit::RndStr(random, "five"), automation::AutomationError);
    EXPECT_THROW(toolkit::RndStr(random, 1e12), automation::AutomationError);
}

TEST(RndStr, MapsEachDrawOntoTheAlphabetWithHalfWeightAtTheEnds) {
    // Bytes 0..49 give u = b: x = (u + 1) / 2. 250..255 are rejected.
    ScriptedRandom random({255, 0, 1, 2, 3, 48, 49, 250});
    EXPECT_EQ(toolkit::RndStr(random, 6), "aBBcyZ");
}

TEST(RndStr, DrawsEveryLetterOfTheAlphabetAndNothingElse) {
    SystemRandom random;
    std::map<char, int> counts;
    const int draws = 100000;
    for (char c : toolkit::RndStr(random, draws)) ++counts[c];
    ASSERT_EQ(counts.size(), 26u);
    for (auto [c, n] : counts) {
        ASSERT_NE(kAlphabet.find(c), std::string::npos) << c;
        double expected = (c == 'a' || c == 'Z') ? draws / 50.0 : draws / 25.0;
        EXPECT_NEAR(n, expected, expected * 0.15) << c;
    }
    // Two strings are not the same string: each character is its own draw.
    EXPECT_NE(toolkit::RndStr(random, 32), toolkit::RndStr(random, 32));
}

TEST(GetNtPass, IsFortyOneCharactersWithTheFixedPiecesInPlace) {
    platform::Services services;
    services.random = std::make_shared<SystemRandom>();
    component::ControlObject object(services);
    std::set<std::string> seen;
    for (int i = 0; i < 50; ++i) {
        auto password = object.call("GetNtPass").string();
        ASSERT_EQ(password.size(), 41u);
        EXPECT_EQ(password.substr(6, 3), toolkit::kPasswordPiece1);
        EXPECT_EQ(password.substr(17, 6), toolkit::kPasswordPiece2);
        EXPECT_EQ(password.substr(29, 6), toolkit::kPasswordPiece3);
        for (size_t at : {0, 1, 2, 3, 4, 5, 9, 16, 23, 28, 35, 40}) {
            EXPECT_NE(kAlphabet.find(password[at]), std::string::npos) << password;
        }
        seen.insert(password);
    }
    EXPECT_EQ(seen.size(), 50u);
    // Without a random source the call fails instead of making a weak password.
    component::ControlObject bare;
    EXPECT_THROW(bare.call("GetNtPass"), automation::AutomationError);
}

}  // namespace
}  // namespace tarnwick::testing
