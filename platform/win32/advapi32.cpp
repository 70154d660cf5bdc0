// The advapi32 security calls, forwarded to the system. The core's records
// have the system's layout; the checks below keep it that way.
#include <windows.h>

#include <cstddef>

#include "platform/win32/services.h"

namespace tarnwick::platform::win32 {

static_assert(sizeof(AbsoluteSecurityDescriptor) == sizeof(SECURITY_DESCRIPTOR));
static_assert(offsetof(AbsoluteSecurityDescriptor, Control) ==
              offsetof(SECURITY_DESCRIPTOR, Control));
static_assert(offsetof(AbsoluteSecurityDescriptor, Owner) == offsetof(SECURITY_DESCRIPTOR, Owner));
static_assert(offsetof(AbsoluteSecurityDescriptor, Dacl) == offsetof(SECURITY_DESCRIPTOR, Dacl));
static_assert(sizeof(AclSizeInformation) == sizeof(ACL_SIZE_INFORMATION));

namespace {

PSECURITY_DESCRIPTOR descriptor(const AbsoluteSecurityDescriptor* d) {
    return const_cast<AbsoluteSecurityDescriptor*>(d);
}

class SystemAdvapi32 final : public Advapi32 {
public:
    bool LookupAccountNameA(const char* systemName, const char* accountName, void* sid,
                            uint32_t* sidSize, char* referencedDomainName, uint32_t* domainSize,
                            uint32_t* sidNameUse) override {
        DWORD sidBytes = *sidSize, domainChars = *domainSize;
        SID_NAME_USE use = SidTypeUnknown;
        BOOL ok = ::LookupAccountNameA(systemName, accountName, sid, &sidBytes,
                                       referencedDomainName, &domainChars, &use);
        *sidSize = sidBytes;
        *domainSize = domainChars;
        if (sidNameUse) *sidNameUse = static_cast<uint32_t>(use);
        return ok != FALSE;
    }
    bool GetFileSecurityA(const char* fileName, uint32_t requestedInformation,
                          void* securityDescriptor, uint32_t length,
                          uint32_t* lengthNeeded) override {
        DWORD needed = 0;
        BOOL ok =
            ::GetFileSecurityA(fileName, requestedInformation, securityDescriptor, length, &needed);
        if (lengthNeeded) *lengthNeeded = needed;
        return ok != FALSE;
    }
    bool SetFileSecurityA(const char* fileName, uint32_t securityInformation,
                          const AbsoluteSecurityDescriptor* securityDescriptor) override {
        return ::SetFileSecurityA(fileName, securityInformation, descriptor(securityDescriptor)) !=
               FALSE;
    }
    bool InitializeSecurityDescriptor(AbsoluteSecurityDescriptor* securityDescriptor,
                                      uint32_t revision) override {
        return ::InitializeSecurityDescriptor(securityDescriptor, revision) != FALSE;
    }
    bool GetSecurityDescriptorDacl(const void* securityDescriptor, bool* daclPresent, void** dacl,
                                   bool* daclDefaulted) override {
        BOOL present = FALSE, defaulted = FALSE;
        PACL acl = nullptr;
        BOOL ok = ::GetSecurityDescriptorDacl(const_cast<void*>(securityDescriptor), &present, &acl,
                                              &defaulted);
        if (daclPresent) *daclPresent = present != FALSE;
        if (daclDefaulted) *daclDefaulted = defaulted != FALSE;
        if (dacl) *dacl = acl;
        return ok != FALSE;
    }
    bool SetSecurityDescriptorDacl(AbsoluteSecurityDescriptor* securityDescriptor, bool daclPresent,
                                   void* dacl, bool daclDefaulted) override {
        return ::SetSecurityDescriptorDacl(securityDescriptor, daclPresent, static_cast<PACL>(dacl),
                                           daclDefaulted) != FALSE;
    }
    bool GetAclInformation(const void* acl, void* information, uint32_t length,
                           uint32_t informationClass) override {
        return ::GetAclInformation(static_cast<PACL>(const_cast<void*>(acl)), information, length,
                                   static_cast<ACL_INFORMATION_CLASS>(informationClass)) != FALSE;
    }
    bool InitializeAcl(void* acl, uint32_t length, uint32_t revision) override {
        return ::InitializeAcl(static_cast<PACL>(acl), length, revision) != FALSE;
    }
    bool GetAce(const void* acl, uint32_t index, void** ace) override {
        return ::GetAce(static_cast<PACL>(const_cast<void*>(acl)), index, ace) != FALSE;
    }
    bool AddAce(void* acl, uint32_t revision, uint32_t startingIndex, const void* aceList,
                uint32_t aceListLength) override {
        return ::AddAce(static_cast<PACL>(acl), revision, startingIndex, const_cast<void*>(aceList),
                        aceListLength) != FALSE;
    }
    bool AddAccessAllowedAce(void* acl, uint32_t revision, uint32_t accessMask,
                             const void* sid) override {
        return ::AddAccessAllowedAce(static_cast<PACL>(acl), revision, accessMask,
                                     const_cast<void*>(sid)) != FALSE;
    }
    uint32_t GetLengthSid(const void* sid) override {
        return ::GetLengthSid(const_cast<void*>(sid));
    }
    bool EqualSid(const void* sid1, const void* sid2) override {
        return ::EqualSid(const_cast<void*>(sid1), const_cast<void*>(sid2)) != FALSE;
    }
    uint32_t GetFileAttributesA(const char* fileName) override {
        return ::GetFileAttributesA(fileName);
    }
    uint32_t GetLastError() override { return ::GetLastError(); }
};

}  // namespace

std::shared_ptr<Advapi32> makeAdvapi32() { return std::make_shared<SystemAdvapi32>(); }

}  // namespace tarnwick::platform::win32
