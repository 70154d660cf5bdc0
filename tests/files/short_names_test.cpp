// 8.3 aliases as NTFS makes them, and the drives resolving paths through them.
#include "platform/embedded/files/short_names.h"

#include "files_fixture.h"

namespace tarnwick::testing {
namespace {

TEST(ShortNames, AFoldersAliasesFollowTheOrderItsEntriesWereMade) {
    const std::pair<std::vector<std::string>, std::vector<std::string>> cases[] = {
        // Valid 8.3 names need none; collisions count up in the order made,
        // past a name that is itself an alias's spelling.
        {{"WINDOWS", "wwwroot", "Program Files (x86)", "PROGRA~2", "Program Files", "Programs x"},
         {"", "", "PROGRA~1", "", "PROGRA~3", "PROGRA~4"}},
        // Blanks, dots but the last and the characters 8.3 names lack go; "+"
        // and letters beyond ASCII become "_"; the extension keeps three.
        {{"This is a long filename.123.456.txt", "a b.html", ".htaccess", "c++.source",
          "网站 backup.zip", "a,b;c=d[e].txt", "123456789"},
         {"THISIS~1.TXT", "AB~1.HTM", "HTACCE~1", "C__~1.SOU", "__BACK~1.ZIP", "ABCDE~1.TXT",
          "123456~1"}},
    };
    for (const auto& [names, aliases] : cases) EXPECT_EQ(files::shortNamesOf(names), aliases);
    std::vector<std::string> many;
    for (int i = 0; i < 10; ++i) many.push_back("Customer Sites " + std::to_string(i));
    EXPECT_EQ(files::shortNamesOf(many)[9], "CUSTO~10");
}

class ShortPaths : public FilesFixture {
protected:
    void SetUp() override {
        fs->addDrive('D');
        for (const char* folder :
             {"D:\\Customer Sites", "D:\\Customer Sites\\alice", "D:\\Customer Sites 2"}) {
            fs->createFolder(folder);
        }
        fs->writeFile("D:\\CUSTOM~1\\alice\\default.html", "x", files::WriteMode::CreateNew);
    }
};

TEST_F(ShortPaths, PathsResolveThroughAliases) {
    EXPECT_TRUE(fs->fileExists("D:\\Customer Sites\\alice\\default.html"));
    EXPECT_EQ(errorOf("CreateFolder", {"d:/custom~2/"}), 58);
    const std::pair<const char*, const char*> longNames[] = {
        {"d:/custom~1/ALICE/", "D:\\Customer Sites\\alice"},
        {"D:\\CUSTOM~1\\alice\\new\\MORE~1", "D:\\Customer Sites\\alice\\new\\MORE~1"},
        {"D:\\CUSTOM~1\\..\\CUSTOM~2\\.", "D:\\Customer Sites 2"},
        {"D:\\CUSTOM~9", "D:\\CUSTOM~9"},
        {"relative\\PROGRA~1", "relative\\PROGRA~1"},
    };
    for (const auto& [path, named] : longNames) EXPECT_EQ(fs->longPathName(path), named) << path;
    const Variant file = call("GetFile", {"D:\\Customer Sites\\alice\\default.html"});
    EXPECT_EQ(automation::objectOf(file).get("ShortPath"),
              Variant("D:\\CUSTOM~1\\alice\\DEFAUL~1.HTM"));
    EXPECT_EQ(automation::objectOf(file).get("ShortName"), Variant("DEFAUL~1.HTM"));
    EXPECT_EQ(automation::objectOf(call("GetFolder", {"D:\\"})).get("ShortName"), Variant(""));
}

TEST_F(ShortPaths, DeviceNamesNameNoFileOrFolder) {
    for (const char* path :
         {"D:\\CON", "D:\\x\\nul.txt", "D:\\lpt1", "D:\\Com9.a.b", "D:\\AUX \\x"}) {
        EXPECT_EQ(errorOf("CreateFolder", {path}), 52) << path;
        EXPECT_EQ(errorOf("CreateTextFile", {path}), 52) << path;
    }
    for (const char* path : {"D:\\CONSOLE", "D:\\COM0", "D:\\LPT10"}) {
        EXPECT_EQ(errorOf("CreateFolder", {path}), 0) << path;
    }
}

TEST_F(ShortPaths, AFreshMachineHasTheProfilesAndTheSystemsHiddenFolders) {
    EXPECT_TRUE(fs->folderExists("C:\\DOCUME~1"));
    EXPECT_EQ(fs->entry("C:\\System Volume Information").attributes, 0x16u);
    EXPECT_EQ(fs->entry("C:\\RECYCLER").attributes, 0x16u);
}

}  // namespace
}  // namespace tarnwick::testing
