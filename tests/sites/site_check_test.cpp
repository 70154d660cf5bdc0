// `tarnwick check` and `check --repair` on what no site accounts for: each
// state is two sites made by `site create`, then changed through the
// platform's own objects; the table says what check finds, what a repair
// leaves, and which members the repair's lines in the activity log name.
#include <gtest/gtest.h>

#include <functional>

#include "automation/text.h"
#include "platform/embedded/embedded_platform.h"
#include "support/cli.h"

namespace tarnwick::testing {
namespace {

using nlohmann::json;
namespace embedded = platform::embedded;
using Keys = std::vector<std::string>;

// The platform a case changes, open in the test's process.
struct Machine {
    std::unique_ptr<embedded::EmbeddedPlatform> platform;

    automation::ObjectRef bind(const std::string& path) {
        return platform->services().directory->bind(path);
    }
    automation::ObjectRef files() { return platform->objects()("Scripting.FileSystemObject"); }
    void set(const std::string& path, std::string_view property, const automation::Variant& value) {
        auto key = bind(path);
        key->put(property, value);
        key->call("SetInfo");
    }
    void removeRoot(int site) {
        bind("IIS://WEBHOST/W3SVC/" + std::to_string(site))
            ->call("Delete", {"IIsWebVirtualDir", "ROOT"});
    }
    void addUser(const std::string& name) {
        auto user = bind("WinNT://WEBHOST")->call("Create", {"user", name});
        automation::objectOf(user).call("SetInfo");
    }
};

struct CheckCase {
    const char* name;
    std::function<void(Machine&)> prepare;
    Keys found;      // "kind:site" or "kind:account", as check --json lists them
    Keys remaining;  // what check finds after check --repair
    Keys logged;     // the members of the repair's activity log lines
};

class Check : public CliFixture, public ::testing::WithParamInterface<CheckCase> {
protected:
    Keys keysOf(const json& findings) {
        Keys keys;
        for (const auto& finding : findings) {
            keys.push_back(finding["kind"].get<std::string>() + ":" +
                           (finding["site"].is_null()
                                ? finding["account"].get<std::string>()
                                : std::to_string(finding["site"].get<int>())));
        }
        return keys;
    }
};

TEST_P(Check, FindsWhatNoSiteAccountsForAndRepairsOnlyWhatThePanelMade) {
    const auto& test = GetParam();
    ASSERT_EQ(tarnwick({"platform", "init", "--computer", "WEBHOST", "--iis", "6"}).exitCode, 0);
    for (const char* user : {"amy", "bob"}) {
        auto made =
            tarnwick({"site", "create", "--user", user, "--path", std::string("D:\\Web\\") + user,
                      "--domain", std::string(user) + ".com"});
        ASSERT_EQ(made.exitCode, 0) << made.err;
    }
    {
        Machine machine{embedded::EmbeddedPlatform::open(state)};
        test.prepare(machine);
    }

    auto check = tarnwick({"check", "--json"});
    EXPECT_EQ(check.exitCode, test.found.empty() ? 0 : 1) << check.err;
    EXPECT_EQ(keysOf(json::parse(check.out)["findings"]), test.found) << check.out;

    auto repair = tarnwick({"check", "--repair", "--json"});
    EXPECT_EQ(repair.exitCode, test.remaining.empty() ? 0 : 1) << repair.err;
    EXPECT_EQ(keysOf(json::parse(repair.out)["findings"]), test.remaining) << repair.out;

    Keys logged;
    const auto log = json::parse(tarnwick({"log", "--json"}).out);
    for (const auto& line : log["lines"]) {
        if (line["member"] != "CreateSite") logged.push_back(line["member"]);
    }
    EXPECT_EQ(logged, test.logged);

    // A second repair finds what the first left, and leaves it.
    auto again = tarnwick({"check", "--repair", "--json"});
    EXPECT_EQ(again.exitCode, repair.exitCode);
    EXPECT_EQ(keysOf(json::parse(again.out)["findings"]), test.remaining) << again.out;
}

void emptyFolder(Machine& machine, const std::string& folder) {
    machine.files()->call("DeleteFolder", {folder, true});
    machine.files()->call("CreateFolder", {folder});
}

INSTANTIATE_TEST_SUITE_P(
    States, Check,
    ::testing::Values(
        CheckCase{"Nothing", [](Machine&) {}, {}, {}, {}},
        // CreateSite cut short before the root: the folder has no templates yet.
        CheckCase{"PanelSiteWithoutRootAndEmptyFolder",
                  [](Machine& machine) {
                      machine.removeRoot(3);
                      emptyFolder(machine, "D:\\Web\\bob");
                  },
                  {"site_without_root:3"},
                  {},
                  {"DeleteSite"}},
        CheckCase{"PanelSiteWithoutRootWhoseFolderHoldsFiles",
                  [](Machine& machine) { machine.removeRoot(3); },
                  {"site_without_root:3"},
                  {"site_without_root:3"},
                  {}},
        CheckCase{"OtherSiteWithoutRoot",
                  [](Machine& machine) {
                      machine.removeRoot(3);
                      emptyFolder(machine, "D:\\Web\\bob");
                      machine.set("IIS://WEBHOST/W3SVC/3", "ServerComment", "Bob's shop");
                  },
                  {"site_without_root:3"},
                  {"site_without_root:3"},
                  {}},
        CheckCase{"RootFolderMissing",
                  [](Machine& machine) {
                      machine.files()->call("DeleteFolder", {"D:\\Web\\bob", true});
                  },
                  {"root_folder_missing:3"},
                  {"root_folder_missing:3"},
                  {}},
        CheckCase{"AnonymousAccountMissing",
                  [](Machine& machine) {
                      machine.bind("WinNT://WEBHOST")->call("Delete", {"user", "Tarn_bob"});
                  },
                  {"anonymous_account_missing:3"},
                  {"anonymous_account_missing:3"},
                  {}},
        CheckCase{"AccountOfNoSite",
                  [](Machine& machine) { machine.addUser("Tarn_gone"); },
                  {"account_of_no_site:Tarn_gone"},
                  {},
                  {"DeleteNtUser"}},
        CheckCase{"ProtectedAccountOfNoSite",
                  [](Machine& machine) {
                      machine.addUser("TARN_admin");
                      auto group = machine.bind("WinNT://WEBHOST/Administrators,group");
                      group->call("Add", {"WinNT://WEBHOST/TARN_admin"});
                      group->call("SetInfo");
                  },
                  {"account_of_no_site:TARN_admin"},
                  {"account_of_no_site:TARN_admin"},
                  {"DeleteNtUser"}},
        CheckCase{"SharedHostName",
                  [](Machine& machine) {
                      machine.set("IIS://WEBHOST/W3SVC/3", "ServerBindings",
                                  automation::Variant::Array{":80:bob.com", "10.0.0.5:80:AMY.com"});
                  },
                  {"shared_host_name:3"},
                  {"shared_host_name:3"},
                  {}},
        CheckCase{"FolderInsideAnotherSitesFolder",
                  [](Machine& machine) {
                      machine.files()->call("CreateFolder", {"D:\\Web\\amy\\bob"});
                      machine.set("IIS://WEBHOST/W3SVC/3/ROOT", "Path", "d:/web/AMY/bob/");
                  },
                  {"folder_inside_site:3"},
                  {"folder_inside_site:3"},
                  {}},
        CheckCase{"PoolThatDoesNotExist",
                  [](Machine& machine) {
                      machine.set("IIS://WEBHOST/W3SVC/3/ROOT", "AppPoolId", "Gone");
                  },
                  {"unknown_pool:3"},
                  {"unknown_pool:3"},
                  {}}),
    [](const auto& param) { return std::string(param.param.name); });

}  // namespace
}  // namespace tarnwick::testing
