#include "component/error_page.h"

#include <gtest/gtest.h>

#include "automation/text.h"

namespace tarnwick::component {
namespace {

constexpr const char* kPrefix = "<script>alert('";
constexpr const char* kSuffix =
    "\\n\\n程序名称: Tarnwick 主机控制面板 2.01\\n官方网站: http://www.tarnwick.example/"
    "');history.back();</Script>";

// Decodes a single-quoted JavaScript string body as a browser does; fails the
// test when the body would end the string early.
std::string decodeScriptString(const std::string& body) {
    std::string out;
    for (size_t i = 0; i < body.size(); ++i) {
        char c = body[i];
        EXPECT_NE(c, '\'') << "unescaped quote at " << i << " in " << body;
        EXPECT_NE(c, '\n') << "raw line break in " << body;
        EXPECT_NE(c, '\r') << "raw line break in " << body;
        if (c != '\\') {
            out += c;
            continue;
        }
        char next = body.at(++i);
        switch (next) {
            case 'n': out += '\n'; break;
            case 'r': out += '\r'; break;
            case 't': out += '\t'; break;
            case 'x':
                out += static_cast<char>(std::stoi(body.substr(i + 1, 2), nullptr, 16));
                i += 2;
                break;
            case 'u': {
                int code = std::stoi(body.substr(i + 1, 4), nullptr, 16);
                out += static_cast<char>(0xE0 | (code >> 12));
                out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
                out += static_cast<char>(0x80 | (code & 0x3F));
                i += 4;
                break;
            }
            default: out += next;
        }
    }
    return out;
}

std::string messageOf(const std::string& page) {
    EXPECT_TRUE(page.starts_with(kPrefix)) << page;
    EXPECT_TRUE(page.ends_with(kSuffix)) << page;
    return page.substr(std::string(kPrefix).size(),
                       page.size() - std::string(kPrefix).size() - std::string(kSuffix).size());
}

TEST(ErrorPage, IsTheAlertScriptByteForByte) {
    EXPECT_EQ(errorPage("参数出错,请检查!"),
              "<script>alert('参数出错,请检查!\\n\\n程序名称: Tarnwick 主机控制面板 "
              "2.01\\n官方网站: http://www.tarnwick.example/');history.back();</Script>");
}

TEST(ErrorPage, SystemMessagesKeepTheirLineBreakPairs) {
    const std::string status = "无法完成指定操作.\\n\\n错误码: 80070003";
    EXPECT_EQ(messageOf(errorPage(status)), status);
    EXPECT_EQ(decodeScriptString(messageOf(errorPage(status))),
              "无法完成指定操作.\n\n错误码: 80070003");
    for (const char* message : {"参数出错!", "你所要绑定的域名已存在,请改换其他域名!",
                                "站点删除失败", "链接 IIS 出错!"}) {
        EXPECT_EQ(messageOf(errorPage(message)), message);
    }
}

TEST(ErrorPage, NoMessageCanLeaveTheStringOrTheScript) {
    const std::string hostile[] = {
        "it's",
        "say \"hi\"",
        "C:\\Web\\site",
        "trailing backslash \\",
        "</script><script>alert(1)</script>",
        "</SCRIPT >",
        "<!--",
        "line one\nline two\r\nline three",
        "tab\there",
        std::string("nul\0byte", 8),
        "separator\xE2\x80\xA8here\xE2\x80\xA9",
        "');alert(document.cookie);('",
        "\\'); evil(); //",
    };
    for (const auto& message : hostile) {
        auto page = errorPage(message);
        auto body = messageOf(page);
        // The only "</" in the page is the closing tag.
        EXPECT_EQ(page.find("</"), page.rfind("</Script>")) << page;
        EXPECT_EQ(page.find('<', 1), page.rfind("</Script>")) << page;
        // What the browser shows: the message itself, the pair backslash-n as a line break.
        auto expected = automation::replaceAll(message, "\\n", "\n");
        EXPECT_EQ(decodeScriptString(body), expected) << body;
        EXPECT_EQ(errorPageMessage(page), expected);
    }
    EXPECT_EQ(errorPageMessage("<p>not an error page</p>"), std::nullopt);
}

TEST(ErrorPage, EscapesOnlyWhatNeedsIt) {
    EXPECT_EQ(escapeAlertText("a'b"), "a\\'b");
    EXPECT_EQ(escapeAlertText("a\\b"), "a\\\\b");
    EXPECT_EQ(escapeAlertText("a\\nb"), "a\\nb");
    EXPECT_EQ(escapeAlertText("a\nb"), "a\\nb");
    EXPECT_EQ(escapeAlertText("</script>"), "\\x3C/script\\x3E");
    EXPECT_EQ(escapeAlertText("中文 text 123"), "中文 text 123");
}

}  // namespace
}  // namespace tarnwick::component
