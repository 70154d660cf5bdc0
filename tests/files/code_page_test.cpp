#include <gtest/gtest.h>

#include <set>

#include "platform/embedded/files/ansi_code_page.h"
#include "platform/embedded/files/random_source.h"

namespace tarnwick::testing {
namespace {

namespace files = platform::embedded::files;

TEST(AnsiCodePage, ConvertsChineseBothWays) {
    files::IconvCodePage gbk(936);
    EXPECT_EQ(gbk.codePage(), 936u);
    EXPECT_EQ(gbk.fromUtf8("主机控制面板 2.01"),
              "\xD6\xF7\xBB\xFA\xBF\xD8\xD6\xC6\xC3\xE6\xB0\xE5 2.01");
    EXPECT_EQ(gbk.toUtf8("\xD6\xF7\xBB\xFA"), "主机");
}

TEST(AnsiCodePage, WhatTheCodePageCannotHoldBecomesAQuestionMark) {
    files::IconvCodePage gbk(936);
    EXPECT_EQ(gbk.fromUtf8("a😀b한c"), "a?b?c");
    EXPECT_EQ(gbk.fromUtf8("x\xE4y"), "x?y");  // a broken UTF-8 sequence
    EXPECT_EQ(gbk.toUtf8("ok\xD6"), "ok?");    // a lead byte without its second byte
    files::IconvCodePage western(1252);
    EXPECT_EQ(western.fromUtf8("café 中"), "caf\xE9 ?");
    EXPECT_THROW(files::IconvCodePage(99999), files::CodePageError);
}

TEST(RandomSource, FillsWithVaryingBytes) {
    files::SystemRandomSource random;
    std::set<std::vector<uint8_t>> seen;
    for (int i = 0; i < 4; ++i) {
        std::vector<uint8_t> bytes(32, 0);
        random.fill(bytes);
        seen.insert(bytes);
    }
    EXPECT_EQ(seen.size(), 4u);
}

}  // namespace
}  // namespace tarnwick::testing
