#include <filesystem>

#include "files_fixture.h"
#include "platform/embedded/files/file_path.h"

namespace tarnwick::testing {
namespace {

using files::FileErrorKind;

class FileSystem : public FilesFixture {
protected:
    FileErrorKind errorKindOf(const std::function<void()>& action) {
        try {
            action();
        } catch (const files::FileError& error) {
            return error.kind();
        }
        ADD_FAILURE() << "no FileError was raised";
        return FileErrorKind::InvalidName;
    }
};

TEST(FilePath, ParsesBothSeparatorsAndNormalises) {
    auto parsed = files::parseFilePath("d:/Web//site\\.\\x\\..\\Index.Html ");
    ASSERT_TRUE(parsed.path);
    EXPECT_EQ(parsed.path->text(), "D:\\Web\\site\\Index.Html");
    EXPECT_EQ(files::parseFilePath("C:").path->text(), "C:\\");
    EXPECT_EQ(files::parseFilePath("C:\\..\\..").path->text(), "C:\\");
}

TEST(FilePath, RefusesRelativeAndInvalidPaths) {
    for (const char* relative : {"", "a.txt", "\\Web", "C:Web", "\\\\server\\share"}) {
        auto parsed = files::parseFilePath(relative);
        EXPECT_FALSE(parsed.path) << relative;
        EXPECT_EQ(parsed.problem, files::PathProblem::Relative) << relative;
    }
    for (const char* invalid : {"1:\\x", "C:\\a*b", "C:\\a?b", "C:\\a|b", "C:\\...", "C:\\a:b"}) {
        EXPECT_EQ(files::parseFilePath(invalid).problem, files::PathProblem::InvalidName)
            << invalid;
    }
}

TEST_F(FileSystem, DriveCHasItsSystemFoldersAndOtherDrivesAreMissing) {
    for (const char* folder : {"C:\\", "C:\\WINDOWS\\system32", "c:/inetpub/WWWROOT"}) {
        EXPECT_TRUE(fs->folderExists(folder)) << folder;
    }
    EXPECT_EQ(fs->drives(), std::vector<char>{'C'});
    EXPECT_FALSE(fs->folderExists("D:\\"));
    EXPECT_EQ(errorKindOf([&] { fs->createFolder("D:\\Web"); }), FileErrorKind::PathNotFound);
    fs->addDrive('d');
    EXPECT_TRUE(fs->folderExists("D:\\"));
    EXPECT_EQ(fs->entry("d:\\").attributes, 0x16u);
}

TEST_F(FileSystem, NamesAreFoundIgnoringCaseAndKeepTheirSpelling) {
    fs->createFolder("C:\\Sites");
    fs->createFolder("c:/SITES/MyShop");
    fs->writeFile("C:\\sites\\myshop\\Index.HTM", "hi", files::WriteMode::CreateNew);
    auto entry = fs->entry("c:/sites/MYSHOP/index.htm");
    EXPECT_EQ(entry.pathText(), "C:\\Sites\\MyShop\\Index.HTM");
    EXPECT_FALSE(entry.folder);
    EXPECT_EQ(entry.attributes, 0x20u);
    EXPECT_EQ(errorKindOf([&] { fs->createFolder("C:\\SITES"); }), FileErrorKind::AlreadyExists);
    EXPECT_EQ(errorKindOf([&] {
                  fs->writeFile("C:\\sites\\MYSHOP\\INDEX.htm", "", files::WriteMode::CreateNew);
              }),
              FileErrorKind::AlreadyExists);
}

TEST_F(FileSystem, CreateFolderMakesOneLevelOnly) {
    EXPECT_EQ(errorKindOf([&] { fs->createFolder("C:\\a\\b"); }), FileErrorKind::PathNotFound);
    EXPECT_FALSE(fs->folderExists("C:\\a"));
    fs->writeFile("C:\\file", "", files::WriteMode::CreateNew);
    EXPECT_EQ(errorKindOf([&] { fs->createFolder("C:\\file\\sub"); }), FileErrorKind::PathNotFound);
    EXPECT_EQ(errorKindOf([&] { fs->createFolder("relative"); }), FileErrorKind::PathNotFound);
    EXPECT_EQ(errorKindOf([&] { fs->createFolder("C:\\bad<name"); }), FileErrorKind::InvalidName);
}

TEST_F(FileSystem, ReadOnlyFilesRefuseChangesUntilForced) {
    fs->writeFile("C:\\ro.txt", "keep", files::WriteMode::CreateNew);
    fs->setAttributes("C:\\ro.txt", 0x1 | 0x10);  // the directory bit cannot be set
    EXPECT_EQ(fs->entry("C:\\ro.txt").attributes, 0x1u);
    EXPECT_EQ(errorKindOf([&] { fs->writeFile("C:\\ro.txt", "x", files::WriteMode::Append); }),
              FileErrorKind::AccessDenied);
    EXPECT_EQ(errorKindOf([&] { fs->deleteFile("C:\\ro.txt", false); }),
              FileErrorKind::AccessDenied);
    EXPECT_EQ(fs->readFile("C:\\ro.txt"), "keep");
    fs->deleteFile("C:\\ro.txt", true);
    EXPECT_FALSE(fs->fileExists("C:\\ro.txt"));
}

TEST_F(FileSystem, MoveKeepsDescriptorAndRefusesItsOwnSubtree) {
    fs->createFolder("C:\\a");
    fs->createFolder("C:\\a\\b");
    setDacl("C:\\a", "D:(A;;FA;;;WD)");
    fs->move("C:\\a", "C:\\moved");
    EXPECT_EQ(daclOf("C:\\moved"), "D:(A;;FA;;;WD)");
    EXPECT_TRUE(fs->folderExists("C:\\moved\\b"));
    EXPECT_EQ(errorKindOf([&] { fs->move("C:\\moved", "C:\\moved\\b\\c"); }),
              FileErrorKind::AccessDenied);
    fs->move("C:\\moved", "C:\\MOVED");  // a change of case only
    EXPECT_EQ(fs->entry("C:\\moved").pathText(), "C:\\MOVED");
    EXPECT_EQ(errorKindOf([&] { fs->move("C:\\MOVED", "C:\\WINDOWS"); }),
              FileErrorKind::AlreadyExists);
}

TEST_F(FileSystem, DriveRootsCannotBeDeletedOrMoved) {
    EXPECT_EQ(errorKindOf([&] { fs->deleteFolder("C:\\", true); }), FileErrorKind::AccessDenied);
    EXPECT_EQ(errorKindOf([&] { fs->move("C:\\", "C:\\x"); }), FileErrorKind::AccessDenied);
    EXPECT_TRUE(fs->folderExists("C:\\WINDOWS"));
}

// ---- Security descriptors on creation ---------------------------------------

TEST_F(FileSystem, DriveRootHasTheDefaultDescriptorInItsBinaryLayout) {
    auto bytes = fs->securityDescriptor("C:\\");
    std::span<const uint8_t> all(bytes);
    // Revision 1, control SE_DACL_PRESENT | SE_SELF_RELATIVE; owner at 0x88, group at 0x98,
    // no SACL, the DACL right after the header.
    EXPECT_EQ(hexOf(all.first(20)), "0100048088000000980000000000000014000000");
    // DACL revision 2, 0x74 bytes, five entries; the first is Administrators, full
    // control, object and container inherit.
    EXPECT_EQ(hexOf(all.subspan(20, 32)),
              "020074000500000000031800FF011F00"
              "01020000000000052000000020020000");
    EXPECT_EQ(hexOf(all.subspan(0x88)),
              "01020000000000052000000020020000"
              "010100000000000512000000");
    EXPECT_EQ(daclOf("C:\\"),
              "D:(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)(A;OICIIO;GA;;;CO)(A;OICI;0x1200a9;;;BU)"
              "(A;;0x1200a9;;;WD)");
}

TEST_F(FileSystem, OnWindows2000ADriveGrantsEveryoneFullControlThatNewFoldersInherit) {
    // IIS 5 runs on Windows 2000.
    auto settings = store->settings();
    settings.iisVersion = 5;
    store->saveSettings(settings);
    fs->addDrive('E');
    fs->createFolder("E:\\Web");
    fs->writeFile("E:\\Web\\a.htm", "", files::WriteMode::CreateNew);
    EXPECT_EQ(daclOf("E:\\"), "D:(A;OICI;FA;;;WD)");
    EXPECT_EQ(daclOf("E:\\Web"), "D:(A;OICIID;FA;;;WD)");
    EXPECT_EQ(daclOf("E:\\Web\\a.htm"), "D:(A;ID;FA;;;WD)");
}

TEST_F(FileSystem, NewFoldersAndFilesInheritAsWindowsPassesEntriesDown) {
    fs->createFolder("C:\\Web");
    fs->writeFile("C:\\Web.txt", "", files::WriteMode::CreateNew);
    // CREATOR OWNER becomes the owner (Administrators) where it takes effect, and passes on
    // as an inherit-only copy; Everyone's root-only entry is not inherited.
    EXPECT_EQ(daclOf("C:\\Web"),
              "D:(A;OICIID;FA;;;BA)(A;OICIID;FA;;;SY)(A;ID;FA;;;BA)(A;OICIIOID;GA;;;CO)"
              "(A;OICIID;0x1200a9;;;BU)");
    EXPECT_EQ(daclOf("C:\\Web.txt"),
              "D:(A;ID;FA;;;BA)(A;ID;FA;;;SY)(A;ID;FA;;;BA)(A;ID;0x1200a9;;;BU)");
}

TEST_F(FileSystem, InheritanceSeparatesFileAndFolderEntries) {
    fs->createFolder("C:\\site");
    // What the folder-permission routine writes: files only (OI|IO) and folders (CI).
    setDacl("C:\\site", "D:(A;OIIO;GRGW;;;S-1-5-21-1-2-3-1001)(A;CI;GRGW;;;S-1-5-21-1-2-3-1001)");
    fs->createFolder("C:\\site\\sub");
    fs->writeFile("C:\\site\\a.htm", "", files::WriteMode::CreateNew);
    fs->writeFile("C:\\site\\sub\\b.htm", "", files::WriteMode::CreateNew);
    const std::string sid = "S-1-5-21-1-2-3-1001";
    EXPECT_EQ(daclOf("C:\\site\\sub"), "D:(A;OIIOID;GRGW;;;" + sid + ")(A;ID;0x12019f;;;" + sid +
                                           ")(A;CIIOID;GRGW;;;" + sid + ")");
    EXPECT_EQ(daclOf("C:\\site\\a.htm"), "D:(A;ID;0x12019f;;;" + sid + ")");
    EXPECT_EQ(daclOf("C:\\site\\sub\\b.htm"), "D:(A;ID;0x12019f;;;" + sid + ")");
}

TEST_F(FileSystem, NoPropagateStopsAfterOneLevel) {
    fs->createFolder("C:\\np");
    setDacl("C:\\np", "D:(A;OICINP;FA;;;BU)(A;OINP;FR;;;WD)");
    fs->createFolder("C:\\np\\child");
    fs->createFolder("C:\\np\\child\\grandchild");
    fs->writeFile("C:\\np\\file", "", files::WriteMode::CreateNew);
    EXPECT_EQ(daclOf("C:\\np\\child"), "D:(A;ID;FA;;;BU)");
    EXPECT_EQ(daclOf("C:\\np\\file"), "D:(A;ID;FA;;;BU)(A;ID;FR;;;WD)");
    // Nothing is inherited any more: the creator's default DACL.
    EXPECT_EQ(daclOf("C:\\np\\child\\grandchild"), "D:(A;;FA;;;BA)(A;;FA;;;SY)");
}

TEST_F(FileSystem, CopiesInheritInTheirNewPlaceAndOverwrittenFilesKeepTheirs) {
    fs->createFolder("C:\\src");
    fs->createFolder("C:\\dst");
    fs->writeFile("C:\\src\\a.txt", "new", files::WriteMode::CreateNew);
    fs->writeFile("C:\\dst\\A.TXT", "old", files::WriteMode::CreateNew);
    setDacl("C:\\src\\a.txt", "D:(A;;FA;;;WD)");
    setDacl("C:\\dst\\A.TXT", "D:(A;;FR;;;BU)");
    setDacl("C:\\dst", "D:(A;OI;FA;;;BG)");
    fs->copyFile("C:\\src\\a.txt", "C:\\dst\\b.txt", false);
    fs->copyFile("C:\\src\\a.txt", "C:\\dst\\a.txt", true);
    EXPECT_EQ(daclOf("C:\\dst\\b.txt"), "D:(A;ID;FA;;;BG)");
    EXPECT_EQ(daclOf("C:\\dst\\a.txt"), "D:(A;;FR;;;BU)");
    EXPECT_EQ(fs->entry("C:\\dst\\a.txt").pathText(), "C:\\dst\\A.TXT");
    EXPECT_EQ(fs->readFile("C:\\dst\\a.txt"), "new");
}

TEST(FileSystemStore, StateSurvivesInTheStoreFolderAndIsSeenByASecondStore) {
    auto folder =
        std::filesystem::temp_directory_path() / ("tarnwick-files-" + std::to_string(::getpid()));
    std::filesystem::remove_all(folder);
    {
        auto store = platform::embedded::Store::open(folder);
        files::FileSystem fs(store);
        fs.createFolder("C:\\Web");
        fs.writeFile("C:\\Web\\a.txt", std::string("bin\0ary", 7), files::WriteMode::CreateNew);
    }
    auto first = platform::embedded::Store::open(folder);
    auto second = platform::embedded::Store::open(folder);
    files::FileSystem one(first);
    files::FileSystem two(second);
    EXPECT_EQ(two.readFile("c:\\web\\A.TXT"), std::string("bin\0ary", 7));
    one.deleteFolder("C:\\Web", false);
    EXPECT_FALSE(two.folderExists("C:\\Web"));     // read afresh at each call
    EXPECT_TRUE(two.folderExists("C:\\WINDOWS"));  // seeded once only
    std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace tarnwick::testing
