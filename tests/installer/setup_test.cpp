// Setup: the master control site, its account, folder security, root
// directory and pool, with every status message in order, and each stop.
#include "installer/setup.h"

#include "automation/text.h"
#include "installer_fixture.h"
#include "platform/embedded/metabase/errors.h"

namespace tarnwick::testing {
namespace {

using automation::toText;
using Strings = std::vector<std::string>;

const Strings kFullRun = {std::string(msg::kWindowCaption),
                          "开始创建 NT 帐号...",
                          "NT 帐号创建成功...",
                          "目录安全性设置成功...",
                          "应用程序池安装完毕...",
                          "开始复制文件...",
                          "开始注册组件...",
                          "创建 ODBC 数据源...",
                          "开始配置 Serv-U 信息...",
                          "请稍等.正在创建安装日志...",
                          "恭喜你,主控站安装成功!"};

// The full run's captions up to (not including) `index`, then `stop`.
Strings stoppedAt(size_t index, std::string_view stop) {
    Strings expected(kFullRun.begin(), kFullRun.begin() + index);
    expected.emplace_back(stop);
    return expected;
}

using MasterSiteSetup = InstallerFixture;

TEST_F(MasterSiteSetup, AFullRunShowsEveryStageAndBuildsTheSite) {
    fillIn();
    form.fields.Text2 = "Panel.Test";
    EXPECT_TRUE(form.Command1_Click());
    EXPECT_EQ(captions(), kFullRun);
    EXPECT_TRUE(messages().empty());

    auto site = platform->services().directory->bind("IIS://WEBHOST/W3SVC/2");
    EXPECT_EQ(toText(site->get("ServerComment")), "PANEL.TEST");
    auto bindings = site->get("ServerBindings");
    EXPECT_EQ(toText(bindings.array().at(0)), ":80:Panel.Test");
    EXPECT_EQ(toText(site->get("AnonymousUserName")), "WEBHOST\\ADMIN_PANEL.TEST");
    auto password = toText(site->get("AnonymousUserPass"));
    EXPECT_EQ(password.size(), 39u);
    EXPECT_EQ(password.substr(16, 9), installer::kAdminPasswordPieceA);
    EXPECT_EQ(password.substr(30), installer::kAdminPasswordPieceB);
    EXPECT_EQ(toText(site->get("LogFileDirectory")), "D:\\Panel");
    EXPECT_EQ(automation::toLong(site->get("ServerState")), 2);

    auto root = platform->services().directory->bind("IIS://WEBHOST/W3SVC/2/ROOT");
    EXPECT_EQ(toText(root->get("Path")), "D:\\Panel\\web");
    EXPECT_EQ(toText(root->get("AppPoolId")), "PanelPool");
    EXPECT_EQ(toText(root->get("HttpErrors").array().at(0)), "404,0,FILE,D:\\Panel\\404.htm");
    EXPECT_EQ(toText(root->get("AspScriptErrorMessage")), "程序出错,请联系管理员!");
    platform->services().directory->bind("IIS://WEBHOST/W3SVC/AppPools/PanelPool");

    auto admins = platform->services().directory->bind("WinNT://WEBHOST/Administrators,group");
    EXPECT_TRUE(
        automation::toBoolean(admins->call("IsMember", {"WinNT://WEBHOST/ADMIN_PANEL.TEST"})));
    // Read, write, execute and delete for the account on the folder and below.
    std::string dacl;
    auto state = platform->dump();
    for (const auto& folder : state["files"]["folders"]) {
        if (folder["path"] == "D:\\Panel") dacl = folder["dacl"];
    }
    EXPECT_NE(dacl.find("(A;OIIO;GRGWGXSD;;;S-1-5-21-"), std::string::npos) << dacl;
    EXPECT_NE(dacl.find("(A;CI;GRGWGXSD;;;S-1-5-21-"), std::string::npos) << dacl;
}

TEST_F(MasterSiteSetup, TheAccountAndCommentTakeTheDomainInUpperCaseBeyondAsciiToo) {
    fillIn();
    form.fields.Text2 = "пример.test";
    EXPECT_TRUE(form.Command1_Click()) << captions().back();
    auto site = platform->services().directory->bind("IIS://WEBHOST/W3SVC/2");
    EXPECT_EQ(toText(site->get("ServerComment")), "ПРИМЕР.TEST");
    EXPECT_EQ(toText(site->get("AnonymousUserName")), "WEBHOST\\ADMIN_ПРИМЕР.TEST");
}

// AppCreate stores the root before its SetInfo; on IIS 5 the root then has
// a KeyType only because the installation writes one.
TEST(MasterSiteOnIis5, TheRootIsAVirtualDirectory) {
    InstallerMachine machine(5);
    machine.fillIn();
    machine.form.fields.Text4 = "";  // IIS 5 has no application pools
    ASSERT_TRUE(machine.form.Command1_Click()) << machine.captions().back();
    auto root = machine.platform->services().directory->bind("IIS://WEBHOST/W3SVC/2/ROOT");
    EXPECT_EQ(toText(root->get("KeyType")), "IIsWebVirtualDir");
    EXPECT_EQ(toText(root->get("Class")), "IIsWebVirtualDir");
}

TEST_F(MasterSiteSetup, WithoutAPoolNoPoolIsMadeOrShown) {
    fillIn();
    form.fields.Text4 = "";
    EXPECT_TRUE(form.Command1_Click());
    auto expected = kFullRun;
    expected.erase(expected.begin() + 4);
    EXPECT_EQ(captions(), expected);
    auto root = platform->services().directory->bind("IIS://WEBHOST/W3SVC/2/ROOT");
    EXPECT_THROW(root->get("AppPoolId"), automation::AutomationError);
}

// Each tested step, made to fail, stops the run with its own message. The
// install log names what the run made: nothing before the account, then the
// account with the site folder the install button made, then the site.
struct Stop {
    const char* member;
    const char* path;
    size_t index;  // how many captions of the full run come first
    std::string_view message;
    const char* log;  // nullptr: no log
};

void PrintTo(const Stop& stop, std::ostream* out) { *out << stop.member << " on " << stop.path; }

class SetupStops : public InstallerFixture, public ::testing::WithParamInterface<Stop> {};

TEST_P(SetupStops, AtTheTestedStep) {
    const auto& stop = GetParam();
    inject(stop.member, stop.path, static_cast<int32_t>(0x80070005u));
    fillIn();
    EXPECT_FALSE(form.Command1_Click());
    EXPECT_EQ(captions(), stoppedAt(stop.index, stop.message));
    if (stop.log) {
        EXPECT_EQ(bytes("C:\\Setup\\Log.ini"), stop.log);
    } else {
        EXPECT_FALSE(exists("C:\\Setup\\Log.ini"));
        EXPECT_FALSE(exists("D:\\Panel"));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Steps, SetupStops,
    // The install button reads the sites' folders before anything else binds the web service.
    ::testing::Values(Stop{"GetObject", "IIS://WEBHOST/w3svc", 1, msg::kSitesUnreadable, nullptr},
                      Stop{"SetInfo", "WinNT://*ADMIN_*", 2, msg::kAccountNotCreated,
                           "ADMIN_PANEL.TEST;;D:\\Panel;\r\n"},
                      Stop{"Add", "*Administrators*", 2, msg::kAccountNotInGroup,
                           "ADMIN_PANEL.TEST;;D:\\Panel;\r\n"},
                      Stop{"SetFileSecurityA", "D:\\Panel*", 3, msg::kPermissionsNotSet,
                           "ADMIN_PANEL.TEST;;D:\\Panel;\r\n"},
                      Stop{"SetInfo", "IIS://*/ROOT", 5, msg::kRootNotCreated,
                           "ADMIN_PANEL.TEST;2;D:\\Panel;\r\n"},
                      Stop{"Start", "*", 5, msg::kSiteNotStarted,
                           "ADMIN_PANEL.TEST;2;D:\\Panel;\r\n"},
                      Stop{"CopyFile", "D:\\Panel\\Data\\data.mdb", 6, msg::kDatabaseNotCopied,
                           "ADMIN_PANEL.TEST;2;D:\\Panel;\r\n"}),
    [](const ::testing::TestParamInfo<Stop>& param) {
        // "SetInfo_IIS_ROOT": the failing member and the letters of its path.
        std::string name = std::string(param.param.member) + "_";
        for (const char* c = param.param.path; *c; ++c) {
            if (std::isalnum(static_cast<unsigned char>(*c))) {
                name += *c;
            } else if (name.back() != '_') {
                name += '_';
            }
        }
        while (name.back() == '_') name.pop_back();
        return name;
    });

TEST_F(MasterSiteSetup, ADomainBoundFirstByAnotherSiteStops) {
    auto service = platform->services().directory->bind("IIS://WEBHOST/W3SVC");
    auto created = service->call("Create", {"IIsWebServer", 5});
    auto& site = automation::objectOf(created);
    site.put("ServerBindings", automation::Variant::Array{":80:other.test", ":80:second.test"});
    site.call("SetInfo");

    fillIn();
    form.fields.Text2 = "other.test";
    EXPECT_FALSE(form.Command1_Click());
    EXPECT_EQ(captions(), stoppedAt(1, msg::kDomainTaken));
    EXPECT_FALSE(accountExists("ADMIN_OTHER.TEST"));

    // Held only as a second binding: accepted; number 2 is the lowest free one.
    form.fields.Text2 = "second.test";
    EXPECT_TRUE(form.Command1_Click());
    platform->services().directory->bind("IIS://WEBHOST/W3SVC/2");
}

TEST_F(MasterSiteSetup, TakesTheLowestFreeSiteNumberFromOne) {
    platform->services()
        .directory->bind("IIS://WEBHOST/W3SVC")
        ->call("Delete", {"IIsWebServer", 1});
    fillIn();
    EXPECT_TRUE(form.Command1_Click());
    EXPECT_EQ(bytes("C:\\Setup\\Log.ini"), "ADMIN_PANEL.TEST;1;D:\\Panel;paneldsn\r\n");
}

TEST_F(MasterSiteSetup, TheSiteNumberSearchIsBounded) {
    inject("Create", "IIS://WEBHOST/w3svc", static_cast<int32_t>(0x80070005u), false);
    fillIn();
    EXPECT_FALSE(form.Command1_Click());
    EXPECT_EQ(captions(), stoppedAt(1, msg::kNoSiteNumber));
    EXPECT_FALSE(accountExists("ADMIN_PANEL.TEST"));
}

}  // namespace
}  // namespace tarnwick::testing
