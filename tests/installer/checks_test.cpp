// The installer window: Form_Load, the help labels, the folder picker, and
// the checks of the install button in their order.
#include "installer_fixture.h"

namespace tarnwick::testing {
namespace {

using Checks = InstallerFixture;

TEST_F(Checks, FormLoadFillsTheDefaults) {
    form.Form_Load();
    EXPECT_EQ(view.caption(), msg::kWindowCaption);
    EXPECT_EQ(form.fields.Text1, "WEBHOST");
    EXPECT_EQ(form.fields.Text5, "请选择正确目录");
    EXPECT_EQ(form.fields.Text6, "data.mdb");
    EXPECT_EQ(form.fields.Text7, "tarnwick");
    EXPECT_EQ(form.fields.Text2 + form.fields.Text3 + form.fields.Text4, "");
}

TEST_F(Checks, AnUnreadableComputerNameLeavesText1EmptyAndTheInstallIsRefused) {
    inject("GetComputerNameA", "*", 5);
    fillIn();
    EXPECT_EQ(form.fields.Text1, "");
    EXPECT_FALSE(form.Command1_Click());
    EXPECT_EQ(view.caption(), "请 从 新 填 写 参 数!!");
}

// Each case changes the valid fields and names the message the first
// failing check shows; nothing may have been created.
struct CheckCase {
    const char* name;
    std::function<void(installer::FormFields&)> change;
    std::string_view message;
};

TEST_F(Checks, RunInOrderAndStopBeforeAnythingIsCreated) {
    const CheckCase cases[] = {
        {"empty data source name", [](auto& f) { f.Text7 = ""; }, msg::kFillInAgain},
        {"empty database name and no Serv-U",
         [](auto& f) {
             f.Text6 = "";
             f.Text5 = "请选择正确目录";
         },
         msg::kFillInAgain},
        {"no Serv-U folder chosen, long domain",
         [](auto& f) {
             f.Text5 = "请选择正确目录";
             f.Text2 = "abcdefghij.example";
         },
         msg::kChooseServU},
        {"15 characters", [](auto& f) { f.Text2 = "abcdefghij.test"; }, msg::kDomainTooLong},
        {"no dot, too long wins", [](auto& f) { f.Text2 = "localhostlocalhost"; },
         msg::kDomainTooLong},
        {"no dot", [](auto& f) { f.Text2 = "localhost"; }, msg::kDomainInvalid},
        {"; in the domain", [](auto& f) { f.Text2 = "a;b.test"; }, msg::kNoSemicolons},
        {"; in the folder", [](auto& f) { f.Text3 = "D:\\a;b"; }, msg::kNoSemicolons},
        {"; in the data source", [](auto& f) { f.Text7 = "x;y"; }, msg::kNoSemicolons},
        {"; in a system folder", [](auto& f) { f.Text3 = "C:\\WINDOWS\\a;b"; }, msg::kNoSemicolons},
        {"the installer's folder", [](auto& f) { f.Text3 = "C:\\Setup"; }, msg::kFolderNotAllowed},
        {"a path as database name", [](auto& f) { f.Text6 = "..\\data.mdb"; },
         msg::kDatabaseNameInvalid},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        view.events.clear();
        fillIn();
        c.change(form.fields);
        auto before = form.fields;
        EXPECT_FALSE(form.Command1_Click());
        EXPECT_EQ(view.caption(), c.message);
        EXPECT_TRUE(messages().empty());
        EXPECT_EQ(form.fields.Text2, before.Text2);
        EXPECT_FALSE(exists("D:\\Panel"));
    }
    EXPECT_FALSE(accountExists("ADMIN_PANEL.TEST"));
}

// The site folder is removed with everything in it on uninstallation, and
// the database is copied and deleted by its name in the site's Data folder:
// the button refuses what would reach beyond, before anything is made. The
// folder check comes first, after the ";" check.
TEST_F(Checks, TheSiteFolderAndTheDatabaseNameAreRefusedBeforeAnythingIsMade) {
    const struct {
        const char* folder;
        const char* database;
        std::string_view message;
    } cases[] = {
        {"C:\\WINDOWS", "my.mdb", msg::kFolderNotAllowed},
        {"c:\\windows.\\", "my.mdb", msg::kFolderNotAllowed},
        {"C:\\WINDOWS\\system32\\Panel", "my.mdb", msg::kFolderNotAllowed},
        {"C:\\WINNT", "my.mdb", msg::kFolderNotAllowed},
        {"C:\\Program Files", "my.mdb", msg::kFolderNotAllowed},
        {"D:\\Program Files (x86)\\Panel", "my.mdb", msg::kFolderNotAllowed},
        {"C:\\", "my.mdb", msg::kFolderNotAllowed},
        {"D:", "my.mdb", msg::kFolderNotAllowed},
        {"C:\\Setup", "my.mdb", msg::kFolderNotAllowed},
        {"c:/setup/Panel", "my.mdb", msg::kFolderNotAllowed},
        {"Panel", "my.mdb", msg::kFolderNotAllowed},
        {"\\\\server\\share\\Panel", "my.mdb", msg::kFolderNotAllowed},
        {"D:\\Web\\..\\..\\WINDOWS", "my.mdb", msg::kFolderNotAllowed},
        {"D:\\Panel*", "my.mdb", msg::kFolderNotAllowed},
        {"C:\\WINDOWS", "my?.mdb", msg::kFolderNotAllowed},
        {"D:\\Panel", "my?.mdb", msg::kDatabaseNameInvalid},
        {"D:\\Panel", "sub\\x.mdb", msg::kDatabaseNameInvalid},
        {"D:\\Panel", "sub/x.mdb", msg::kDatabaseNameInvalid},
        {"D:\\Panel", "a:b.mdb", msg::kDatabaseNameInvalid},
        {"D:\\Panel", "..", msg::kDatabaseNameInvalid},
        {"D:\\Panel", "..\\..\\x.mdb", msg::kDatabaseNameInvalid},
        {"D:\\Panel", "my<1>.mdb", msg::kDatabaseNameInvalid},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.folder) + " with " + c.database);
        view.events.clear();
        fillIn();
        form.fields.Text3 = c.folder;
        form.fields.Text6 = c.database;
        EXPECT_FALSE(form.Command1_Click());
        EXPECT_EQ(captions().back(), c.message);
        EXPECT_TRUE(messages().empty());
    }
    EXPECT_FALSE(exists("D:\\Panel"));
    EXPECT_FALSE(exists("C:\\Setup\\Panel"));
    EXPECT_FALSE(exists("C:\\Setup\\Log.ini"));
    EXPECT_TRUE(exists("C:\\WINDOWS\\system32"));
    EXPECT_FALSE(accountExists("ADMIN_PANEL.TEST"));

