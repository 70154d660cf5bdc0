#include "toolkit/folder_access.h"

#include <cstring>
#include <string>
#include <vector>

namespace tarnwick::toolkit {

namespace win32 = platform::win32;

namespace {
// The head of an ACE as it is copied out and back: type, flags, size, mask
// and the first word of the SID, which starts 8 bytes into the ACE.
struct AceHead {
    uint8_t type;
    uint8_t flags;
    uint16_t size;
    uint32_t mask;
    uint32_t sidStart;
};
static_assert(sizeof(AceHead) == 12);
constexpr uint32_t kSidOffset = 8;

bool setAceFlags(platform::Advapi32& api, void* acl, uint32_t index, uint8_t flags) {
    void* ace = nullptr;
    if (!api.GetAce(acl, index, &ace)) return false;
    AceHead head{};
    std::memcpy(&head, ace, sizeof head);
    head.flags = flags;
    std::memcpy(ace, &head, sizeof head);
    return true;
}
}  // namespace

bool SetFolderAccess(platform::Advapi32& api, platform::AnsiCodePage& ansi,
                     std::string_view account, std::string_view path, uint32_t accessMask) {
    const std::string accountName = ansi.fromUtf8(account);
    const std::string fileName = ansi.fromUtf8(path);

    // Look up the account: the first call only learns the domain name's length.
    std::vector<uint8_t> sid(256);
    uint32_t sidSize = 255;
    uint32_t domainSize = 0;
    uint32_t use = 0;
    api.LookupAccountNameA("", accountName.c_str(), sid.data(), &sidSize, nullptr, &domainSize,
                           &use);
    std::string domain(domainSize, ' ');
    sidSize = 255;
    if (!api.LookupAccountNameA("", accountName.c_str(), sid.data(), &sidSize, domain.data(),
                                &domainSize, &use)) {
        return false;
    }

    // Read the current DACL.
    uint32_t needed = 0;
    api.GetFileSecurityA(fileName.c_str(), win32::kDaclSecurityInformation, nullptr, 0, &needed);
    std::vector<uint8_t> oldDescriptor(static_cast<size_t>(needed) + 1);
    if (!api.GetFileSecurityA(fileName.c_str(), win32::kDaclSecurityInformation,
                              oldDescriptor.data(), needed, &needed)) {
        return false;
    }

    // A new descriptor to carry the new DACL.
    platform::AbsoluteSecurityDescriptor newDescriptor{};
    if (!api.InitializeSecurityDescriptor(&newDescriptor, win32::kSecurityDescriptorRevision)) {
        return false;
    }

    // The current DACL inside the old descriptor; a descriptor without one is left alone.
    bool daclPresent = false;
    bool daclDefaulted = false;
    void* oldDacl = nullptr;
    if (!api.GetSecurityDescriptorDacl(oldDescriptor.data(), &daclPresent, &oldDacl,
                                       &daclDefaulted) ||
        !daclPresent) {
        return false;
    }

    // How many entries and bytes the current DACL holds.
    platform::AclSizeInformation size{};
    if (!api.GetAclInformation(oldDacl, &size, sizeof size, win32::kAclSizeInformation)) {
        return false;
    }

    // Room for the kept entries and two new ones.
    uint32_t sidLength = api.GetLengthSid(sid.data());
    uint32_t newSize = size.AclBytesInUse + 2 * (12 + sidLength) - 4;
    std::vector<uint8_t> newAcl(static_cast<size_t>(newSize) + 1);
    if (!api.InitializeAcl(newAcl.data(), newSize, win32::kAclRevision)) return false;

    // An empty DACL grants nothing to anyone: it is left as it is.
    if (size.AceCount == 0) return false;

    // Keep every entry that is not the account's.
    uint32_t kept = 0;
    for (uint32_t i = 0; i < size.AceCount; ++i) {
        void* ace = nullptr;
        if (!api.GetAce(oldDacl, i, &ace)) return false;
        AceHead head{};
        std::memcpy(&head, ace, sizeof head);
        if (!api.EqualSid(sid.data(), static_cast<uint8_t*>(ace) + kSidOffset)) {
            // EqualSid answers a mere difference with the last error cleared; a
            // failed comparison must not keep an entry of the account (a deny
            // entry would outlive the grant).
            if (api.GetLastError() != 0) return false;
            if (!api.AddAce(newAcl.data(), win32::kAclRevision, 0xFFFFFFFF, ace, head.size)) {
                return false;
            }
            ++kept;
        }
    }

    // The grant.
    if (!api.AddAccessAllowedAce(newAcl.data(), win32::kAclRevision, accessMask, sid.data())) {
        return false;
    }

    // A folder gets the grant for its files and for itself and its subfolders.
    // A failed attribute test answers with every bit set: it tells nothing.
    const uint32_t attributes = api.GetFileAttributesA(fileName.c_str());
    if (attributes == win32::kInvalidFileAttributes) return false;
    if (attributes & win32::kFileAttributeDirectory) {
        if (!setAceFlags(api, newAcl.data(), kept,
                         win32::kObjectInheritAce | win32::kInheritOnlyAce)) {
            return false;
        }
        if (!api.AddAccessAllowedAce(newAcl.data(), win32::kAclRevision, accessMask, sid.data())) {
            return false;
        }
        if (!setAceFlags(api, newAcl.data(), kept + 1, win32::kContainerInheritAce)) return false;
    }

    // The new DACL goes into the descriptor, and the descriptor onto the file.
    if (!api.SetSecurityDescriptorDacl(&newDescriptor, true, newAcl.data(), false)) return false;
    return api.SetFileSecurityA(fileName.c_str(), win32::kDaclSecurityInformation, &newDescriptor);
}

std::optional<std::vector<uint8_t>> SaveFolderAccess(platform::Advapi32& api,
                                                     platform::AnsiCodePage& ansi,
                                                     std::string_view path) {
    const std::string fileName = ansi.fromUtf8(path);
    uint32_t needed = 0;
    api.GetFileSecurityA(fileName.c_str(), win32::kDaclSecurityInformation, nullptr, 0, &needed);
    std::vector<uint8_t> descriptor(needed);
    if (needed == 0 || !api.GetFileSecurityA(fileName.c_str(), win32::kDaclSecurityInformation,
                                             descriptor.data(), needed, &needed)) {
        return std::nullopt;
    }
    return descriptor;
}

bool RestoreFolderAccess(platform::Advapi32& api, platform::AnsiCodePage& ansi,
                         std::string_view path, const std::vector<uint8_t>& saved) {
    const std::string fileName = ansi.fromUtf8(path);
    bool daclPresent = false;
    bool daclDefaulted = false;
    void* dacl = nullptr;
    platform::AbsoluteSecurityDescriptor descriptor{};
    return api.GetSecurityDescriptorDacl(saved.data(), &daclPresent, &dacl, &daclDefaulted) &&
           api.InitializeSecurityDescriptor(&descriptor, win32::kSecurityDescriptorRevision) &&
           api.SetSecurityDescriptorDacl(&descriptor, daclPresent, dacl, daclDefaulted) &&
           api.SetFileSecurityA(fileName.c_str(), win32::kDaclSecurityInformation, &descriptor);
}

}  // namespace tarnwick::toolkit

