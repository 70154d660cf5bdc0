#include "files_fixture.h"

namespace tarnwick::testing {
namespace {

class FileSystemObject : public FilesFixture {
protected:
    void SetUp() override {
        fs->addDrive('D');
        call("CreateFolder", {"D:\\Template"});
        call("CreateFolder", {"D:\\Template\\Other"});
        call("CreateFolder", {"D:\\Template\\Other\\img"});
        write("D:\\Template\\Index.htm", "index");
        write("D:\\Template\\Other\\a.css", "new a");
        write("D:\\Template\\Other\\img\\logo.gif", "new logo");
    }
    void write(const std::string& path, const std::string& text) {
        fs->writeFile(path, text, files::WriteMode::Replace);
    }
    // The object a value holds, kept alive until the test ends.
    automation::Dispatch& object(Variant value) {
        kept_.push_back(std::move(value));
        return automation::objectOf(kept_.back());
    }

private:
    std::vector<Variant> kept_;
};

TEST_F(FileSystemObject, MembersIgnoreCaseAndUnknownOnesRaise438) {
    EXPECT_EQ(call("folderexists", {"d:/template/"}), Variant(true));
    EXPECT_EQ(call("FOLDEREXISTS", {"D:\\Template\\Index.htm"}), Variant(false));
    EXPECT_EQ(call("FileExists", {"D:\\TEMPLATE\\index.HTM"}), Variant(true));
    EXPECT_EQ(call("FolderExists", {"E:\\"}), Variant(false));
    EXPECT_EQ(call("FolderExists", {"relative"}), Variant(false));
    EXPECT_EQ(errorOf("NoSuchMember"), 438);
    EXPECT_EQ(errorOf("FolderExists"), 450);
    EXPECT_EQ(errorOf("FolderExists", {Variant::null()}), 94);
}

TEST_F(FileSystemObject, CreateFolderRaisesTheScriptNumbers) {
    auto folder = call("CreateFolder", {"D:/Web"});
    EXPECT_EQ(object(folder).get("Path"), Variant("D:\\Web"));
    EXPECT_EQ(errorOf("CreateFolder", {"d:\\WEB"}), 58);
    EXPECT_EQ(errorOf("CreateFolder", {"D:\\Template\\Index.htm"}), 58);
    EXPECT_EQ(errorOf("CreateFolder", {"D:\\missing\\site"}), 76);
    EXPECT_EQ(errorOf("CreateFolder", {"E:\\Web"}), 76);
    EXPECT_EQ(errorOf("CreateFolder", {"D:\\a<b"}), 52);
}

TEST_F(FileSystemObject, CopyFileFollowsTheDestinationRules) {
    call("CreateFolder", {"D:\\site"});
    call("CopyFile", {"D:\\Template\\Index.htm", "D:\\site\\"});  // into the folder
    EXPECT_EQ(fs->readFile("D:\\site\\Index.htm"), "index");
    call("CopyFile", {"D:\\Template\\Index.htm", "D:\\site\\404.htm"});
    write("D:\\Template\\Index.htm", "changed");
    EXPECT_EQ(errorOf("CopyFile", {"D:\\Template\\Index.htm", "D:\\site\\404.htm", false}), 58);
    call("CopyFile", {"D:\\Template\\Index.htm", "D:\\site\\404.htm"});  // overwrite by default
    EXPECT_EQ(fs->readFile("D:\\site\\404.htm"), "changed");
    EXPECT_EQ(errorOf("CopyFile", {"D:\\Template\\nothing.htm", "D:\\site\\x"}), 53);
    EXPECT_EQ(errorOf("CopyFile", {"D:\\Template\\Index.htm", "D:\\nowhere\\x"}), 76);
    EXPECT_EQ(errorOf("CopyFile", {"D:\\Template\\Index.htm", "D:\\site"}), 70);  // a folder
    fs->setAttributes("D:\\site\\404.htm", 1);
    EXPECT_EQ(errorOf("CopyFile", {"D:\\Template\\Index.htm", "D:\\site\\404.htm", true}), 70);
}

TEST_F(FileSystemObject, CopyFolderCreatesOrMergesAndOverwritesOnlyWhenAsked) {
    call("CreateFolder", {"D:\\site"});
    call("CreateFolder", {"D:\\site\\img"});
    write("D:\\site\\img\\logo.gif", "old logo");
    write("D:\\site\\keep.htm", "mine");
    // Onto an existing folder: the contents merge into it.
    call("CopyFolder", {"D:\\Template\\Other", "D:\\site"});
    EXPECT_EQ(fs->readFile("D:\\site\\a.css"), "new a");
    EXPECT_EQ(fs->readFile("D:\\site\\img\\logo.gif"), "new logo");
    EXPECT_EQ(fs->readFile("D:\\site\\keep.htm"), "mine");
    EXPECT_FALSE(fs->folderExists("D:\\site\\Other"));
    // A trailing separator copies the folder into it under its own name.
    call("CopyFolder", {"D:\\Template\\Other", "D:\\site\\"});
    EXPECT_EQ(fs->readFile("D:\\site\\Other\\img\\logo.gif"), "new logo");
    // Without overwrite the first existing file stops the copy with 58.
    write("D:\\site\\img\\logo.gif", "edited");
    EXPECT_EQ(errorOf("CopyFolder", {"D:\\Template\\Other", "D:\\site", false}), 58);
    EXPECT_EQ(fs->readFile("D:\\site\\img\\logo.gif"), "edited");
    EXPECT_EQ(errorOf("CopyFolder", {"D:\\Template\\None", "D:\\site"}), 76);
    EXPECT_EQ(errorOf("CopyFolder", {"D:\\Template", "D:\\Template\\Other\\copy"}), 70);
}

// The wildcards * and ? in the last name of the source of DeleteFile,
// DeleteFolder, CopyFile and CopyFolder stand for every matching file (or
// folder) of that folder; a pattern that matches nothing fails as a missing
// file (53) or path (76).
TEST_F(FileSystemObject, WildcardsInTheLastNameActOnEveryMatch) {
    call("CreateFolder", {"D:\\site"});
    write("D:\\Template\\Error.htm", "error");
    write("D:\\Template\\notes.txt", "notes");
    call("CopyFile", {"D:\\Template\\*.HTM", "D:\\site"});
    EXPECT_EQ(fs->readFile("D:\\site\\Index.htm"), "index");
    EXPECT_EQ(fs->readFile("D:\\site\\Error.htm"), "error");
    EXPECT_EQ(call("FileExists", {"D:\\site\\notes.txt"}), Variant(false));

    call("CopyFolder", {"D:\\Template\\Oth?r", "D:\\site\\"});
    EXPECT_EQ(fs->readFile("D:\\site\\Other\\img\\logo.gif"), "new logo");

    call("DeleteFile", {"D:\\site\\?rror.*"});
    EXPECT_EQ(call("FileExists", {"D:\\site\\Error.htm"}), Variant(false));
    EXPECT_EQ(call("FileExists", {"D:\\site\\Index.htm"}), Variant(true));
    call("DeleteFolder", {"D:\\site\\*"});
    EXPECT_EQ(call("FolderExists", {"D:\\site\\Other"}), Variant(false));
    EXPECT_EQ(call("FileExists", {"D:\\site\\Index.htm"}), Variant(true));

    struct Missing {
        const char* member;
        std::vector<Variant> args;
        int32_t number;
    };
    for (const auto& [member, args, number] :
         {Missing{"DeleteFile", {"D:\\site\\*.asp"}, 53},
          Missing{"DeleteFolder", {"D:\\site\\x*"}, 76},
          Missing{"CopyFile", {"D:\\Template\\*.asp", "D:\\site"}, 53},
          Missing{"CopyFolder", {"D:\\Template\\x*", "D:\\site"}, 76},
          Missing{"DeleteFile", {"D:\\nowhere\\*.htm"}, 76}}) {
        std::span<const Variant> list(args);
        Variant a0 = list[0];
        int32_t got = list.size() == 1 ? errorOf(member, {a0}) : errorOf(member, {a0, list[1]});
        EXPECT_EQ(got, number) << member << " " << automation::toText(a0);
    }
}

TEST_F(FileSystemObject, DeleteFolderNeedsForceForReadOnlyContent) {
    call("CopyFolder", {"D:\\Template", "D:\\site"});
    fs->setAttributes("D:\\site\\Other\\img\\logo.gif", 1);
    EXPECT_EQ(errorOf("DeleteFolder", {"D:\\site"}), 70);
    EXPECT_TRUE(fs->fileExists("D:\\site\\Other\\img\\logo.gif"));
    EXPECT_EQ(call("FolderExists", {"D:\\site"}), Variant(true));
    call("DeleteFolder", {"D:\\site", true});
    EXPECT_EQ(call("FolderExists", {"D:\\site"}), Variant(false));
    EXPECT_EQ(errorOf("DeleteFolder", {"D:\\site", true}), 76);
}

TEST_F(FileSystemObject, DeleteFolderWithATrailingSeparatorFindsNothingButFolderDeleteWorks) {
    call("CopyFolder", {"D:\\Template", "D:\\site"});
    fs->setAttributes("D:\\site\\Index.htm", 1);
    EXPECT_EQ(errorOf("DeleteFolder", {"D:\\site\\", true}), 76);
    ASSERT_EQ(call("folderexists", {"D:\\site\\"}), Variant(true));
    auto folder = call("getfolder", {"D:\\site\\"});
    EXPECT_EQ(errorOf(object(folder), "DELETE", {false}), 70);
    object(folder).call("DELETE", {true});
    EXPECT_EQ(call("FolderExists", {"D:\\site"}), Variant(false));
}

TEST_F(FileSystemObject, DeleteFileAndMoveFile) {
    call("CopyFile", {"D:\\Template\\Index.htm", "D:\\a.htm"});
    call("MoveFile", {"D:\\a.htm", "D:\\Template\\Other\\"});
    EXPECT_TRUE(fs->fileExists("D:\\Template\\Other\\a.htm"));
    EXPECT_EQ(errorOf("MoveFile", {"D:\\Template\\Other\\a.htm", "D:\\Template\\Index.htm"}), 58);
    EXPECT_EQ(errorOf("MoveFile", {"D:\\gone.htm", "D:\\x.htm"}), 53);
    fs->setAttributes("D:\\Template\\Other\\a.htm", 1);
    EXPECT_EQ(errorOf("DeleteFile", {"D:\\Template\\Other\\a.htm"}), 70);
    call("DeleteFile", {"D:\\Template\\Other\\a.htm", true});
    EXPECT_EQ(errorOf("DeleteFile", {"D:\\Template\\Other\\a.htm"}), 53);
    EXPECT_EQ(errorOf("DeleteFile", {"D:\\Template\\Other"}), 53);  // a folder is no file
    EXPECT_EQ(errorOf("DeleteFile", {"D:\\none\\a.htm"}), 76);
}

TEST_F(FileSystemObject, FolderAndFileObjects) {
    auto folder = call("GetFolder", {"d:\\template"});
    auto& template_ = object(folder);
    EXPECT_EQ(template_.get("Name"), Variant("Template"));
    EXPECT_EQ(template_.get("Path"), Variant("D:\\Template"));
    EXPECT_EQ(object(template_.get("Files")).get("Count"), Variant(1));
    auto subFolders = object(template_.get("SubFolders")).call("_NewEnum");
    ASSERT_EQ(subFolders.array().size(), 1u);
    EXPECT_EQ(object(subFolders.array()[0]).get("Path"), Variant("D:\\Template\\Other"));
    EXPECT_EQ(template_.get("Attributes"), Variant(16));
    EXPECT_EQ(template_.get("Size"), Variant(18));

    auto& file = object(call("GetFile", {"D:\\Template\\Other\\A.CSS"}));
    EXPECT_EQ(file.get("Name"), Variant("a.css"));
    EXPECT_EQ(file.get("Attributes"), Variant(32));
    file.put("Attributes", 33);
    EXPECT_EQ(errorOf("DeleteFile", {"D:\\Template\\Other\\a.css"}), 70);
    file.put("Name", "b.css");
    EXPECT_EQ(file.get("Path"), Variant("D:\\Template\\Other\\b.css"));
    EXPECT_EQ(errorOf(file, "Delete"), 70);
    file.call("Delete", {true});
    EXPECT_EQ(errorOf(file, "Size"), 53);
    EXPECT_EQ(errorOf("GetFile", {"D:\\Template"}), 53);
    EXPECT_EQ(errorOf("GetFolder", {"D:\\Template\\Index.htm"}), 76);
    EXPECT_EQ(errorOf(template_, "Path", {}), 0);
    EXPECT_EQ(errorOf(template_, "Nope"), 438);
}

TEST_F(FileSystemObject, PathTextFunctions) {
    const std::pair<const char*, const char*> parents[] = {
        {"D:\\Web\\site", "D:\\Web"},
        {"D:\\Web\\site\\", "D:\\Web"},
        {"D:\\Web", "D:\\"},
        {"D:\\", ""},
        {"setup.exe", ""},
        {"a/b", "a"},
    };
    for (const auto& [path, parent] : parents) {
        EXPECT_EQ(call("GetParentFolderName", {path}), Variant(parent)) << path;
    }
    EXPECT_EQ(call("BuildPath", {"D:\\Web", "a.htm"}), Variant("D:\\Web\\a.htm"));
    EXPECT_EQ(call("BuildPath", {"D:\\Web\\", "a.htm"}), Variant("D:\\Web\\a.htm"));
    EXPECT_EQ(call("BuildPath", {"D:", "a.htm"}), Variant("D:a.htm"));
    EXPECT_EQ(call("GetFileName", {"D:\\Web\\data.MDB"}), Variant("data.MDB"));
    EXPECT_EQ(call("GetBaseName", {"D:\\Web\\data.MDB"}), Variant("data"));
    EXPECT_EQ(call("GetExtensionName", {"D:\\Web\\data.MDB"}), Variant("MDB"));
    EXPECT_EQ(call("GetSpecialFolder", {0}).type(), automation::VarType::Object);
    EXPECT_EQ(object(call("GetSpecialFolder", {0})).get("Path"), Variant("C:\\WINDOWS"));
}

TEST_F(FileSystemObject, RelativePathsNeedACurrentFolder) {
    write("D:\\Template\\setup.exe", "MZ");
    EXPECT_EQ(errorOf("GetFile", {"setup.exe"}), 76);
    auto installer = files::makeFileSystemObject(fs, ansi, faults, {"D:\\Template"});
    auto& file = object(installer->call("GetFile", {"setup.exe"}));
    EXPECT_EQ(file.get("Path"), Variant("D:\\Template\\setup.exe"));
    EXPECT_EQ(installer->call("FileExists", {"Other\\a.css"}), Variant(true));
    EXPECT_EQ(installer->call("FileExists", {"\\Template\\Index.htm"}), Variant(true));
    EXPECT_EQ(installer->call("FolderExists", {"C:WINDOWS"}), Variant(true));  // root of C:
    EXPECT_EQ(installer->call("GetAbsolutePathName", {"..\\Web\\.\\a.htm"}),
              Variant("D:\\Web\\a.htm"));
}

// ---- Text files ----------------------------------------------------------------

TEST_F(FileSystemObject, TextFilesAreWrittenInCodePage936WithCrLf) {
    auto& stream = object(call("OpenTextFile", {"D:\\Db.asp", 2, true, 0}));
    stream.call("WriteLine", {"<% MDB=\"D:\\面板\\Data\\数据.mdb\"%>"});
    stream.call("Write", {"€ 末行"});
    stream.call("Close");
    // "面板" and "数据" in GBK, the euro sign as 0x80, each line ended by CR LF.
    EXPECT_EQ(
        fs->readFile("D:\\Db.asp"),
        "<% MDB=\"D:\\\xC3\xE6\xB0\xE5\\Data\\\xCA\xFD\xBE\xDD.mdb\"%>\r\n\x80 \xC4\xA9\xD0\xD0");

    auto& reader = object(call("OpenTextFile", {"D:\\DB.ASP"}));
    EXPECT_EQ(reader.call("ReadLine"), Variant("<% MDB=\"D:\\面板\\Data\\数据.mdb\"%>"));
    EXPECT_EQ(reader.get("Line"), Variant(2));
    EXPECT_EQ(reader.get("AtEndOfStream"), Variant(false));
    EXPECT_EQ(reader.call("ReadAll"), Variant("€ 末行"));
    EXPECT_EQ(reader.get("AtEndOfStream"), Variant(true));
    EXPECT_EQ(errorOf(reader, "ReadLine"), 62);
    EXPECT_EQ(errorOf(reader, "Write", {"x"}), 54);
}

TEST_F(FileSystemObject, CharactersTheCodePageLacksBecomeQuestionMarks) {
    auto& stream = object(call("CreateTextFile", {"D:\\log.ini"}));
    stream.call("WriteLine", {"ADMIN_X;é😀;D:\\web"});
    EXPECT_EQ(fs->readFile("D:\\log.ini"), "ADMIN_X;\xA8\xA6?;D:\\web\r\n");
}

TEST_F(FileSystemObject, OpenAndCreateModes) {
    EXPECT_EQ(errorOf("OpenTextFile", {"D:\\none.txt"}), 53);
    EXPECT_EQ(errorOf("OpenTextFile", {"D:\\no\\none.txt", 2, true}), 76);
    EXPECT_EQ(errorOf("OpenTextFile", {"D:\\x.txt", 3}), 5);
    EXPECT_EQ(errorOf("CreateTextFile", {"D:\\Template\\Index.htm"}), 58);  // no overwrite
    object(call("CreateTextFile", {"D:\\Template\\Index.htm", true})).call("Write", {"a"});
    object(call("OpenTextFile", {"D:\\Template\\Index.htm", 8})).call("WriteLine", {"b"});
    EXPECT_EQ(fs->readFile("D:\\Template\\Index.htm"), "ab\r\n");
    object(call("OpenTextFile", {"D:\\Template\\Index.htm", 2})).call("WriteBlankLines", {2});
    EXPECT_EQ(fs->readFile("D:\\Template\\Index.htm"), "\r\n\r\n");
    fs->setAttributes("D:\\Template\\Index.htm", 1);
    EXPECT_EQ(errorOf("OpenTextFile", {"D:\\Template\\Index.htm", 8}), 70);
    EXPECT_EQ(errorOf(object(call("OpenTextFile", {"D:\\Template\\Index.htm"})), "ReadAll"), 0);
    auto& empty = object(call("CreateTextFile", {"D:\\empty.txt"}));
    empty.call("Close");
    EXPECT_EQ(errorOf(object(call("OpenTextFile", {"D:\\empty.txt"})), "ReadAll"), 62);
}

TEST_F(FileSystemObject, UnicodeTextFilesHaveAByteOrderMark) {
    object(call("CreateTextFile", {"D:\\u.txt", true, true})).call("WriteLine", {"中a"});
    EXPECT_EQ(fs->readFile("D:\\u.txt"), std::string("\xFF\xFE\x2D\x4E"
                                                     "a\0\r\0\n\0",
                                                     10));
    auto& reader = object(call("OpenTextFile", {"D:\\u.txt", 1, false, -1}));
    EXPECT_EQ(reader.call("ReadLine"), Variant("中a"));
}

TEST_F(FileSystemObject, ReadLineAcceptsEveryLineEnd) {
    write("D:\\lines.txt", "one\r\ntwo\nthree\rfour");
    auto& reader = object(call("OpenTextFile", {"D:\\lines.txt"}));
    for (const char* expected : {"one", "two", "three", "four"}) {
        EXPECT_EQ(reader.call("ReadLine"), Variant(expected));
    }
    EXPECT_EQ(reader.get("AtEndOfStream"), Variant(true));
}

// ---- Faults --------------------------------------------------------------------

TEST_F(FileSystemObject, InjectedFaultsFailTheNamedCallOnly) {
    faults->add({"CreateFolder", "D:\\Web*", 70, true});
    faults->add({"Delete", "*\\Other", static_cast<int32_t>(0x80070020u), false});
    EXPECT_EQ(errorOf("CreateFolder", {"D:\\Other"}), 0);
    EXPECT_EQ(errorOf("createfolder", {"d:\\web"}), 70);
    EXPECT_FALSE(fs->folderExists("D:\\Web"));
    EXPECT_EQ(errorOf("CreateFolder", {"D:\\Web"}), 0);  // the fault fired once
    auto& folder = object(call("GetFolder", {"D:\\Template\\Other"}));
    EXPECT_EQ(errorOf(folder, "Delete", {true}), static_cast<int32_t>(0x80070020u));
    EXPECT_TRUE(fs->folderExists("D:\\Template\\Other"));
    EXPECT_EQ(errorOf(folder, "Name"), 0);
}

}  // namespace
}  // namespace tarnwick::testing
