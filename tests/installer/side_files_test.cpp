// The panel's files, Db.asp, the component's registration, the data source,
// ServUDaemon.txt and Log.ini: exact bytes in the ANSI code page with CR LF.
#include "installer/side_files.h"

#include "installer_fixture.h"

namespace tarnwick::testing {
namespace {

using Strings = std::vector<std::string>;
using SideFiles = InstallerFixture;

TEST(DataSourceAttributes, EachPairEndsWithANulAndTheListWithAnother) {
    using namespace std::string_literals;
    EXPECT_EQ(installer::dataSourceAttributes("paneldsn", "D:\\panel", "my.mdb"),
              "DSN=paneldsn\0DBQ=D:\\panel\\Data\\my.mdb\0FIL=MS Access;\0"
              "DESCRIPTION=tarnwick v 1.0\0DRIVERID=25\0UID=\0\0"s);
}

TEST_F(SideFiles, AnInstallationPutsThePanelInPlace) {
    fillIn();
    form.fields.Text3 = "D:\\面板";
    form.fields.Text7 = "面板dsn";
    ASSERT_TRUE(form.Command1_Click());

    // Pages, data under its new name, the empty 404 page.
    EXPECT_TRUE(exists("D:\\面板\\Web\\Index.asp"));
    EXPECT_TRUE(exists("D:\\面板\\Web\\Template\\Other\\ReadMe.txt"));
    EXPECT_EQ(bytes("D:\\面板\\Data\\my.mdb"), bytes("C:\\Setup\\Data\\data.mdb"));
    EXPECT_FALSE(exists("D:\\面板\\Data\\data.mdb"));
    EXPECT_EQ(bytes("D:\\面板\\404.htm"), "");

    // Text files in code page 936 with CR LF.
    const std::string folder936 = "D:\\\xC3\xE6\xB0\xE5";
    const std::string dsn936 =
        "\xC3\xE6\xB0\xE5"
        "dsn";
    EXPECT_EQ(bytes("D:\\面板\\Web\\Db.asp"), "<% MDB=\"" + folder936 + "\\Data\\my.mdb\"%>\r\n");
    EXPECT_EQ(bytes("C:\\Setup\\Log.ini"),
              "ADMIN_PANEL.TEST;2;" + folder936 + ";" + dsn936 + "\r\n");
    EXPECT_EQ(
        bytes(std::string(kServU) + "\\ServUDaemon.txt"),
        "[GLOBAL]\r\n[DOMAINS]\r\nDomain1=0.0.0.0||21|" + dsn936 +
            "|1|0|1\r\n[Domain1]\r\n"
            "CacheTTL=60\r\nODBCSource=" +
            dsn936 +
            "||\r\nODBCTables=Tarnuser|||||\r\n"
            "ODBCColumns=UserName|PassWord|SKEY|DiskPath||FtpAccess|Status||LockDir|||"
            "ChangePass|Qouta|IPUser|MaxUp|MaxDown|MaxUser||||||SpaceSizeNow|SpaceSize|DelDate|"
            "FtpPower|PassType|||||Deltype\r\n");

    // The data source, its DBQ naming the same file as Db.asp.
    auto sources = platform->system()->dataSources();
    ASSERT_EQ(sources.size(), 1u);
    EXPECT_EQ(sources[0].name, "面板dsn");
    EXPECT_EQ(sources[0].driver, "Microsoft Access Driver (*.mdb)");
    EXPECT_EQ(sources[0].attributes,
              (Strings{"DSN=面板dsn", "DBQ=D:\\面板\\Data\\my.mdb", "FIL=MS Access;",
                       "DESCRIPTION=tarnwick v 1.0", "DRIVERID=25", "UID="}));

    // The component: copied and registered, not waited for. The command line
    // of the unregistration before it names a program "regsvr32/u", which
    // Windows does not find: it starts nothing and the installation goes on.
    auto started = platform->system()->processes();
    ASSERT_EQ(started.size(), 1u);
    EXPECT_EQ(started[0].commandLine, "regsvr32 C:\\WINDOWS\\system32\\Tarnwick.dll");
    EXPECT_EQ(started[0].windowStyle, 4);
    EXPECT_EQ(bytes("C:\\WINDOWS\\system32\\Tarnwick.Dll"), bytes("C:\\Setup\\Tarnwick.Dll"));
    auto registered = platform->system()->registrations();
    ASSERT_EQ(registered.size(), 1u);
    EXPECT_EQ(registered[0].progId, "Tarnwick.Control");
    EXPECT_EQ(registered[0].server, "C:\\WINDOWS\\system32\\Tarnwick.dll");
}

TEST_F(SideFiles, TheDefaultDatabaseNameInAnyCaseKeepsTheFile) {
    fillIn();
    form.fields.Text6 = "DATA.MDB";
    ASSERT_TRUE(form.Command1_Click());
    EXPECT_TRUE(exists("D:\\Panel\\Data\\data.mdb"));
    EXPECT_EQ(bytes("D:\\Panel\\Web\\Db.asp"), "<% MDB=\"D:\\Panel\\Data\\DATA.MDB\"%>\r\n");
    EXPECT_EQ(platform->system()->dataSources().at(0).attributes.at(1),
              "DBQ=D:\\Panel\\Data\\DATA.MDB");
}

// A name that the file system resolves to data.mdb keeps the database
// where it is: copying it onto itself and deleting data.mdb would lose it.
TEST_F(SideFiles, ANameThatNamesDataMdbItselfKeepsTheDatabase) {
    for (auto name : {"data.mdb.", "Data.Mdb  ", "DATA.MDB. ."}) {
        SCOPED_TRACE(name);
        fillIn();
        form.fields.Text6 = name;
        EXPECT_TRUE(form.Command1_Click());
        EXPECT_EQ(bytes("D:\\Panel\\Data\\data.mdb"), bytes("C:\\Setup\\Data\\data.mdb"));
        ASSERT_TRUE(form.Command3_Click());
    }
}

// data.mdb goes only after its copy under the chosen name is in place. A copy
// that fails stops the installation before the component, the data source,
// Serv-U and the finished log; the log names what was made, and the
// uninstallation removes it.
TEST_F(SideFiles, AFailedDatabaseCopyStopsAndKeepsDataMdb) {
    for (int32_t number : {70, 76, static_cast<int32_t>(0x80070005u)}) {
        SCOPED_TRACE(number);
        view.events.clear();
        inject("CopyFile", "D:\\Panel\\Data\\data.mdb", number);
        fillIn();
        EXPECT_FALSE(form.Command1_Click());
        EXPECT_EQ(view.caption(), msg::kDatabaseNotCopied);
        EXPECT_EQ(bytes("D:\\Panel\\Data\\data.mdb"), bytes("C:\\Setup\\Data\\data.mdb"));
        EXPECT_FALSE(exists("D:\\Panel\\Data\\my.mdb"));
        EXPECT_FALSE(exists("D:\\Panel\\Web\\Db.asp"));
        EXPECT_FALSE(exists(std::string(kServU) + "\\ServUDaemon.txt"));
        EXPECT_TRUE(platform->system()->dataSources().empty());
        EXPECT_TRUE(platform->system()->processes().empty());
        EXPECT_EQ(bytes("C:\\Setup\\Log.ini"), "ADMIN_PANEL.TEST;2;D:\\Panel;\r\n");

        EXPECT_TRUE(form.Command3_Click());
        EXPECT_FALSE(exists("D:\\Panel"));
        EXPECT_FALSE(accountExists("ADMIN_PANEL.TEST"));
        EXPECT_FALSE(exists("C:\\Setup\\Log.ini"));
    }
    fillIn();
    EXPECT_TRUE(form.Command1_Click());
    EXPECT_EQ(bytes("D:\\Panel\\Data\\my.mdb"), bytes("C:\\Setup\\Data\\data.mdb"));
    EXPECT_FALSE(exists("D:\\Panel\\Data\\data.mdb"));
}

TEST_F(SideFiles, ExistingFilesAreReplacedAndFailuresDoNotStopTheInstallation) {
    makeFolder("D:\\Panel");
    makeFolder("D:\\Panel\\Web");
    writeFile("D:\\Panel\\Web\\Db.asp", "old line\r\nsecond\r\n");
    writeFile(std::string(kServU) + "\\ServUDaemon.txt", "old\r\n");
    inject("SQLConfigDataSource", "*", 1);
    inject("CopyFolder", "C:\\Setup\\Data", 76);
    fillIn();
    EXPECT_TRUE(form.Command1_Click());
    EXPECT_EQ(view.caption(), msg::kInstalled);
    EXPECT_EQ(bytes("D:\\Panel\\Web\\Db.asp"), "<% MDB=\"D:\\Panel\\Data\\my.mdb\"%>\r\n");
    EXPECT_EQ(bytes(std::string(kServU) + "\\ServUDaemon.txt").substr(0, 10), "[GLOBAL]\r\n");
    EXPECT_TRUE(platform->system()->dataSources().empty());
    EXPECT_FALSE(exists("D:\\Panel\\Data\\my.mdb"));
}

TEST_F(SideFiles, TheProgramsOwnFolderHoldsTheDistributionAndTheLog) {
    // The installer started from another folder: the copy and the log go by
    // the program's folder, not by a current directory.
    for (auto folder : {"D:\\Tools", "D:\\Tools\\Web", "D:\\Tools\\Data"}) makeFolder(folder);
    writeFile("D:\\Tools\\Web\\Home.asp", "home");
    writeFile("D:\\Tools\\Data\\data.mdb", "db");
    writeFile("D:\\Tools\\Tarnwick.Dll", "MZ Tarnwick.dll test");
    platform->system()->setInstallerFolder("D:\\Tools");
    fillIn();
    ASSERT_TRUE(form.Command1_Click());
    EXPECT_EQ(bytes("D:\\Panel\\Web\\Home.asp"), "home");
    EXPECT_EQ(bytes("D:\\Panel\\Data\\my.mdb"), "db");
    EXPECT_TRUE(exists("D:\\Tools\\Log.ini"));
    EXPECT_FALSE(exists("C:\\Setup\\Log.ini"));
    EXPECT_TRUE(form.Command3_Click());
    EXPECT_FALSE(exists("D:\\Tools\\Log.ini"));
}

}  // namespace
}  // namespace tarnwick::testing
