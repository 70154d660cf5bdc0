// The uninstall button: what the install log names is removed, each step
// confirmed in a message box, and exactly the documented leftovers remain.
#include "automation/text.h"
#include "installer/install_log.h"
#include "installer_fixture.h"

namespace tarnwick::testing {
namespace {

using Strings = std::vector<std::string>;
using nlohmann::json;

const Strings kAllMessages = {"NT 帐号已删除...", "主控端已删除...", "网站目录已删除...",
                              "恭喜你,卸载成功!"};

bool siteExists(embedded::EmbeddedPlatform& platform, int number) {
    try {
        platform.services().directory->bind("IIS://WEBHOST/W3SVC/" + std::to_string(number));
        return true;
    } catch (const automation::AutomationError&) {
        return false;
    }
}

using Uninstall = InstallerFixture;

TEST_F(Uninstall, WithoutALogNothingIsRemoved) {
    form.Form_Load();
    EXPECT_FALSE(form.Command3_Click());
    EXPECT_EQ(messages(), Strings{std::string(msg::kNoLog)});
    EXPECT_TRUE(siteExists(*platform, 1));
}

TEST_F(Uninstall, InstallThenUninstallLeavesOnlyTheDocumentedItems) {
    auto before = platform->dump();
    fillIn();
    ASSERT_TRUE(form.Command1_Click());
    ASSERT_TRUE(form.Command3_Click());
    EXPECT_EQ(messages(), kAllMessages);
    auto after = platform->dump();

    // Left in place: the data source, the registration with the component's
    // copy, ServUDaemon.txt, the application pool, and the processes started.
    auto& systemPart = after["system"];
    EXPECT_EQ(systemPart["data_sources"].size(), 1u);
    EXPECT_EQ(systemPart["registrations"].size(), 1u);
    EXPECT_EQ(systemPart["processes"].size(), 1u);
    systemPart["data_sources"] = json::array();
    systemPart["registrations"] = json::array();
    systemPart["processes"] = json::array();

    auto& files = after["files"]["files"];
    EXPECT_TRUE(files.contains("C:\\WINDOWS\\system32\\Tarnwick.Dll"));
    EXPECT_TRUE(files.contains(std::string(kServU) + "\\ServUDaemon.txt"));
    files.erase("C:\\WINDOWS\\system32\\Tarnwick.Dll");
    files.erase(std::string(kServU) + "\\ServUDaemon.txt");

    auto& keys = after["metabase"]["keys"];
    auto pool = std::find_if(keys.begin(), keys.end(), [](const json& key) {
        return key.value("path", "") == "/LM/W3SVC/AppPools/PanelPool";
    });
    ASSERT_NE(pool, keys.end()) << keys.dump();
    keys.erase(pool);

    // A removed account's relative identifier is not handed out again.
    EXPECT_EQ(after["accounts"]["nextRid"], before["accounts"]["nextRid"].get<int>() + 1);
    after["accounts"]["nextRid"] = before["accounts"]["nextRid"];

    EXPECT_EQ(after, before) << json::diff(before, after).dump(1);
}

TEST_F(Uninstall, AfterTheFolderWasRemovedByHandTheRestStillGoes) {
    fillIn();
    ASSERT_TRUE(form.Command1_Click());
    embedded::files::FileSystem(platform->sharedStore()).deleteFolder("D:\\Panel", true);
    EXPECT_TRUE(form.Command3_Click());
    EXPECT_EQ(messages(), kAllMessages);
    EXPECT_FALSE(accountExists("ADMIN_PANEL.TEST"));
    EXPECT_FALSE(siteExists(*platform, 2));
    EXPECT_FALSE(exists("C:\\Setup\\Log.ini"));

    // The log is gone: a second press finds nothing to do.
    view.events.clear();
    EXPECT_FALSE(form.Command3_Click());
    EXPECT_EQ(messages(), Strings{std::string(msg::kNoLog)});
}

TEST_F(Uninstall, UsesTheNameTheSystemReportsNotTheTypedOne) {
    fillIn();
    form.fields.Text1 = "localhost";
    ASSERT_TRUE(form.Command1_Click());
    EXPECT_TRUE(form.Command3_Click());
    EXPECT_FALSE(accountExists("ADMIN_PANEL.TEST"));
    EXPECT_FALSE(siteExists(*platform, 2));
}

TEST_F(Uninstall, ALogWithOnlyTheAccountRemovesTheAccount) {
    fillIn();
    ASSERT_TRUE(form.Command1_Click());
    writeFile("C:\\Setup\\Log.ini", "ADMIN_PANEL.TEST\r\n");
    EXPECT_TRUE(form.Command3_Click());
    EXPECT_EQ(messages(), (Strings{"NT 帐号已删除...", "恭喜你,卸载成功!"}));
    EXPECT_FALSE(accountExists("ADMIN_PANEL.TEST"));
    EXPECT_TRUE(siteExists(*platform, 2));
    EXPECT_TRUE(exists("D:\\Panel\\Web\\Db.asp"));
    EXPECT_FALSE(exists("C:\\Setup\\Log.ini"));
}

// The folder of the log goes with everything in it: one that the install
// button refuses (a drive root, the system's folders, the installer's own
// folder, no plain local folder) is not acted on, nor is anything else.
TEST_F(Uninstall, ALogNamingAFolderNoInstallationMayUseRemovesNothing) {
    fillIn();
    ASSERT_TRUE(form.Command1_Click());
    for (auto folder : {"C:\\WINDOWS", "c:\\windows\\system32", "C:\\WINDOWS.", "C:\\", "D:\\",
                        "C:\\Program Files", "C:\\Program Files\\Serv-U", "C:\\Setup",
                        "C:\\Setup\\Web", "C:\\Setup\\..", "Panel", "\\\\server\\share", "D:\\*"}) {
        SCOPED_TRACE(folder);
        view.events.clear();
        const std::string log = "ADMIN_PANEL.TEST;2;" + std::string(folder) + ";paneldsn\r\n";
        writeFile("C:\\Setup\\Log.ini", log);
        EXPECT_FALSE(form.Command3_Click());
        EXPECT_EQ(messages(), Strings{std::string(msg::kLogFolderNotAllowed)});
        EXPECT_EQ(bytes("C:\\Setup\\Log.ini"), log);
    }
    EXPECT_TRUE(accountExists("ADMIN_PANEL.TEST"));
    EXPECT_TRUE(siteExists(*platform, 2));
    EXPECT_TRUE(exists("C:\\WINDOWS\\system32"));
    EXPECT_TRUE(exists("C:\\Setup\\Web"));
    EXPECT_TRUE(exists(std::string(kServU) + "\\ServUDaemon.ini"));

    // The log of the installation itself still removes it.
    view.events.clear();
    writeFile("C:\\Setup\\Log.ini", "ADMIN_PANEL.TEST;2;D:\\Panel;paneldsn\r\n");
    EXPECT_TRUE(form.Command3_Click());
    EXPECT_EQ(messages(), kAllMessages);
    EXPECT_FALSE(exists("D:\\Panel"));
}

TEST_F(Uninstall, ALogWhoseValuesHoldSemicolonsIsNotActedOn) {
    fillIn();
    ASSERT_TRUE(form.Command1_Click());
    // Written by hand: the folder field would be read as "D:\Panel" and the
    // data source as "x", had the site folder been "D:\Panel;x".
    writeFile("C:\\Setup\\Log.ini", "ADMIN_PANEL.TEST;2;D:\\Panel;x;paneldsn\r\n");
    EXPECT_FALSE(form.Command3_Click());
    EXPECT_EQ(messages(), Strings{std::string(msg::kLogDamaged)});
    EXPECT_TRUE(accountExists("ADMIN_PANEL.TEST"));
    EXPECT_TRUE(exists("D:\\Panel"));
}

// A log changed by hand may name an account or a site that no installation
// made: the built-in Administrator, the web server's IUSR_ account, another
// domain's account, a path instead of a site number. Nothing is removed.
TEST_F(Uninstall, ALogNamingWhatNoInstallationMakesRemovesNothing) {
    fillIn();
    ASSERT_TRUE(form.Command1_Click());
    for (auto log :
         {"Administrator;2;D:\\Panel;paneldsn\r\n", "IUSR_WEBHOST;2;D:\\Panel;paneldsn\r\n",
          "OTHER\\ADMIN_X;2;D:\\Panel;paneldsn\r\n",
          "ADMIN_PANEL.TEST;1/ROOT;D:\\Panel;paneldsn\r\n",
          "ADMIN_PANEL.TEST;AppPools;D:\\Panel;paneldsn\r\n"}) {
        SCOPED_TRACE(log);
        view.events.clear();
        writeFile("C:\\Setup\\Log.ini", log);
        EXPECT_FALSE(form.Command3_Click());
        EXPECT_EQ(messages(), Strings{std::string(msg::kLogDamaged)});
    }
    EXPECT_TRUE(accountExists("Administrator"));
    EXPECT_TRUE(accountExists("IUSR_WEBHOST"));
    EXPECT_TRUE(accountExists("ADMIN_PANEL.TEST"));
    EXPECT_TRUE(siteExists(*platform, 1));
    EXPECT_TRUE(siteExists(*platform, 2));
    EXPECT_TRUE(exists("D:\\Panel"));
}

// The site of the log is removed only while it is still the master control
// site: its comment and every binding name the domain of the log's account,
// and its root lies in the log's folder. Whatever else now has the number
// stays, with a message box; when its root lies in the log's folder, nothing
// is removed at all.
TEST_F(Uninstall, ASiteThatChangedHandsStays) {
    enum Outcome { Removed, Stays, NothingRemoved };
    const Strings expected[] = {kAllMessages,
                                {"NT 帐号已删除...", std::string(msg::kSiteNotThePanels),
                                 "网站目录已删除...", "恭喜你,卸载成功!"},
                                {std::string(msg::kLogFolderOfAnotherSite)}};
    // What site 2 holds after the installation; nullptr leaves a value as it is.
    const struct {
        const char* comment;
        const char* bindings;  // separated by ","
        const char* root;
        Outcome outcome;
    } cases[] = {
        {"Panel.Test", "10.0.0.1:80:PANEL.test", nullptr, Removed},
        {"Z_BOB.COM", nullptr, nullptr, NothingRemoved},
        {nullptr, ":80:bob.com", nullptr, NothingRemoved},
        {nullptr, ":80:panel.test,:80:www.bob.com", nullptr, NothingRemoved},
        {nullptr, nullptr, "D:\\Web\\bob", Stays},
        // A customer's site that took the number, outside and inside the folder.
        {"Z_BOB.COM", ":80:bob.com", "D:\\Web\\bob", Stays},
        {"Z_BOB.COM", ":80:bob.com", "D:\\Panel\\bob", NothingRemoved},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.bindings ? c.bindings : "") + " " + (c.root ? c.root : ""));
        InstallerMachine machine;
        machine.fillIn();
        ASSERT_TRUE(machine.form.Command1_Click());
        auto services = machine.platform->services();
        auto site = services.directory->bind("IIS://WEBHOST/W3SVC/2");
        if (c.comment) site->put("ServerComment", c.comment);
        if (c.bindings) {
            automation::Variant::Array bindings;
            for (const auto& binding : automation::split(c.bindings, ",")) {
                bindings.emplace_back(binding);
            }
            site->put("ServerBindings", bindings);
        }
        site->call("SetInfo");
        auto root = services.directory->bind("IIS://WEBHOST/W3SVC/2/ROOT");
        if (c.root) root->put("Path", c.root);
        root->call("SetInfo");

