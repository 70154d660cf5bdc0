// 8.3 aliases: which names need one, how NTFS makes it, and the drives
// resolving paths through them.
#include "files_fixture.h"
#include "platform/embedded/files/short_names.h"

namespace tarnwick::testing {
namespace {

TEST(ShortNames, OnlyNamesThatAreNotValid83NamesGetAnAlias) {
    for (const char* name : {"WINDOWS", "system32", "wwwroot", "Index.htm", "A_file.doc", "x",
                             "PROGRA~1", "12345678.123", "$(a)!{b}"}) {
        EXPECT_TRUE(files::isShortName(name)) << name;
    }
    for (const char* name : {"Program Files", "A file.doc", "123456789", "a.html", "a.b.c",
                             "a.", "a+b", "a,b", "a[1]", "a;b", "a=b", "网站"}) {
        EXPECT_FALSE(files::isShortName(name)) << name;
    }
}

TEST(ShortNames, AFoldersAliasesFollowTheOrderItsEntriesWereMade) {
    struct Case {
        std::vector<std::string> names;  // in the order they were made
        std::vector<std::string> aliases;
    };
    const Case cases[] = {
        {{"Program Files", "Documents and Settings", "System Volume Information", "WINDOWS"},
         {"PROGRA~1", "DOCUME~1", "SYSTEM~1", ""}},
        // Collisions count up in the order the entries were made.
        {{"Program Files (x86)", "Program Files", "Programs data", "Program Stuff", "Progra m"},
         {"PROGRA~1", "PROGRA~2", "PROGRA~3", "PROGRA~4", "PROGRA~5"}},
        // A name that is itself an alias's spelling is taken.
        {{"MYDOCU~1", "My Documents"}, {"", "MYDOCU~2"}},
        // Blanks, dots but the last, and the characters 8.3 names lack go;
        // "+" and letters beyond ASCII become "_"; the extension keeps three.
        {{"This is a really long filename.123.456.789.txt", "a b.html", ".htaccess", "c++.source",
          "网站 backup.zip", "a,b;c=d[e].txt"},
         {"THISIS~1.TXT", "AB~1.HTM", "HTACCE~1", "C__~1.SOU", "__BACK~1.ZIP", "ABCDE~1.TXT"}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(files::shortNamesOf(c.names), c.aliases) << c.names.front();
    }
    std::vector<std::string> many(12, "");
    for (size_t i = 0; i < many.size(); ++i) many[i] = "Customer Sites " + std::to_string(i);
    const auto aliases = files::shortNamesOf(many);
    EXPECT_EQ(aliases[8], "CUSTOM~9");
    EXPECT_EQ(aliases[9], "CUSTO~10");
}

class ShortPaths : public FilesFixture {
protected:
    void SetUp() override {
        fs->addDrive('D');
        for (const char* folder : {"D:\\Customer Sites", "D:\\Customer Sites\\alice",
                                   "D:\\Customer Sites 2", "D:\\Customer Sites 2\\Long Name Folder"}) {
            fs->createFolder(folder);
        }
        fs->writeFile("D:\\Customer Sites\\alice\\default.html", "x", files::WriteMode::CreateNew);
    }
};

TEST_F(ShortPaths, EveryCallFindsAnEntryByItsAlias) {
    EXPECT_TRUE(fs->folderExists("D:\\CUSTOM~1\\alice"));
    EXPECT_TRUE(fs->folderExists("d:/custom~2/LONGNA~1/"));
    EXPECT_FALSE(fs->folderExists("D:\\CUSTOM~3"));
    EXPECT_EQ(fs->entry("D:\\CUSTOM~1\\alice\\DEFAUL~1.HTM").pathText(),
              "D:\\Customer Sites\\alice\\default.html");
    // What is made through an alias lands in the folder it names.
    fs->createFolder("D:\\CUSTOM~1\\bob");
    EXPECT_TRUE(fs->folderExists("D:\\Customer Sites\\bob"));
    EXPECT_EQ(errorOf("CreateFolder", {"D:\\CUSTOM~1"}), 58);
    fs->deleteFolder("D:\\CUSTOM~2\\LONGNA~1", false);
    EXPECT_FALSE(fs->folderExists("D:\\Customer Sites 2\\Long Name Folder"));
}

TEST_F(ShortPaths, LongPathNamesReplaceTheAliasesOfWhatExists) {
    const std::pair<const char*, const char*> cases[] = {
        {"D:\\CUSTOM~1\\alice", "D:\\Customer Sites\\alice"},
        {"d:/custom~1/ALICE/", "D:\\Customer Sites\\alice"},
        {"D:\\CUSTOM~2\\LONGNA~1\\new\\MORE~1", "D:\\Customer Sites 2\\Long Name Folder\\new\\MORE~1"},
        {"D:\\CUSTOM~1\\..\\CUSTOM~2\\.", "D:\\Customer Sites 2"},
        {"D:\\Web\\bob.", "D:\\Web\\bob"},
        {"D:\\CUSTOM~9", "D:\\CUSTOM~9"},
        {"relative\\PROGRA~1", "relative\\PROGRA~1"},
    };
    for (const auto& [path, named] : cases) EXPECT_EQ(fs->longPathName(path), named) << path;
}

TEST_F(ShortPaths, FileAndFolderObjectsAnswerTheirShortNames) {
    const struct {
        const char* member;
        const char* path;
        const char* shortPath;
        const char* shortName;
    } cases[] = {
        {"GetFolder", "D:\\Customer Sites\\alice", "D:\\CUSTOM~1\\alice", "alice"},
        {"GetFile", "D:\\CUSTOM~1\\alice\\default.html", "D:\\CUSTOM~1\\alice\\DEFAUL~1.HTM",
         "DEFAUL~1.HTM"},
        {"GetFolder", "D:\\", "D:\\", ""},
    };
    for (const auto& c : cases) {
        const Variant entry = call(c.member, {c.path});
        EXPECT_EQ(automation::objectOf(entry).get("ShortPath"), Variant(c.shortPath)) << c.path;
        EXPECT_EQ(automation::objectOf(entry).get("ShortName"), Variant(c.shortName)) << c.path;
    }
}

TEST_F(ShortPaths, DeviceNamesNameNoFileOrFolder) {
    for (const char* path : {"D:\\CON", "D:\\Customer Sites\\nul.txt", "D:\\lpt1", "D:\\Com9.x.y",
                             "D:\\AUX \\x", "D:\\PRN."}) {
        SCOPED_TRACE(path);
        EXPECT_EQ(errorOf("CreateFolder", {path}), 52);
        EXPECT_EQ(errorOf("CreateTextFile", {path}), 52);
        EXPECT_EQ(call("FolderExists", {path}), Variant(false));
    }
    for (const char* path : {"D:\\CONSOLE", "D:\\COM0", "D:\\LPT10", "D:\\nul_txt"}) {
        EXPECT_EQ(errorOf("CreateFolder", {path}), 0) << path;
    }
}

TEST_F(ShortPaths, AFreshMachineHasTheProfilesAndTheSystemsHiddenFolders) {
    EXPECT_TRUE(fs->folderExists("C:\\DOCUME~1"));
    EXPECT_EQ(fs->entry("C:\\Documents and Settings").attributes, 0x10u);
    for (const char* hidden : {"C:\\System Volume Information", "C:\\RECYCLER"}) {
        EXPECT_EQ(fs->entry(hidden).attributes, 0x16u) << hidden;
    }
}

}  // namespace
}  // namespace tarnwick::testing
