// SetFolderAccess on the embedded drives: the DACL bytes it leaves, and that
// every failure leaves them exactly as they were.
#include "toolkit/folder_access.h"

#include <map>

#include "toolkit_fixture.h"

namespace tarnwick::testing {
namespace {

constexpr uint32_t kReadWrite = toolkit::kGenericRead | toolkit::kGenericWrite;

// The advapi32 calls of the platform, counted by function; the call chosen
// by `failFunction` and `failAt` (1 for the first call) fails with error 5.
class CountingAdvapi32 : public platform::Advapi32 {
public:
    explicit CountingAdvapi32(std::shared_ptr<platform::Advapi32> inner)
        : inner_(std::move(inner)) {}

    std::map<std::string, int> calls;
    std::string failFunction;
    int failAt = 0;

    bool LookupAccountNameA(const char* systemName, const char* accountName, void* sid,
                            uint32_t* sidSize, char* domain, uint32_t* domainSize,
                            uint32_t* use) override {
        return counted("LookupAccountNameA") &&
               inner_->LookupAccountNameA(systemName, accountName, sid, sidSize, domain, domainSize,
                                          use);
    }
    bool GetFileSecurityA(const char* fileName, uint32_t information, void* descriptor,
                          uint32_t length, uint32_t* needed) override {
        return counted("GetFileSecurityA") &&
               inner_->GetFileSecurityA(fileName, information, descriptor, length, needed);
    }
    bool SetFileSecurityA(const char* fileName, uint32_t information,
                          const platform::AbsoluteSecurityDescriptor* descriptor) override {
        return counted("SetFileSecurityA") &&
               inner_->SetFileSecurityA(fileName, information, descriptor);
    }
    bool InitializeSecurityDescriptor(platform::AbsoluteSecurityDescriptor* descriptor,
                                      uint32_t revision) override {
        return counted("InitializeSecurityDescriptor") &&
               inner_->InitializeSecurityDescriptor(descriptor, revision);
    }
    bool GetSecurityDescriptorDacl(const void* descriptor, bool* present, void** dacl,
                                   bool* defaulted) override {
        return counted("GetSecurityDescriptorDacl") &&
               inner_->GetSecurityDescriptorDacl(descriptor, present, dacl, defaulted);
    }
    bool SetSecurityDescriptorDacl(platform::AbsoluteSecurityDescriptor* descriptor, bool present,
                                   void* dacl, bool defaulted) override {
        return counted("SetSecurityDescriptorDacl") &&
               inner_->SetSecurityDescriptorDacl(descriptor, present, dacl, defaulted);
    }
    bool GetAclInformation(const void* acl, void* information, uint32_t length,
                           uint32_t informationClass) override {
        return counted("GetAclInformation") &&
               inner_->GetAclInformation(acl, information, length, informationClass);
    }
    bool InitializeAcl(void* acl, uint32_t length, uint32_t revision) override {
        return counted("InitializeAcl") && inner_->InitializeAcl(acl, length, revision);
    }
    bool GetAce(const void* acl, uint32_t index, void** ace) override {
        return counted("GetAce") && inner_->GetAce(acl, index, ace);
    }
    bool AddAce(void* acl, uint32_t revision, uint32_t start, const void* aces,
                uint32_t length) override {
        return counted("AddAce") && inner_->AddAce(acl, revision, start, aces, length);
    }
    bool AddAccessAllowedAce(void* acl, uint32_t revision, uint32_t mask,
                             const void* sid) override {
        return counted("AddAccessAllowedAce") &&
               inner_->AddAccessAllowedAce(acl, revision, mask, sid);
    }
    uint32_t GetLengthSid(const void* sid) override { return inner_->GetLengthSid(sid); }
    bool EqualSid(const void* sid1, const void* sid2) override {
        return counted("EqualSid") && inner_->EqualSid(sid1, sid2);
    }
    uint32_t GetFileAttributesA(const char* fileName) override {
        if (!counted("GetFileAttributesA")) return platform::win32::kInvalidFileAttributes;
        return inner_->GetFileAttributesA(fileName);
    }
    uint32_t GetLastError() override { return failed_ ? 5 : inner_->GetLastError(); }

private:
    bool counted(const std::string& function) {
        int number = ++calls[function];
        failed_ = function == failFunction && number == failAt;
        return !failed_;
    }

