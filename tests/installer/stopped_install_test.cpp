// An installation that stops part way: the install log names what it made,
// the uninstallation removes exactly that, and the next installation
// succeeds. A stop before the account leaves the machine as it was.
#include "automation/text.h"
#include "installer_fixture.h"

namespace tarnwick::testing {
namespace {

using nlohmann::json;
using Strings = std::vector<std::string>;

constexpr int32_t kAccessDenied = static_cast<int32_t>(0x80070005u);
constexpr const char* kLog = "C:\\Setup\\Log.ini";

// The machine's state without what an uninstallation leaves by design: the
// data source, the component's registration with its copy and the processes
// started, ServUDaemon.txt, the application pool, and the next relative
// identifier (a removed account does not give its own back).
json withoutLeftovers(json state) {
    for (auto key : {"data_sources", "registrations", "processes"}) {
        state["system"][key] = json::array();
    }
    auto& files = state["files"]["files"];
    files.erase("C:\\WINDOWS\\system32\\Tarnwick.Dll");
    files.erase(std::string(kServU) + "\\ServUDaemon.txt");
    json keys = json::array();
    for (const auto& key : state["metabase"]["keys"]) {
        if (key.value("path", "") != "/LM/W3SVC/AppPools/PanelPool") keys.push_back(key);
    }
    state["metabase"]["keys"] = keys;
    state["accounts"]["nextRid"] = 0;
    return state;
}

// The install log's bytes; "" without a log.
std::string logOf(InstallerMachine& machine) {
    return machine.exists(kLog) ? machine.bytes(kLog) : "";
}

// Nothing but the leftovers by design differs between the two states.
void expectNothingLeft(const json& before, const json& after) {
    auto expected = withoutLeftovers(before);
    auto found = withoutLeftovers(after);
    EXPECT_TRUE(found == expected) << json::diff(expected, found).dump(1);
}

bool siteExists(InstallerMachine& machine, int number) {
    try {
        machine.platform->services().directory->bind("IIS://WEBHOST/W3SVC/" +
                                                     std::to_string(number));
        return true;
    } catch (const automation::AutomationError&) {
        return false;
    }
}

TEST(StoppedInstallation, AfterAnyFailingCallTheUninstallationRemovesWhatItMade) {
    // The platform calls of one installation that goes well, each (member
    // and path) once, in the order of their first use.
    std::vector<embedded::PlatformCall> calls;
    {
        InstallerMachine clean;
        clean.platform->faults().startRecording();
        clean.fillIn();
        ASSERT_TRUE(clean.form.Command1_Click());
        for (auto& call : clean.platform->faults().stopRecording()) {
            if (std::find(calls.begin(), calls.end(), call) == calls.end()) calls.push_back(call);
        }
    }
    ASSERT_GT(calls.size(), 50u);

    // Each call in turn fails the first time it is made.
    size_t stopped = 0;
    for (const auto& call : calls) {
        SCOPED_TRACE(call.member + " on " + call.path);
        InstallerMachine machine;
        const auto before = machine.platform->dump();
        machine.inject(call.member, call.path, kAccessDenied);
        machine.fillIn();
        const bool finished = machine.form.Command1_Click();
        if (finished) {
            // The finished installation's log, in its one format.
            auto log = logOf(machine);
            EXPECT_TRUE(log.starts_with("ADMIN_PANEL.TEST;") &&
                        log.ends_with(";D:\\Panel;paneldsn\r\n"))
                << log;
        } else {
            ++stopped;
        }
        // Without a log the installation made nothing.
        if (!machine.exists(kLog)) expectNothingLeft(before, machine.platform->dump());
        machine.form.Command3_Click();
        expectNothingLeft(before, machine.platform->dump());

        machine.view.events.clear();
        machine.fillIn();
        EXPECT_TRUE(machine.form.Command1_Click());
        EXPECT_EQ(machine.view.caption(), msg::kInstalled);
        EXPECT_EQ(logOf(machine), "ADMIN_PANEL.TEST;2;D:\\Panel;paneldsn\r\n");
    }
    // Each tested step is among them.
    EXPECT_GE(stopped, 8u);
}

// The site folder as the installation finds it, and where it stops: what
// the log then names, and what the uninstallation leaves. A folder that was
// there before is the site's only once the account's access is set on it; an
// account of the same name that was there before is never the installation's.
TEST(StoppedInstallation, TheLogNamesOnlyWhatTheInstallationMade) {
    enum class Stop { DomainTaken, AccountExists, AccessNotSet, SiteNotStarted };
    const struct {
        bool folderExisted;
        Stop stop;
        const char* log;  // nullptr: the earlier log is kept
        bool folderRemains;
    } cases[] = {
        {false, Stop::DomainTaken, nullptr, false},
        {true, Stop::DomainTaken, nullptr, true},
        {false, Stop::AccountExists, ";;D:\\Panel;\r\n", false},
        {true, Stop::AccountExists, nullptr, true},
        {false, Stop::AccessNotSet, "ADMIN_PANEL.TEST;;D:\\Panel;\r\n", false},
        {true, Stop::AccessNotSet, "ADMIN_PANEL.TEST;;;\r\n", true},
        {false, Stop::SiteNotStarted, "ADMIN_PANEL.TEST;2;D:\\Panel;\r\n", false},
        {true, Stop::SiteNotStarted, "ADMIN_PANEL.TEST;2;D:\\Panel;\r\n", false},
    };
    const std::string earlierLog = "ADMIN_OLD.TEST;5;D:\\Old;olddsn\r\n";
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.folderExisted ? "existing" : "new") + " folder, stop " +
                     std::to_string(static_cast<int>(c.stop)));
        InstallerMachine machine;
        auto& directory = *machine.platform->services().directory;
        machine.writeFile(kLog, earlierLog);
        if (c.folderExisted) {
            machine.makeFolder("D:\\Panel");
            machine.writeFile("D:\\Panel\\keep.txt", "kept");
        }
        switch (c.stop) {
            case Stop::DomainTaken: {
                auto created =
                    directory.bind("IIS://WEBHOST/W3SVC")->call("Create", {"IIsWebServer", 5});
                auto& site = automation::objectOf(created);
                site.put("ServerBindings", automation::Variant::Array{":80:panel.test"});
                site.call("SetInfo");
                break;
            }
            case Stop::AccountExists: {
                auto created =
                    directory.bind("WinNT://WEBHOST")->call("Create", {"User", "ADMIN_PANEL.TEST"});
                automation::objectOf(created).call("SetInfo");
                break;
            }
            case Stop::AccessNotSet:
                machine.inject("SetFileSecurityA", "D:\\Panel*", kAccessDenied);
                break;
            case Stop::SiteNotStarted: machine.inject("Start", "*", kAccessDenied); break;
        }

        machine.fillIn();
        EXPECT_FALSE(machine.form.Command1_Click());
        EXPECT_EQ(logOf(machine), c.log ? c.log : earlierLog);
        if (!c.log) {
            EXPECT_EQ(machine.exists("D:\\Panel"), c.folderExisted);
            continue;
        }

        EXPECT_TRUE(machine.form.Command3_Click());
        EXPECT_FALSE(machine.exists(kLog));
        EXPECT_EQ(machine.exists("D:\\Panel\\keep.txt"), c.folderRemains && c.folderExisted);
        EXPECT_EQ(machine.exists("D:\\Panel"), c.folderRemains);
        EXPECT_EQ(machine.accountExists("ADMIN_PANEL.TEST"), c.stop == Stop::AccountExists);
        EXPECT_FALSE(siteExists(machine, 2));
    }
}

}  // namespace
}  // namespace tarnwick::testing
