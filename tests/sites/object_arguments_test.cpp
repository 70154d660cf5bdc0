// Panel pages pass form fields and record fields straight to Control: objects
// whose default member holds the value. Every method that takes arguments does
// with such objects what it does with the values themselves.
#include <gtest/gtest.h>

#include <set>

#include "cli/page_runner.h"
#include "component/members.h"
#include "support/activity_log_state.h"

namespace tarnwick::testing {
namespace {

using nlohmann::json;

json object(const json& description) { return {{"type", "Object"}, {"value", description}}; }

// The page with every argument and every put value made an object whose
// default member holds it.
json withObjects(json page) {
    for (auto& call : page["calls"]) {
        if (call.contains("args")) {
            for (auto& arg : call["args"]) arg = object({{"default", arg}});
        }
        if (call.contains("put")) call["value"] = object({{"default", call["value"]}});
    }
    return page;
}

// Drops what differs from run to run (generated passwords, session numbers)
// and the by-reference arguments a page gets back: its objects stay objects.
void scrub(json& value) {
    static const std::set<std::string> kDropped = {"password", "AnonymousUserPass", "sessions",
                                                   "session", "args"};
    if (!value.is_structured()) return;
    for (auto it = value.begin(); it != value.end();) {
        if (value.is_object() && kDropped.contains(it.key())) {
            it = value.erase(it);
        } else {
            scrub(*it++);
        }
    }
}

// The page's results, response and session values, and the platform's state
// afterwards, from one fresh machine (its SIDs are random).
json outcome(const json& page) {
    static const json machine = platform::embedded::EmbeddedPlatform::inMemory()->dump();
    auto platform = platform::embedded::EmbeddedPlatform::inMemory();
    platform->load(machine);
    json result = {cli::runPage(*platform, page), withoutActivityLog(platform->dump())};
    scrub(result);
    return result;
}

json call(std::string_view member, json args) {
    return {{"call", std::string(member)}, {"args", std::move(args)}};
}

TEST(ObjectArguments, EveryMethodDoesWithObjectsWhatItDoesWithTheirValues) {
    const json site = call("CreateSite", {"bob", "D:\\Web\\bob", "bob.com", 100, 512, "BobPool",
                                          "index.asp,index.htm"});
    const json iis6 = {{"put", "System"}, {"value", "2003"}};
    std::vector<json> pages = {
        json::array({call("login", {"admin", "secret", "root"}), {{"call", "IsAdmin"}}}),
        json::array({call("login", {"admin", "", "root"})}),
        json::array({iis6, {{"put", "ShowIP"}, {"value", "True"}}, site}),
        json::array({{{"put", "System"}, {"value", 2000}},
                     {{"put", "IsChkUser"}, {"value", -1}},
                     call("CreateSite", {"eve", "D:\\Web\\eve", "eve.com", -1, 0, 30, "a.htm"})}),
        json::array({iis6, site, call("ModifySite", {2, "new.com", "100", 50, "home.asp", "bob"}),
                     call("SiteStatus", {2, false}), call("SiteStatus", {"2", -1}),
                     call("DefaultDoc", {2, "default.asp"}),
                     call("DeleteSite", {"2", "D:\\Web\\bob"})}),
        json::array({iis6, site, call("DeleteSite", {2, "C:\\WINDOWS"})}),
        json::array({call("CreateNtUser", {"amy", "Pw-1234567", "Amy", "note"}),
                     call("AddUserToGroup", {"amy", "Guests"}), call("DeleteNtUser", {"amy"}),
                     call("ChkFolder", {"D:\\Data\\amy"}), call("CreatePool", {"AmyPool"}),
                     call("RndStr", {0}), call("ShowErr", {"bad 'input'"})}),
    };
    // Every method with arrays, whose conversions fail as they always did.
    for (const auto& member : component::controlMembers()) {
        if (member.kind != component::MemberKind::Method || member.parameters.empty()) continue;
        if (member.parameters[0].type != component::ValueType::Variant) continue;
        pages.push_back(json::array({call(member.name, json::array())}));
        for (size_t i = 0; i < member.parameters.size(); ++i) {
            pages.back()[0]["args"].push_back(json::array({"a"}));
        }
    }
    for (const auto& calls : pages) {
        const json page = {{"calls", calls}};
        EXPECT_EQ(outcome(withObjects(page)), outcome(page)) << page.dump();
    }
}

TEST(ObjectArguments, WithoutADefaultMemberA438AndThroughTwoDefaultMembersA13) {
    const std::pair<json, int> kinds[] = {{object(json::object()), 438},
                                          {object({{"default", object({{"default", "x"}})}}), 13}};
    for (const auto& member : component::controlMembers()) {
        if (member.kind != component::MemberKind::Method || member.parameters.empty()) continue;
        if (member.parameters[0].type != component::ValueType::Variant) continue;
        for (const auto& [argument, number] : kinds) {
            json args(member.parameters.size(), argument);
            auto platform = platform::embedded::EmbeddedPlatform::inMemory();
            json result = cli::runPage(*platform, {{"calls", {call(member.name, args)}}});
            EXPECT_EQ(result["results"][0]["error"]["number"], number) << member.name;
            EXPECT_EQ(result["session_values"], json::object()) << member.name;
        }
    }
}

}  // namespace
}  // namespace tarnwick::testing