namespace tarnwick::toolkit {

bool LimitToAdministrators(platform::Advapi32& api, platform::AnsiCodePage& ansi,
                           std::string_view path) {
    // Well-known SIDs: SYSTEM S-1-5-18 and Administrators S-1-5-32-544.
    static constexpr uint8_t kSystem[] = {1, 1, 0, 0, 0, 0, 0, 5, 18, 0, 0, 0};
    static constexpr uint8_t kAdministrators[] = {1, 2, 0, 0, 0, 0, 0, 5, 32, 0, 0, 0, 32, 2, 0, 0};
    constexpr uint32_t kFullAccess = 0x001F01FF;
    const uint32_t size = 8 + 2 * 8 + sizeof kSystem + sizeof kAdministrators;
    std::vector<uint8_t> acl(size);
    if (!api.InitializeAcl(acl.data(), size, win32::kAclRevision)) return false;
    // Each entry reaches the folder, its subfolders and its files.
    uint32_t index = 0;
    for (const auto* sid : {kSystem, kAdministrators}) {
        if (!api.AddAccessAllowedAce(acl.data(), win32::kAclRevision, kFullAccess, sid) ||
            !setAceFlags(api, acl.data(), index++,
                         win32::kObjectInheritAce | win32::kContainerInheritAce)) {
            return false;
        }
    }
    platform::AbsoluteSecurityDescriptor descriptor{};
    const std::string fileName = ansi.fromUtf8(path);
    return api.InitializeSecurityDescriptor(&descriptor, win32::kSecurityDescriptorRevision) &&
           api.SetSecurityDescriptorDacl(&descriptor, true, acl.data(), false) &&
           api.SetFileSecurityA(fileName.c_str(), win32::kDaclSecurityInformation, &descriptor);
}

}  // namespace tarnwick::toolkit

namespace tarnwick::toolkit {

std::string hexText(const std::vector<uint8_t>& bytes) {
    constexpr char kHex[] = "0123456789ABCDEF";
    std::string text;
    for (uint8_t byte : bytes) {
        text += kHex[byte >> 4];
        text += kHex[byte & 0xF];
    }
    return text;
}

std::optional<std::vector<uint8_t>> hexBytes(std::string_view text) {
    if (text.size() % 2 != 0) return std::nullopt;
    auto digit = [](char c) -> int {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        return -1;
    };
    std::vector<uint8_t> bytes;
    for (size_t i = 0; i < text.size(); i += 2) {
        const int high = digit(text[i]), low = digit(text[i + 1]);
        if (high < 0 || low < 0) return std::nullopt;
        bytes.push_back(static_cast<uint8_t>(high * 16 + low));
    }
    return bytes;
}

}  // namespace tarnwick::toolkit
