#include "platform/embedded/files/files_state.h"

#include "files_fixture.h"

namespace tarnwick::testing {
namespace {

using nlohmann::json;

class FilesState : public FilesFixture {
protected:
    files::FilesState state{fs};

    std::string loadError(const json& document) {
        try {
            platform::embedded::Transaction transaction(store->db());
            state.load(document);
        } catch (const platform::embedded::LoadError& error) {
            return error.what();
        }
        return "(loaded)";
    }
};

TEST_F(FilesState, DumpShowsDaclsAsSddlAndBytesAndContentInItsForm) {
    fs->createFolder("C:\\Inetpub\\wwwroot\\中文");
    fs->writeFile("C:\\a.txt", "plain\r\n", files::WriteMode::CreateNew);
    fs->writeFile("C:\\b.txt", ansi->fromUtf8("面板"), files::WriteMode::CreateNew);
    fs->writeFile("C:\\c.bin", std::string("\0\x01\xFF", 3), files::WriteMode::CreateNew);
    auto document = state.dump();
    EXPECT_EQ(document["drives"], json::array({"C"}));
    const auto& root = document["folders"][0];
    EXPECT_EQ(root["path"], "C:\\");
    EXPECT_EQ(root["attributes"], 22);
    EXPECT_EQ(root["owner"], "BA");
    EXPECT_EQ(root["group"], "SY");
    EXPECT_EQ(root["control"], "0x8004");
    EXPECT_EQ(root["dacl"].get<std::string>().substr(0, 20), "D:(A;OICI;FA;;;BA)(A");
    EXPECT_EQ(root["dacl_hex"].get<std::string>().substr(0, 16), "0200740005000000");
    EXPECT_EQ(document["folders"][2]["path"], "C:\\Inetpub");
    EXPECT_EQ(document["folders"][4]["path"], "C:\\Inetpub\\wwwroot\\中文");
    EXPECT_EQ(document["files"]["C:\\a.txt"]["text"], "plain\r\n");
    EXPECT_EQ(document["files"]["C:\\b.txt"]["ansi"], "面板");
    EXPECT_EQ(document["files"]["C:\\c.bin"]["base64"], "AAH/");
}

TEST_F(FilesState, DumpAndLoadRoundTripByteForByte) {
    fs->addDrive('E');
    fs->createFolder("E:\\Web");
    setDacl("E:\\Web", "D:(A;OIIO;GRGW;;;S-1-5-21-1-2-3-1001)(D;CI;FA;;;BG)");
    fs->writeFile("E:\\Web\\a.htm", ansi->fromUtf8("网站"), files::WriteMode::CreateNew);
    fs->writeFile("E:\\Web\\b.bin", std::string("\0\x80", 2), files::WriteMode::CreateNew);
    fs->setAttributes("E:\\Web\\a.htm", 0x21);
    fs->deleteFolder("C:\\WINDOWS\\Temp", false);
    auto before = state.dump();
    auto security = fs->securityDescriptor("E:\\Web");

    auto other = platform::embedded::Store::inMemory();
    auto otherFiles = std::make_shared<files::FileSystem>(other);
    files::FilesState otherState(otherFiles);
    {
        platform::embedded::Transaction transaction(other->db());
        otherState.load(before);
        transaction.commit();
    }
    EXPECT_EQ(otherState.dump(), before);
    EXPECT_EQ(otherFiles->securityDescriptor("e:\\web"), security);
    EXPECT_EQ(otherFiles->readFile("E:\\Web\\b.bin"), std::string("\0\x80", 2));
    EXPECT_FALSE(otherFiles->folderExists("C:\\WINDOWS\\Temp"));
}

TEST_F(FilesState, CompactFormAddsToAFreshPlatformAndInherits) {
    {
        platform::embedded::Transaction transaction(store->db());
        state.load({{"folders", {"D:\\Web\\site", "D:\\Web"}},
                    {"files",
                     {{"D:\\Web\\a.htm", "hello"},
                      {"D:\\Web\\site\\Db.asp", {{"ansi", "路径"}, {"attributes", 33}}},
                      {"D:\\Web\\locked.htm", {{"text", ""}, {"dacl", "D:P(A;;FR;;;WD)"}}}}}});
        transaction.commit();
    }
    EXPECT_EQ(fs->drives(), (std::vector<char>{'C', 'D'}));
    EXPECT_TRUE(fs->folderExists("C:\\WINDOWS\\system32"));
    EXPECT_EQ(fs->readFile("D:\\Web\\a.htm"), "hello");
    EXPECT_EQ(fs->readFile("D:\\Web\\site\\Db.asp"), "\xC2\xB7\xBE\xB6");
    EXPECT_EQ(fs->entry("D:\\Web\\site\\Db.asp").attributes, 33u);
    EXPECT_EQ(daclOf("D:\\Web"),
              "D:(A;OICIID;FA;;;BA)(A;OICIID;FA;;;SY)(A;ID;FA;;;BA)(A;OICIIOID;GA;;;CO)"
              "(A;OICIID;0x1200a9;;;BU)");
    auto locked = *files::parseSelfRelative(fs->securityDescriptor("D:\\Web\\locked.htm"));
    EXPECT_EQ(files::daclToSddl(locked.dacl, locked.control), "D:P(A;;FR;;;WD)");
}

TEST_F(FilesState, LoadRefusesBadDocumentsWithTheirJsonPathAndChangesNothing) {
    fs->createFolder("C:\\keep");
    EXPECT_EQ(loadError({{"files", {{"D:\\Web\\a.htm", "x"}}}}),
              "files.files[\"D:\\\\Web\\\\a.htm\"]: the folder D:\\Web does not exist");
    EXPECT_EQ(loadError({{"drives", {"C"}}, {"folders", {"D:\\Web"}}}),
              "files.folders[0]: drive D: is not in drives");
    EXPECT_EQ(loadError({{"drives", {"C", "DD"}}}),
              "files.drives[1]: \"DD\" is not a drive letter");
    EXPECT_EQ(loadError({{"drives", {"D"}}}), "files.drives: drive C must be present");
    EXPECT_EQ(loadError({{"folders", {"Web"}}}),
              "files.folders[0]: \"Web\" is not an absolute path");
    EXPECT_EQ(loadError({{"folders", {{{"path", "C:\\x"}, {"dacl_hex", "02zz"}}}}}),
              "files.folders[0].dacl_hex: not hexadecimal bytes");
    EXPECT_EQ(loadError({{"folders", {{{"path", "C:\\x"}, {"dacl_hex", "0200"}}}}}),
              "files.folders[0].dacl_hex: not an access-control list");
    EXPECT_EQ(loadError({{"folders", {{{"path", "C:\\x"}, {"dacl", "D:(A;;FA;;;nobody)"}}}}}),
              "files.folders[0].dacl: unknown trustee \"nobody\"");
    EXPECT_EQ(loadError({{"folders", {"C:\\x", "c:\\X"}}}),
              "files.folders[1]: \"c:\\X\" is listed twice");
    EXPECT_EQ(loadError({{"files", {{"C:\\a", {{"base64", "!"}}}}}}),
              "files.files[\"C:\\\\a\"].base64: not base64");
    EXPECT_EQ(loadError({{"sites", json::array()}}),
              "files.sites: unknown key (drives, folders, files)");
    EXPECT_TRUE(fs->folderExists("C:\\keep"));  // each failed load was rolled back
}

TEST(Sddl, ParsesWhatItWrites) {
    for (const char* text :
         {"D:(A;OICI;FA;;;BA)(D;NP;0x1200a9;;;S-1-5-21-7-8-9-500)",
          "D:PAI(A;OICIIOID;GRGWGX;;;CO)(A;;CCDCRC;;;WD)", "D:", "D:NO_ACCESS_CONTROL"}) {
        std::string error;
        auto parsed = files::daclFromSddl(text, error);
        ASSERT_TRUE(parsed) << text << ": " << error;
        EXPECT_EQ(files::daclToSddl(parsed->dacl, parsed->controlBits), text);
    }
}

}  // namespace
}  // namespace tarnwick::testing
