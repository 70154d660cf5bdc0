#include <gtest/gtest.h>

#include "component/error_page.h"
#include "support/cli.h"

namespace tarnwick::testing {
namespace {

using nlohmann::json;

class PageCommand : public CliFixture {};

TEST_F(PageCommand, KeepsTheLoginAcrossPagesOfOneSession) {
    auto first = page({{"calls",
                        {{{"call", "login"}, {"args", {"admin", "secret", "root"}}},
                         {{"call", "IsAdmin"}},
                         {{"call", "GetCache"}}}}});
    std::string session = first["session"];
    EXPECT_EQ(first["results"][2], (json{{"type", "String"}, {"value", session}}));
    EXPECT_EQ(first["session_values"]["kavro_loginuser"],
              (json{{"type", "String"}, {"value", "admin"}}));
    EXPECT_EQ(first["response"]["redirect"], nullptr);

    auto second = page({{"session", session}, {"calls", {{{"call", "isadmin"}}}}});
    EXPECT_EQ(second["session"], session);
    EXPECT_EQ(second["response"]["redirect"], nullptr);
    EXPECT_EQ(second["response"]["ended"], false);

    auto third =
        page({{"session", session}, {"calls", {{{"call", "logout"}}, {{"call", "IsAdmin"}}}}});
    EXPECT_EQ(third["response"]["redirect"], "index.asp");
    EXPECT_EQ(third["response"]["ended"], true);
    EXPECT_EQ(third["session_values"]["kavro_loginpass"],
              (json{{"type", "String"}, {"value", ""}}));
}

TEST_F(PageCommand, StopsTheCallsOnceTheResponseHasEnded) {
    auto result = page({{"calls",
                         {{{"call", "login"}, {"args", {"admin", "", "root"}}},
                          {{"call", "login"}, {"args", {"admin", "secret", "root"}}}}}});
    ASSERT_EQ(result["results"].size(), 1u);
    EXPECT_EQ(result["results"][0], (json{{"type", "Empty"}, {"value", nullptr}}));
    EXPECT_EQ(result["response"]["body"], component::errorPage("参数出错!"));
    EXPECT_EQ(result["response"]["ended"], true);
    EXPECT_TRUE(result["session_values"].empty());
}

TEST_F(PageCommand, ReportsAutomationErrorsAndExactTypes) {
    auto result = page({{"calls",
                         {{{"put", "System"}, {"value", {{"type", "Integer"}, {"value", 2003}}}},
                          {{"get", "System"}},
                          {{"put", "IsChkUser"}, {"value", "abc"}},
                          {{"get", "IsChkUser"}},
                          {{"call", "ShowErr"}, {"args", {{{"type", "Null"}}}}}}}});
    const auto& results = result["results"];
    EXPECT_EQ(results[1], (json{{"type", "Integer"}, {"value", 2003}}));
    EXPECT_EQ(results[2]["error"],
              (json{{"number", 13}, {"hex", "800A000D"}, {"description", "Type mismatch"}}));
    EXPECT_EQ(results[3], (json{{"type", "Boolean"}, {"value", false}}));
    // Null is not the empty string: the page is written with an empty message.
    EXPECT_EQ(result["response"]["body"], component::errorPage(""));
}

TEST_F(PageCommand, WithoutOnStartPageThePageObjectsAreMissing) {
    auto result = page({{"start_page", false},
                        {"calls",
                         {{{"call", "ShowErr"}, {"args", {"message"}}},
                          {{"call", "OnStartPage"},
                           {"args", {{{"type", "Object"}, {"value", "ScriptingContext"}}}}},
                          {{"call", "ShowErr"}, {"args", {"message"}}}}}});
    EXPECT_EQ(result["results"][0]["error"]["number"], 91);
    EXPECT_EQ(result["results"][0]["error"]["hex"], "800A005B");
    EXPECT_EQ(result["results"][1], (json{{"type", "Empty"}, {"value", nullptr}}));
    EXPECT_EQ(result["response"]["body"], component::errorPage("message"));
}

TEST_F(PageCommand, RefusesBadPagesBeforeRunningAnything) {
    struct Case {
        std::string input;
        std::string says;
    };
    const Case cases[] = {
        {"{not json", "not valid JSON"},
        {R"({"calls": [{"call": "ShowErr", "args": [1e400]}]})", "not valid JSON"},
        {R"({"calls": [{"put": "System", "value": {"type": "Single", "value": 1e300}}]})",
         "does not fit a Single"},
        {R"({"calls": [{"call": "Frobnicate"}]})", "no member \"Frobnicate\""},
        {R"({"calls": [{"call": "login", "args": ["a", "b"]}]})", "takes 3 argument(s), 2 given"},
        {R"({"calls": [{"put": "GetCache", "value": 1}]})", "no member \"GetCache\""},
        {R"({"calls": [{"call": "Show\nErr"}]})", "no member \"Show\\nErr\""},
        {R"({"calls": [{"call": "ShowErr", "args": [{"type": "Currency", "value": 1}]}]})",
         "unknown automation type"},
        {R"({"calls": [{"call": "login", "args": ["a", "b", "c"]}, {"get": "x", "put": "y"}]})",
         "exactly one of"},
    };
    for (const auto& [input, says] : cases) {
        auto result = tarnwick({"page"}, input);
        EXPECT_EQ(result.exitCode, 1) << input;
        EXPECT_TRUE(result.out.empty()) << input;
        EXPECT_NE(result.err.find(says), std::string::npos) << result.err;
        EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
    }
    // The valid login before the bad call did not run.
    auto check = page({{"calls", json::array()}});
    EXPECT_TRUE(check["session_values"].empty());
}

TEST_F(PageCommand, DocumentsNestedDeeperThanTheLimitAreRefused) {
    // Arrays nested `levels` deep inside a page or a state document whose
    // own structure takes the rest of the depth.
    auto nested = [](size_t levels) { return std::string(levels, '[') + std::string(levels, ']'); };
    auto page = [&](size_t levels) {  // the page's object, calls, the call, its args: 4 levels
        return R"({"calls": [{"call": "ShowErr", "args": [)" + nested(levels - 4) + "]}]}";
    };
    auto stateDocument = [&](size_t levels) {  // the document's object: 1 level
        return R"({"weather": )" + nested(levels - 1) + "}";
    };
    struct Case {
        const char* command;
        size_t levels;
        bool refused;  // for nesting; "weather" refuses a state document within the limit too
    };
    const Case cases[] = {
        {"page", 64, false},     {"page", 65, true},     {"page", 35'000, true},
        {"platform", 64, false}, {"platform", 65, true}, {"platform", 35'000, true},
    };
    for (const auto& [command, levels, refused] : cases) {
        SCOPED_TRACE(std::string(command) + " nested " + std::to_string(levels));
        bool isPage = std::string(command) == "page";
        auto result = isPage ? tarnwick({"page"}, page(levels))
                             : tarnwick({"platform", "load"}, stateDocument(levels));
        bool saysTooDeep = result.err.find("more than 64 levels deep") != std::string::npos;
        EXPECT_EQ(saysTooDeep, refused) << result.err;
        EXPECT_EQ(result.exitCode, refused || !isPage ? 1 : 0) << result.err;
        if (result.exitCode != 0) {
            EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
        }
    }
}

TEST_F(PageCommand, PlatformInitMakesAFreshStateOnce) {
    auto made = tarnwick({"platform", "init", "--computer", "HOSTA"});
    EXPECT_EQ(made.exitCode, 0) << made.err;
    EXPECT_NE(made.out.find("HOSTA"), std::string::npos);
    auto again = tarnwick({"platform", "init", "--computer", "HOSTB"});
    EXPECT_EQ(again.exitCode, 2);
    EXPECT_NE(again.err.find("--force"), std::string::npos);
    EXPECT_EQ(tarnwick({"platform", "init", "--computer", "HOSTB", "--force"}).exitCode, 0);
    EXPECT_NE(tarnwick({"platform", "init", "--computer", "X", "--iis", "7"}).exitCode, 0);
}

TEST_F(PageCommand, EverySubcommandHasHelp) {
    for (auto args : std::vector<std::vector<std::string>>{{"--help"},
                                                           {"page", "--help"},
                                                           {"platform", "--help"},
                                                           {"platform", "init", "--help"}}) {
        auto result = tarnwick(args);
        EXPECT_EQ(result.exitCode, 0);
        EXPECT_NE(result.out.find("Usage"), std::string::npos) << result.out;
    }
}

}  // namespace
}  // namespace tarnwick::testing