    // Below a drive root, outside the system's and the installer's folders,
    // with a plain file name: accepted.
    fillIn();
    form.fields.Text3 = "C:\\Setup2\\Panel";
    form.fields.Text6 = "my data.mdb";
    EXPECT_TRUE(form.Command1_Click());
    EXPECT_TRUE(exists("C:\\Setup2\\Panel\\Data\\my data.mdb"));
}

// What the install button shows for the valid fields changed by `change`,
// with a Serv-U folder that fails its check: a value that passes every input
// check reaches that check.
std::string shownFor(InstallerMachine& m,
                     const std::function<void(installer::FormFields&)>& change) {
    m.view.events.clear();
    m.fillIn();
    m.form.fields.Text5 = "D:\\";
    change(m.form.fields);
    EXPECT_FALSE(m.form.Command1_Click());
    return m.messages().empty() ? m.view.caption() : m.messages().front();
}

// The domain is kept in the ANSI code page (936 here); the data source name
// must be one ODBC takes, and break no line or field of ServUDaemon.txt.
TEST_F(Checks, TheDomainAndTheDataSourceNameAreCheckedBeforeAnythingIsMade) {
    auto shown = [&](const std::string& domain, const std::string& dataSource) {
        return shownFor(*this, [&](auto& f) {
            f.Text2 = domain;
            f.Text7 = dataSource;
        });
    };
    EXPECT_EQ(shown("ä.test", "dsn"), msg::kDomainOutsideCodePage);
    EXPECT_EQ(shown("中文.test", "dsn"), msg::kWrongServUFolder);
    std::vector<std::string> refused = {std::string(33, 'd'), " ", "dsnä", "a\x7F"};
    for (char c : std::string_view("[]{}(),?*=!@\\|\n\t")) refused.push_back({'a', c});
    for (const auto& name : refused) {
        EXPECT_EQ(shown("a.test", name), msg::kDataSourceNameInvalid) << name;
    }
    for (const auto& name : {std::string(32, 'd'), std::string("数据源 -_.")}) {
        EXPECT_EQ(shown("a.test", name), msg::kWrongServUFolder) << name;
    }
    // The pool's name becomes a metabase key: refused in a message box.
    for (const std::string& pool :
         std::vector<std::string>{"..", "a/b", "a\\b", "a\nb", std::string(256, 'p')}) {
        EXPECT_EQ(shownFor(*this, [&](auto& f) { f.Text4 = pool; }), msg::kPoolNameInvalid) << pool;
    }
    EXPECT_FALSE(exists("D:\\Panel"));
}

