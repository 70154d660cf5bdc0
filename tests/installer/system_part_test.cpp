// The embedded system part: regsvr32 against the registration table, data
// sources, and its state in the platform document.
#include "installer_fixture.h"

namespace tarnwick::testing {
namespace {

using SystemPart = InstallerFixture;

TEST_F(SystemPart, Regsvr32RegistersOnlyTheComponentAndUnregistersIt) {
    auto part = platform->system();
    part->startProcess("regsvr32 C:\\Setup\\setup.exe", 1);
    part->startProcess("regsvr32 /s C:\\Setup\\Tarnwick.Dll", 1);
    ASSERT_EQ(part->registrations().size(), 1u);
    EXPECT_EQ(part->registrations()[0].server, "C:\\Setup\\Tarnwick.Dll");
    // As on Windows, the program's name ends at the first blank only.
    try {
        part->startProcess("regsvr32/u C:\\Setup\\Tarnwick.Dll", 2);
        ADD_FAILURE() << "a program named regsvr32/u was started";
    } catch (const automation::AutomationError& error) {
        EXPECT_EQ(error.number(), automation::errors::kFileNotFound);
    }
    ASSERT_EQ(part->registrations().size(), 1u);
    part->startProcess("REGSVR32.EXE /u \"C:\\Setup\\Tarnwick.Dll\"", 2);
    EXPECT_TRUE(part->registrations().empty());
    auto started = part->processes();
    ASSERT_EQ(started.size(), 3u);
    EXPECT_EQ(started[0].outcome, "entry point not found");
    EXPECT_EQ(started[2].outcome, "unregistered");
    EXPECT_THROW(part->startProcess("notepad C:\\x.txt", 1), automation::AutomationError);
    EXPECT_EQ(part->processes().size(), 3u);
}

TEST_F(SystemPart, TheStateRoundTripsAndABadDocumentChangesNothing) {
    auto part = platform->system();
    EXPECT_TRUE(
        part->configDataSource(4, "Microsoft Access Driver (*.mdb)", {"DSN=one", "DBQ=D:\\a.mdb"}));
    EXPECT_FALSE(part->configDataSource(4, "SQL Server", {"DSN=two"}));
    part->startProcess("regsvr32 C:\\Setup\\Tarnwick.Dll", 4);
    auto document = platform->dump();
    EXPECT_THROW(platform->load({{"system", {{"processes", {{{"window_style", 2}}}}}}}),
                 embedded::LoadError);
    EXPECT_EQ(platform->dump(), document);

    platform->load({{"system", {{"installer_folder", "D:\\Tools"}, {"computer_name", "OTHER"}}}});
    EXPECT_EQ(part->installerFolder(), "D:\\Tools");
    EXPECT_EQ(part->computerName(), "OTHER");
    EXPECT_TRUE(part->dataSources().empty());
    platform->load({{"system", document["system"]}});
    EXPECT_EQ(platform->dump()["system"], document["system"]);
}

}  // namespace
}  // namespace tarnwick::testing