    std::shared_ptr<platform::Advapi32> inner_;
    bool failed_ = false;
};

class FolderAccess : public ToolkitFixture {
protected:
    std::string bob;  // the SID of Tarn_bob

    void SetUp() override {
        ToolkitFixture::SetUp();
        bob = addUser("Tarn_bob");
        // D:\Web holds bob's deny and allow entries between inherited ones and
        // those of other accounts; the file holds an inherited one of his.
        json folders =
            json::array({{{"path", "D:\\Web"},
                          {"dacl", "D:(D;;FW;;;" + bob +
                                       ")(A;OICIID;FA;;;BA)(A;OICI;0x1200a9;;;BU)(A;OIIO;FR;;;" +
                                       bob + ")(A;CIID;FX;;;SY)"}},
                         {{"path", "D:\\Empty"}, {"dacl", "D:"}},
                         {{"path", "D:\\Open"}, {"dacl", "D:NO_ACCESS_CONTROL"}},
                         {{"path", "D:\\网站"}, {"dacl", "D:(A;OICI;FA;;;BA)"}}});
        json files = {
            {"D:\\Web\\a.htm",
             {{"text", "x"}, {"dacl", "D:(A;;FA;;;BA)(A;ID;FR;;;" + bob + ")(A;ID;FR;;;WD)"}}}};
        platform->load({{"files", {{"folders", folders}, {"files", files}}}});
    }