// Nor may the site folder be, hold or lie in another site's root folder: the
// default web site's (C:\Inetpub\wwwroot) or a hosted site's (D:\Web\bob).
TEST_F(Checks, TheSiteFolderKeepsApartFromEverySite) {
    auto site = platform->services()
                    .directory->bind("IIS://WEBHOST/W3SVC")
                    ->call("Create", {"IIsWebServer", 5});
    automation::objectOf(site).call("SetInfo");
    auto root = automation::objectOf(site).call("Create", {"IIsWebVirtualDir", "ROOT"});
    automation::objectOf(root).put("Path", "D:\\Web\\bob");
    automation::objectOf(root).call("SetInfo");
    for (auto folder : {"C:\\Inetpub", "c:\\inetpub\\WWWROOT\\", "C:\\Inetpub\\wwwroot\\x",
                        "D:\\Web", "D:\\Web\\bob", "D:\\Web\\bob\\x"}) {
        EXPECT_EQ(shownFor(*this, [&](auto& f) { f.Text3 = folder; }), msg::kFolderOfAnotherSite)
            << folder;
    }
    for (auto folder : {"D:\\Web\\bobby", "C:\\Inetpub2"}) {
        EXPECT_EQ(shownFor(*this, [&](auto& f) { f.Text3 = folder; }), msg::kWrongServUFolder)
            << folder;
    }
    // A root that cannot be read: no folder is known to keep apart from it.
    inject("GetObject", "IIS://WEBHOST/W3SVC/5/ROOT", static_cast<int32_t>(0x80070005u));
    EXPECT_EQ(shownFor(*this, [](auto& f) { f.Text3 = "D:\\Elsewhere"; }), msg::kSitesUnreadable);
    EXPECT_FALSE(exists("D:\\Elsewhere"));
}

TEST_F(Checks, DomainLimitsAndAnEmptyPoolAreAccepted) {
    for (auto [domain, folder] : {std::pair{"abcdefghi.test", "D:\\P14"}, {"a.", "D:\\PA"}}) {
        SCOPED_TRACE(domain);
        fillIn();
        form.fields.Text2 = domain;
        form.fields.Text3 = folder;
        form.fields.Text4 = "";
        EXPECT_TRUE(form.Command1_Click());
        EXPECT_EQ(view.caption(), msg::kInstalled);
    }
    EXPECT_TRUE(accountExists("ADMIN_ABCDEFGHI.TEST"));
    EXPECT_TRUE(accountExists("ADMIN_A."));
}

TEST_F(Checks, AServUFolderWithoutItsIniIsAMessageBoxAndCreatesNothing) {
    fillIn();
    form.fields.Text5 = "D:\\";
    EXPECT_FALSE(form.Command1_Click());
    EXPECT_EQ(messages(), std::vector<std::string>{"你所选择的 Serv-U 路径不正确!"});
    EXPECT_EQ(captions(), std::vector<std::string>{std::string(msg::kWindowCaption)});
    EXPECT_FALSE(exists("D:\\Panel"));
}

TEST_F(Checks, TheServUIniIsLeftAsItWas) {
    auto ini = std::string(kServU) + "\\ServUDaemon.ini";
    auto before = bytes(ini);
    fillIn();
    EXPECT_TRUE(form.Command1_Click());
    EXPECT_EQ(bytes(ini), before);
}

TEST_F(Checks, HelpLabelsShowTheirMessagesAndLabel6OpensTheWebPage) {
    for (int label = 1; label <= 8; ++label) form.Label_Click(label);
    EXPECT_EQ(messages(),
              (std::vector<std::string>{std::string(msg::kDomainHelp), "如果不存在,系统将创建!",
                                        std::string(msg::kPoolHelp), "请指定 SERV-U 的安装目录!",
                                        std::string(msg::kDatabaseHelp),
                                        "请自定义一个数据源名,以防被猜测到!"}));
    EXPECT_EQ(view.texts(Kind::ShellExecute),
              std::vector<std::string>{"open " + std::string(msg::kMakerAddress)});
}

TEST_F(Checks, TheFolderPickerFillsText5UnlessCancelled) {
    form.Form_Load();
    form.Command2_Click();
    EXPECT_EQ(form.fields.Text5, "请选择正确目录");
    EXPECT_EQ(view.texts(Kind::FolderPicker), std::vector<std::string>{"请选择文件夹"});
    view.folderChoice = std::string("D:\\Serv-U\0junk", 14);
    form.Command2_Click();
    EXPECT_EQ(form.fields.Text5, "D:\\Serv-U");
}

}  // namespace
}  // namespace tarnwick::testing
