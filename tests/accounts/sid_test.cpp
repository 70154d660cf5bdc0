// SIDs in text and binary form, SHA-256 and the stored password hashes.
#include "platform/embedded/accounts/sid.h"

#include <gtest/gtest.h>

#include "platform/embedded/accounts/password.h"
#include "platform/embedded/accounts/sha256.h"

namespace tarnwick::testing {
namespace {

using platform::embedded::Sid;

TEST(SidForms, TextAndBinaryRoundTrip) {
    for (const char* text : {"S-1-5-32-544", "S-1-1-0", "S-1-5-18",
                             "S-1-5-21-3623811015-3361044348-30300820-1013", "S-1-5"}) {
        auto sid = Sid::parse(text);
        ASSERT_TRUE(sid) << text;
        EXPECT_EQ(sid->toText(), text);
        auto binary = sid->toBinary();
        EXPECT_EQ(binary.size(), sid->binaryLength());
        EXPECT_EQ(Sid::fromBinary(binary), sid);
    }
}

TEST(SidForms, BinaryLayoutIsTheSystemsOwn) {
    auto binary = Sid::parse("S-1-5-32-544")->toBinary();
    EXPECT_EQ(binary, (std::vector<uint8_t>{1, 2, 0, 0, 0, 0, 0, 5, 32, 0, 0, 0, 0x20, 2, 0, 0}));
    // Trailing bytes after the SID (as at the end of an ACE) are not part of it.
    binary.push_back(0xFF);
    EXPECT_EQ(Sid::fromBinary(binary)->toText(), "S-1-5-32-544");
}

TEST(SidForms, LargeAuthorityIsWrittenInHex) {
    Sid sid{1, 0x123456789ABCull, {7}};
    EXPECT_EQ(sid.toText(), "S-1-0x123456789ABC-7");
    EXPECT_EQ(Sid::parse("S-1-0x123456789ABC-7"), sid);
}

TEST(SidForms, MalformedSidsAreRefused) {
    for (const char* text :
         {"", "S-1", "S-2-5-32", "X-1-5", "S-1-5-", "S-1--5", "S-1-5-4294967296", "S-1-5-a",
          "S-1-281474976710656", "S-1-5-1-2-3-4-5-6-7-8-9-10-11-12-13-14-15-16"}) {
        EXPECT_FALSE(Sid::parse(text)) << text;
    }
    EXPECT_FALSE(Sid::fromBinary(std::vector<uint8_t>{1, 2, 0, 0, 0, 0, 0, 5, 32, 0, 0, 0}));
    EXPECT_FALSE(Sid::fromBinary(std::vector<uint8_t>{2, 0, 0, 0, 0, 0, 0, 5}));
    EXPECT_FALSE(Sid::fromBinary(std::vector<uint8_t>{1, 16, 0, 0, 0, 0, 0, 5}));
}

TEST(SidForms, DomainAndRid) {
    auto sid = *Sid::parse("S-1-5-21-1-2-3-1005");
    EXPECT_EQ(sid.rid(), 1005u);
    EXPECT_EQ(sid.domain().toText(), "S-1-5-21-1-2-3");
    EXPECT_EQ(sid.domain().withRid(500).toText(), "S-1-5-21-1-2-3-500");
}

TEST(Sha256Digest, KnownVectors) {
    using platform::embedded::Sha256;
    using platform::embedded::toHex;
    EXPECT_EQ(toHex(Sha256::of("")),
              "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(toHex(Sha256::of("abc")),
              "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    // 56 bytes: the length no longer fits the first block.
    EXPECT_EQ(toHex(Sha256::of("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq")),
              "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
    Sha256 pieces;
    std::string million(1000000, 'a');
    pieces.update(std::string_view(million).substr(0, 333333));
    pieces.update(std::string_view(million).substr(333333));
    EXPECT_EQ(toHex(pieces.finish()),
              "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
}

TEST(PasswordHashes, SaltedAndVerifiable) {
    using namespace platform::embedded;
    auto first = hashPassword("Secret1");
    auto second = hashPassword("Secret1");
    EXPECT_TRUE(isWellFormed(first));
    EXPECT_NE(first.salt, second.salt);
    EXPECT_NE(first.hash, second.hash);
    EXPECT_TRUE(verifyPassword(first, "Secret1"));
    EXPECT_FALSE(verifyPassword(first, "secret1"));
    EXPECT_FALSE(verifyPassword(first, ""));
    EXPECT_EQ(hashPassword("Secret1", first.salt), first);
    EXPECT_FALSE(isWellFormed({first.salt, "abc"}));
}

}  // namespace
}  // namespace tarnwick::testing