    bool grant(std::string_view account, std::string_view path, uint32_t mask) {
        auto services = platform->services();
        return toolkit::SetFolderAccess(*services.advapi32, *services.ansi, account, path, mask);
    }
    // The two entries a folder's grant appends, in SDDL.
    std::string folderGrant(const std::string& rights) {
        return "(A;OIIO;" + rights + ";;;" + bob + ")(A;CI;" + rights + ";;;" + bob + ")";
    }
    // The DACL that loading `sddl` onto a folder gives, as the dump's hex.
    std::string bytesOf(const std::string& sddl) {
        auto files = platform->dump()["files"];
        files["folders"].push_back({{"path", "D:\\Expected"}, {"dacl", sddl}});
        platform->load({{"files", files}});
        auto hex = daclHexOf("D:\\Expected");
        files["folders"].erase(files["folders"].end() - 1);
        platform->load({{"files", files}});
        return hex;
    }
};

TEST_F(FolderAccess, AFolderKeepsOtherEntriesInOrderAndGetsTwoInheritableGrants) {
    ASSERT_TRUE(grant("Tarn_bob", "D:\\Web", kReadWrite));
    auto expected =
        "D:(A;OICIID;FA;;;BA)(A;OICI;0x1200a9;;;BU)(A;CIID;FX;;;SY)" + folderGrant("GRGW");
    EXPECT_EQ(daclOf("D:\\Web"), expected);
    // Byte for byte, the entries are those of a list loaded from that SDDL:
    // the kept ones copied unchanged, the new ones plain allowed entries with
    // flags 9 and 2. The list keeps the size it was made with: the old list's
    // bytes in use (0x94) plus room for two entries of the account
    // (2 x (12 + 28) - 4), the rest zero.
    auto hex = daclHexOf("D:\\Web");
    auto wanted = bytesOf(expected);
    EXPECT_EQ(hex.substr(0, 8), "0200E000");  // revision 2, size 224
    ASSERT_EQ(hex.size(), 2u * 224);
    EXPECT_EQ(hex.substr(8, wanted.size() - 8), wanted.substr(8));  // entry count and entries
    EXPECT_EQ(hex.find_first_not_of('0', wanted.size()), std::string::npos);
}

TEST_F(FolderAccess, AFileGetsOneGrantWithoutInheritanceFlags) {
    ASSERT_TRUE(grant("Tarn_bob", "D:\\Web\\a.htm", toolkit::kGenericRead));
    EXPECT_EQ(daclOf("D:\\Web\\a.htm"), "D:(A;;FA;;;BA)(A;ID;FR;;;WD)(A;;GR;;;" + bob + ")");
}

TEST_F(FolderAccess, ASecondRunLeavesTheSameBytesAndASmallerMaskReplacesTheGrant) {
    ASSERT_TRUE(grant("Tarn_bob", "D:\\Web", kReadWrite));
    auto once = daclHexOf("D:\\Web");
    ASSERT_TRUE(grant("Tarn_bob", "D:\\Web", kReadWrite));
    EXPECT_EQ(daclHexOf("D:\\Web"), once);

    ASSERT_TRUE(grant("tarn_BOB", "D:\\web", toolkit::kGenericRead));
    EXPECT_EQ(daclOf("D:\\Web"),
              "D:(A;OICIID;FA;;;BA)(A;OICI;0x1200a9;;;BU)(A;CIID;FX;;;SY)" + folderGrant("GR"));
}

TEST_F(FolderAccess, NamesAndPathsGoThroughTheAnsiCodePage) {
    ASSERT_TRUE(grant("WEBHOST\\Tarn_bob", "D:\\网站", 0xE0010000));
    EXPECT_EQ(daclOf("D:\\网站"), "D:(A;OICI;FA;;;BA)" + folderGrant("GRGWGXSD"));
}

TEST_F(FolderAccess, RefusedRequestsReturnFalseAndWriteNothing) {
    auto before = platform->dump()["files"];
    EXPECT_FALSE(grant("Tarn_nobody", "D:\\Web", kReadWrite));
    EXPECT_FALSE(grant("Tarn_bob", "D:\\Missing", kReadWrite));
    EXPECT_FALSE(grant("Tarn_bob", "Q:\\Web", kReadWrite));
    // An empty DACL grants nothing to anyone, and a missing one everything:
    // neither is turned into a list that grants only the account.
    EXPECT_FALSE(grant("Tarn_bob", "D:\\Empty", kReadWrite));
    EXPECT_FALSE(grant("Tarn_bob", "D:\\Open", kReadWrite));
    EXPECT_EQ(platform->dump()["files"], before);
    EXPECT_EQ(daclOf("D:\\Empty"), "D:");
}

// Every advapi32 function the routine calls.
const std::vector<std::string> kFunctions = {"LookupAccountNameA",
                                             "GetFileSecurityA",
                                             "InitializeSecurityDescriptor",
                                             "GetSecurityDescriptorDacl",
                                             "GetAclInformation",
                                             "InitializeAcl",
                                             "GetAce",
                                             "EqualSid",
                                             "AddAce",
                                             "AddAccessAllowedAce",
                                             "SetSecurityDescriptorDacl",
                                             "SetFileSecurityA",
                                             "GetFileAttributesA"};

TEST_F(FolderAccess, AFailingPlatformFunctionLeavesTheBytesUntouched) {
    for (const auto* path : {"D:\\Web", "D:\\Web\\a.htm"}) {
        auto before = daclHexOf(path);
        for (const auto& function : kFunctions) {
            platform->faults().clear();
            inject(function, "*", 5, false);
            EXPECT_FALSE(grant("Tarn_bob", path, kReadWrite)) << function << " " << path;
            EXPECT_EQ(daclHexOf(path), before) << function << " " << path;
        }
    }
    platform->faults().clear();
    EXPECT_TRUE(grant("Tarn_bob", "D:\\Web", kReadWrite));
}

TEST_F(FolderAccess, EachSingleFailingCallLeavesTheBytesUntouched) {
    auto services = platform->services();
    auto original = platform->dump()["files"];
    for (const std::string path : {"D:\\Web", "D:\\Web\\a.htm"}) {
        auto before = daclHexOf(path);
        CountingAdvapi32 counting(services.advapi32);
        ASSERT_TRUE(
            toolkit::SetFolderAccess(counting, *services.ansi, "Tarn_bob", path, kReadWrite));
        ASSERT_NE(daclHexOf(path), before);
        // A folder's grant takes one more entry and two more entry edits than a file's.
        EXPECT_EQ(counting.calls["AddAccessAllowedAce"], path == "D:\\Web" ? 2 : 1);

        for (const auto& [function, count] : counting.calls) {
            for (int at = 1; at <= count; ++at) {
                platform->load({{"files", original}});
                CountingAdvapi32 failing(services.advapi32);
                failing.failFunction = function;
                failing.failAt = at;
                EXPECT_FALSE(
                    toolkit::SetFolderAccess(failing, *services.ansi, "Tarn_bob", path, kReadWrite))
                    << function << " call " << at << " on " << path;
                EXPECT_EQ(daclHexOf(path), before) << function << " call " << at << " on " << path;
            }
        }
        platform->load({{"files", original}});
    }
}

}  // namespace
}  // namespace tarnwick::testing
