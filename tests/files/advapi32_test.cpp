#include <cstring>

#include "files_fixture.h"

namespace tarnwick::testing {
namespace {

using platform::AbsoluteSecurityDescriptor;
using platform::AclSizeInformation;

constexpr uint32_t kDacl = 4;

class Advapi32 : public FilesFixture {
protected:
    void SetUp() override {
        fs->addDrive('D');
        fs->createFolder("D:\\Web");
        fs->createFolder("D:\\Web\\site");
        fs->writeFile("D:\\Web\\site\\a.htm", "a", files::WriteMode::CreateNew);
    }
    std::vector<uint8_t> sidOf(const char* text) { return *files::sidFromString(text); }
    std::vector<uint8_t> fileSecurity(const char* path) {
        uint32_t needed = 0;
        advapi.GetFileSecurityA(path, kDacl, nullptr, 0, &needed);
        std::vector<uint8_t> buffer(needed + 1);
        EXPECT_TRUE(advapi.GetFileSecurityA(path, kDacl, buffer.data(), needed, &needed));
        buffer.resize(needed);
        return buffer;
    }

    // The folder-permission routine, call for call as the toolkit makes it.
    bool grant(const std::string& account, const std::string& path, uint32_t mask) {
        std::vector<uint8_t> sid(256);
        uint32_t sidSize = 255, domainSize = 0, use = 0;
        advapi.LookupAccountNameA("", account.c_str(), sid.data(), &sidSize, nullptr, &domainSize,
                                  &use);
        std::string domain(domainSize, ' ');
        sidSize = 255;
        if (!advapi.LookupAccountNameA("", account.c_str(), sid.data(), &sidSize, domain.data(),
                                       &domainSize, &use)) {
            return false;
        }
        uint32_t needed = 0;
        advapi.GetFileSecurityA(path.c_str(), kDacl, nullptr, 0, &needed);
        std::vector<uint8_t> old(needed + 1);
        if (!advapi.GetFileSecurityA(path.c_str(), kDacl, old.data(), needed, &needed))
            return false;
        AbsoluteSecurityDescriptor fresh{};
        if (!advapi.InitializeSecurityDescriptor(&fresh, 1)) return false;
        bool present = false, defaulted = false;
        void* oldDacl = nullptr;
        if (!advapi.GetSecurityDescriptorDacl(old.data(), &present, &oldDacl, &defaulted) ||
            !present) {
            return false;
        }
        AclSizeInformation info{};
        if (!advapi.GetAclInformation(oldDacl, &info, 12, 2)) return false;
        uint32_t length = advapi.GetLengthSid(sid.data());
        uint32_t size = info.AclBytesInUse + 2 * (12 + length) - 4;
        std::vector<uint8_t> acl(size + 1);
        if (!advapi.InitializeAcl(acl.data(), size, 2)) return false;
        if (info.AceCount == 0) return false;
        uint32_t kept = 0;
        for (uint32_t i = 0; i < info.AceCount; ++i) {
            void* ace = nullptr;
            if (!advapi.GetAce(oldDacl, i, &ace)) return false;
            uint8_t head[12];
            std::memcpy(head, ace, 12);
            if (!advapi.EqualSid(sid.data(), static_cast<uint8_t*>(ace) + 8)) {
                uint16_t aceSize = static_cast<uint16_t>(head[2] | (head[3] << 8));
                if (!advapi.AddAce(acl.data(), 2, 0xFFFFFFFF, ace, aceSize)) return false;
                ++kept;
            }
        }
        if (!advapi.AddAccessAllowedAce(acl.data(), 2, mask, sid.data())) return false;
        if (advapi.GetFileAttributesA(path.c_str()) & 0x10) {
            for (auto [index, flags] : {std::pair{kept, 9}, std::pair{kept + 1, 2}}) {
                if (index == kept + 1 &&
                    !advapi.AddAccessAllowedAce(acl.data(), 2, mask, sid.data())) {
                    return false;
                }
                void* ace = nullptr;
                if (!advapi.GetAce(acl.data(), index, &ace)) return false;
                static_cast<uint8_t*>(ace)[1] = static_cast<uint8_t>(flags);
            }
        }
        if (!advapi.SetSecurityDescriptorDacl(&fresh, true, acl.data(), false)) return false;
        return advapi.SetFileSecurityA(path.c_str(), kDacl, &fresh);
    }
};

// ---- Accounts -------------------------------------------------------------------

TEST_F(Advapi32, LookupAccountNameReportsSizesThenFillsTheBuffers) {
    uint8_t sid[256];
    uint32_t sidSize = 255, domainSize = 0, use = 0;
    EXPECT_FALSE(
        advapi.LookupAccountNameA(nullptr, "tarn_JOE", sid, &sidSize, nullptr, &domainSize, &use));
    EXPECT_EQ(advapi.GetLastError(), 122u);
    EXPECT_EQ(sidSize, 28u);
    EXPECT_EQ(domainSize, 10u);  // "WEBSERVER" and its terminating zero
    char domain[10];
    EXPECT_TRUE(
        advapi.LookupAccountNameA("", "tarn_JOE", sid, &sidSize, domain, &domainSize, &use));
    EXPECT_EQ(hexOf(std::span<const uint8_t>(sid, sidSize)),
              "010500000000000515000000"
              "64000000C80000002C010000E9030000");
    EXPECT_STREQ(domain, "WEBSERVER");
    EXPECT_EQ(domainSize, 9u);
    EXPECT_EQ(use, 1u);
    // A SID buffer that is too small reports both sizes too.
    sidSize = 8;
    domainSize = 10;
    EXPECT_FALSE(
        advapi.LookupAccountNameA("", "Tarn_joe", sid, &sidSize, domain, &domainSize, &use));
    EXPECT_EQ(advapi.GetLastError(), 122u);
    EXPECT_EQ(sidSize, 28u);
}

TEST_F(Advapi32, LookupAccountNameTakesAnsiNamesAndRefusesUnknownOnes) {
    uint8_t sid[256];
    char domain[64];
    uint32_t sidSize = 255, domainSize = 64, use = 0;
    std::string name = ansi->fromUtf8("Tarn_张三");
    EXPECT_TRUE(
        advapi.LookupAccountNameA(nullptr, name.c_str(), sid, &sidSize, domain, &domainSize, &use));
    EXPECT_EQ(files::sidToString({sid, sidSize}), "S-1-5-21-100-200-300-1002");
    domainSize = 64;
    EXPECT_FALSE(advapi.LookupAccountNameA(nullptr, "Tarn_nobody", sid, &sidSize, domain,
                                           &domainSize, &use));
    EXPECT_EQ(advapi.GetLastError(), 1332u);
    EXPECT_FALSE(advapi.LookupAccountNameA("OTHERHOST", "Tarn_joe", sid, &sidSize, domain,
                                           &domainSize, &use));
    EXPECT_TRUE(advapi.LookupAccountNameA("webserver", "Tarn_joe", sid, &sidSize, domain,
                                          &domainSize, &use));
}

// ---- File security ----------------------------------------------------------------

TEST_F(Advapi32, GetFileSecurityHasASizeProtocolAndReturnsTheDaclOnly) {
    uint32_t needed = 0;
    EXPECT_FALSE(advapi.GetFileSecurityA("D:\\Web", kDacl, nullptr, 0, &needed));
    EXPECT_EQ(advapi.GetLastError(), 122u);
    auto stored = *files::parseSelfRelative(fs->securityDescriptor("D:\\Web"));
    EXPECT_EQ(needed, 20 + stored.dacl->size());
    std::vector<uint8_t> buffer(needed);
    EXPECT_FALSE(advapi.GetFileSecurityA("D:\\Web", kDacl, buffer.data(), needed - 1, &needed));
    EXPECT_EQ(advapi.GetLastError(), 122u);
    ASSERT_TRUE(advapi.GetFileSecurityA("d:/web", kDacl, buffer.data(), needed, &needed));
    // No owner or group: only what was asked for.
    EXPECT_EQ(hexOf(std::span<const uint8_t>(buffer).first(20)),
              "0100048000000000000000000000000014000000");
    EXPECT_EQ(std::vector<uint8_t>(buffer.begin() + 20, buffer.end()), *stored.dacl);
}

TEST_F(Advapi32, MissingPathsGiveFileOrPathNotFound) {
    uint32_t needed = 0;
    EXPECT_FALSE(advapi.GetFileSecurityA("D:\\Web\\none", kDacl, nullptr, 0, &needed));
    EXPECT_EQ(advapi.GetLastError(), 2u);
    EXPECT_FALSE(advapi.GetFileSecurityA("D:\\none\\none", kDacl, nullptr, 0, &needed));
    EXPECT_EQ(advapi.GetLastError(), 3u);
    EXPECT_FALSE(advapi.GetFileSecurityA("Q:\\Web", kDacl, nullptr, 0, &needed));
    EXPECT_EQ(advapi.GetLastError(), 3u);
    EXPECT_EQ(advapi.GetFileAttributesA("D:\\Web\\none"), 0xFFFFFFFFu);
    EXPECT_EQ(advapi.GetLastError(), 2u);
    EXPECT_EQ(advapi.GetFileAttributesA("D:\\Web"), 0x10u);
    EXPECT_EQ(advapi.GetFileAttributesA("D:\\Web\\site\\a.htm"), 0x20u);
    fs->setAttributes("D:\\Web\\site\\a.htm", 1);
    EXPECT_EQ(advapi.GetFileAttributesA("D:\\Web\\site\\a.htm"), 0x1u);
}

TEST_F(Advapi32, SetFileSecurityWritesExactlyTheDaclGivenAndPushesNothingDown) {
    auto before = fs->securityDescriptor("D:\\Web\\site\\a.htm");
    // An ACL with 4 bytes to spare, as the folder-permission routine sizes it.
    std::vector<uint8_t> acl(64);
    ASSERT_TRUE(advapi.InitializeAcl(acl.data(), 48, 2));
    auto everyone = sidOf("S-1-1-0");
    ASSERT_TRUE(advapi.AddAccessAllowedAce(acl.data(), 2, 0x1F01FF, everyone.data()));
    void* ace = nullptr;
    ASSERT_TRUE(advapi.GetAce(acl.data(), 0, &ace));
    static_cast<uint8_t*>(ace)[1] = 3;  // OI | CI
    AbsoluteSecurityDescriptor descriptor{};
    ASSERT_TRUE(advapi.InitializeSecurityDescriptor(&descriptor, 1));
    ASSERT_TRUE(advapi.SetSecurityDescriptorDacl(&descriptor, true, acl.data(), false));
    ASSERT_TRUE(advapi.SetFileSecurityA("D:\\Web\\site", kDacl, &descriptor));

    auto stored = *files::parseSelfRelative(fs->securityDescriptor("D:\\Web\\site"));
    EXPECT_EQ(*stored.dacl, std::vector<uint8_t>(acl.begin(), acl.begin() + 48));
    EXPECT_EQ(*stored.owner, sidOf("S-1-5-32-544"));  // the owner stays
    EXPECT_EQ(fs->securityDescriptor("D:\\Web\\site\\a.htm"), before);
    fs->createFolder("D:\\Web\\site\\new");
    EXPECT_EQ(daclOf("D:\\Web\\site\\new"), "D:(A;OICIID;FA;;;WD)");
}

TEST_F(Advapi32, SetFileSecurityRefusesBadDescriptorsAndMissingPaths) {
    std::vector<uint8_t> acl(16);
    ASSERT_TRUE(advapi.InitializeAcl(acl.data(), 16, 2));
    AbsoluteSecurityDescriptor descriptor{};
    advapi.InitializeSecurityDescriptor(&descriptor, 1);
    advapi.SetSecurityDescriptorDacl(&descriptor, true, acl.data(), false);
    EXPECT_FALSE(advapi.SetFileSecurityA("D:\\none\\x", kDacl, &descriptor));
    EXPECT_EQ(advapi.GetLastError(), 3u);
    acl[0] = 9;  // an unknown ACL revision
    EXPECT_FALSE(advapi.SetFileSecurityA("D:\\Web", kDacl, &descriptor));
    EXPECT_EQ(advapi.GetLastError(), 1336u);
    descriptor.Revision = 2;
    EXPECT_FALSE(advapi.SetFileSecurityA("D:\\Web", kDacl, &descriptor));
    EXPECT_EQ(advapi.GetLastError(), 1305u);
    EXPECT_EQ(daclOf("D:\\Web"), daclOf("D:\\Web\\site"));  // both still as inherited
}

// ---- In-memory records --------------------------------------------------------------

TEST_F(Advapi32, InitializeAclWritesTheHeader) {
    std::vector<uint8_t> acl(12, 0xEE);
    ASSERT_TRUE(advapi.InitializeAcl(acl.data(), 11, 2));  // taken down to 8
    EXPECT_EQ(hexOf(acl),
              "02000800"
              "00000000"
              "EEEEEEEE");
    EXPECT_FALSE(advapi.InitializeAcl(acl.data(), 7, 2));
    EXPECT_EQ(advapi.GetLastError(), 122u);
    EXPECT_FALSE(advapi.InitializeAcl(acl.data(), 8, 1));
    EXPECT_EQ(advapi.GetLastError(), 87u);
    EXPECT_FALSE(advapi.InitializeAcl(acl.data(), 0x10000, 2));
    EXPECT_EQ(advapi.GetLastError(), 87u);
}

TEST_F(Advapi32, AddAceAddAccessAllowedAceAndGetAceLayouts) {
    std::vector<uint8_t> acl(84, 0);
    ASSERT_TRUE(advapi.InitializeAcl(acl.data(), 80, 2));
    auto users = sidOf("S-1-5-32-545");
    auto everyone = sidOf("S-1-1-0");
    ASSERT_TRUE(advapi.AddAccessAllowedAce(acl.data(), 2, 0xC0000000, users.data()));
    EXPECT_EQ(hexOf(std::span<const uint8_t>(acl).first(32)),
              "020050000100000000001800000000C0"
              "01020000000000052000000021020000");
    // AddAce inserts before the given index; 0xFFFFFFFF appends.
    auto denyEveryone = hexBytes("01 02 14 00 FF 01 1F 00 01 01 00 00 00 00 00 01 00 00 00 00");
    ASSERT_TRUE(advapi.AddAce(acl.data(), 2, 0, denyEveryone.data(), 20));
    ASSERT_TRUE(advapi.AddAce(acl.data(), 2, 0xFFFFFFFF, denyEveryone.data(), 20));
    EXPECT_EQ(files::daclToSddl(std::vector<uint8_t>(acl.begin(), acl.begin() + 80)),
              "D:(D;CI;FA;;;WD)(A;;GRGW;;;BU)(D;CI;FA;;;WD)");
    void* ace = nullptr;
    ASSERT_TRUE(advapi.GetAce(acl.data(), 1, &ace));
    EXPECT_EQ(static_cast<uint8_t*>(ace), acl.data() + 28);
    EXPECT_FALSE(advapi.GetAce(acl.data(), 3, &ace));
    EXPECT_EQ(advapi.GetLastError(), 87u);

    AclSizeInformation info{};
    ASSERT_TRUE(advapi.GetAclInformation(acl.data(), &info, sizeof info, 2));
    EXPECT_EQ(info.AceCount, 3u);
    EXPECT_EQ(info.AclBytesInUse, 8u + 20 + 24 + 20);
    EXPECT_EQ(info.AclBytesFree, 8u);
}

TEST_F(Advapi32, FullAclsRefuseMoreEntries) {
    std::vector<uint8_t> acl(40, 0);
    ASSERT_TRUE(advapi.InitializeAcl(acl.data(), 40, 2));
    auto users = sidOf("S-1-5-32-545");
    ASSERT_TRUE(advapi.AddAccessAllowedAce(acl.data(), 2, 1, users.data()));
    AclSizeInformation info{};
    ASSERT_TRUE(advapi.GetAclInformation(acl.data(), &info, 12, 2));
    EXPECT_EQ(info.AclBytesInUse, 32u);
    EXPECT_EQ(info.AclBytesFree, 8u);
    EXPECT_FALSE(advapi.AddAccessAllowedAce(acl.data(), 2, 1, users.data()));
    EXPECT_EQ(advapi.GetLastError(), 1344u);
    void* ace = nullptr;
    advapi.GetAce(acl.data(), 0, &ace);
    EXPECT_FALSE(advapi.AddAce(acl.data(), 2, 0xFFFFFFFF, ace, 24));
    EXPECT_EQ(advapi.GetLastError(), 1344u);
    EXPECT_FALSE(advapi.AddAce(acl.data(), 2, 0xFFFFFFFF, ace, 23));  // not whole entries
    EXPECT_EQ(advapi.GetLastError(), 87u);
    EXPECT_FALSE(advapi.GetAclInformation(acl.data(), &info, 11, 2));
    EXPECT_EQ(advapi.GetLastError(), 122u);
}

TEST_F(Advapi32, GetSecurityDescriptorDaclReadsBothForms) {
    auto selfRelative = fileSecurity("D:\\Web");
    bool present = false, defaulted = true;
    void* dacl = nullptr;
    ASSERT_TRUE(advapi.GetSecurityDescriptorDacl(selfRelative.data(), &present, &dacl, &defaulted));
    EXPECT_TRUE(present);
    EXPECT_FALSE(defaulted);
    EXPECT_EQ(dacl, selfRelative.data() + 20);

    AbsoluteSecurityDescriptor absolute{};
    advapi.InitializeSecurityDescriptor(&absolute, 1);
    ASSERT_TRUE(advapi.GetSecurityDescriptorDacl(&absolute, &present, &dacl, &defaulted));
    EXPECT_FALSE(present);
    uint8_t acl[8];
    advapi.InitializeAcl(acl, 8, 2);
    advapi.SetSecurityDescriptorDacl(&absolute, true, acl, true);
    EXPECT_EQ(absolute.Control, 0x000C);
    ASSERT_TRUE(advapi.GetSecurityDescriptorDacl(&absolute, &present, &dacl, &defaulted));
    EXPECT_TRUE(present);
    EXPECT_TRUE(defaulted);
    EXPECT_EQ(dacl, acl);
    EXPECT_FALSE(advapi.SetSecurityDescriptorDacl(
        reinterpret_cast<AbsoluteSecurityDescriptor*>(selfRelative.data()), true, acl, false));
    EXPECT_EQ(advapi.GetLastError(), 1338u);
}

TEST_F(Advapi32, SidFunctions) {
    auto a = sidOf("S-1-5-21-100-200-300-1001");
    auto b = sidOf("S-1-5-21-100-200-300-1002");
    EXPECT_EQ(advapi.GetLengthSid(a.data()), 28u);
    EXPECT_TRUE(advapi.EqualSid(a.data(), a.data()));
    EXPECT_FALSE(advapi.EqualSid(a.data(), b.data()));
    EXPECT_EQ(advapi.GetLastError(), 0u);
    a[0] = 2;
    EXPECT_FALSE(advapi.EqualSid(a.data(), a.data()));
    EXPECT_EQ(advapi.GetLastError(), 1337u);
}

// ---- The folder-permission sequence -------------------------------------------------

TEST_F(Advapi32, GrantingAFolderAppendsFileAndFolderEntries) {
    ASSERT_TRUE(grant("Tarn_joe", "D:\\Web\\site", 0xC0000000));
    const std::string inherited =
        "(A;OICIID;FA;;;BA)(A;OICIID;FA;;;SY)(A;ID;FA;;;BA)(A;OICIIOID;GA;;;CO)"
        "(A;OICIID;0x1200a9;;;BU)";
    const std::string joe = "S-1-5-21-100-200-300-1001";
    // Flags 9 (OI|IO) and then 2 (CI): 0x9 is written as OIIO.
    EXPECT_EQ(daclOf("D:\\Web\\site"),
              "D:" + inherited + "(A;OIIO;GRGW;;;" + joe + ")(A;CI;GRGW;;;" + joe + ")");
    // Twice gives the same DACL; a smaller mask replaces the grant.
    ASSERT_TRUE(grant("Tarn_joe", "D:\\Web\\site", 0xC0000000));
    EXPECT_EQ(daclOf("D:\\Web\\site"),
              "D:" + inherited + "(A;OIIO;GRGW;;;" + joe + ")(A;CI;GRGW;;;" + joe + ")");
    ASSERT_TRUE(grant("tarn_joe", "D:\\Web\\site\\a.htm", 0x80000000));
    EXPECT_EQ(
        daclOf("D:\\Web\\site\\a.htm"),
        "D:(A;ID;FA;;;BA)(A;ID;FA;;;SY)(A;ID;FA;;;BA)(A;ID;0x1200a9;;;BU)(A;;GR;;;" + joe + ")");
    EXPECT_FALSE(grant("Tarn_nobody", "D:\\Web\\site", 0xC0000000));
    EXPECT_FALSE(grant("Tarn_joe", "D:\\Web\\none", 0xC0000000));
}

TEST_F(Advapi32, InjectedFaultsSetTheLastError) {
    faults->add({"SetFileSecurityA", "D:\\Web\\*", 5, false});
    faults->add({"GetAce", "*", 1336, true});
    EXPECT_FALSE(grant("Tarn_joe", "D:\\Web\\site", 0xC0000000));
    EXPECT_EQ(advapi.GetLastError(), 1336u);
    EXPECT_FALSE(grant("Tarn_joe", "D:\\Web\\site", 0xC0000000));
    EXPECT_EQ(advapi.GetLastError(), 5u);
    EXPECT_EQ(daclOf("D:\\Web\\site").find("1001"), std::string::npos);
    EXPECT_TRUE(grant("Tarn_joe", "D:\\Web", 0xC0000000));
}

}  // namespace
}  // namespace tarnwick::testing