        machine.form.Command3_Click();
        EXPECT_EQ(machine.messages(), expected[c.outcome]);
        EXPECT_EQ(siteExists(*machine.platform, 2), c.outcome != Removed);
        EXPECT_EQ(machine.exists("D:\\Panel"), c.outcome == NothingRemoved);
        EXPECT_EQ(machine.exists("C:\\Setup\\Log.ini"), c.outcome == NothingRemoved);
    }
}

// A metabase that cannot be read removes nothing. A removal that fails says
// so, and the log stays for the next press, which removes what is left.
TEST_F(Uninstall, AFailedRemovalSaysSoAndTheNextPressFinishes) {
    constexpr int32_t kAccessDenied = static_cast<int32_t>(0x80070005u);
    fillIn();
    ASSERT_TRUE(form.Command1_Click());
    inject("GetObject", "IIS://WEBHOST/W3SVC/2/ROOT", kAccessDenied);
    EXPECT_FALSE(form.Command3_Click());
    EXPECT_EQ(messages(), Strings{std::string(msg::kSitesUnreadable)});
    EXPECT_TRUE(siteExists(*platform, 2));

    view.events.clear();
    inject("Delete", "WinNT://*", kAccessDenied);
    EXPECT_FALSE(form.Command3_Click());
    EXPECT_EQ(messages(), (Strings{"NT 帐号删除失败!", "主控端已删除...", "网站目录已删除...",
                                   std::string(msg::kUninstallIncomplete)}));
    EXPECT_TRUE(accountExists("ADMIN_PANEL.TEST"));
    EXPECT_FALSE(siteExists(*platform, 2));
    EXPECT_FALSE(exists("D:\\Panel"));

    view.events.clear();
    EXPECT_TRUE(form.Command3_Click());
    EXPECT_EQ(messages(), kAllMessages);
    EXPECT_FALSE(accountExists("ADMIN_PANEL.TEST"));
    EXPECT_FALSE(exists("C:\\Setup\\Log.ini"));
}

}  // namespace
}  // namespace tarnwick::testing
