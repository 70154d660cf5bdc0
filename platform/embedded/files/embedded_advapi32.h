// The advapi32 security calls over the embedded drives and the local account
// database. Names and paths arrive in the ANSI code page and are converted
// with the platform's AnsiCodePage; records are laid out as Windows lays
// them out (security_memory.h).
//
// Every function first asks the fault injector with its own name and its
// path or account name ("" for the in-memory functions); an injected fault
// makes it fail with that number as the last error.
//
// SetFileSecurityA stores exactly the DACL it is given, in one transaction.
// Like SetFileSecurity on Windows (unlike SetNamedSecurityInfo), it does not
// pass inheritable entries on to the folders and files that already exist
// below: they keep the descriptors they received when they were created.
//
// The last error belongs to the object; give each thread its own object, as
// each page has its own.
#pragma once

#include <memory>

#include "platform/advapi32.h"
#include "platform/embedded/account_lookup.h"
#include "platform/embedded/faults.h"
#include "platform/embedded/files/file_system.h"
#include "platform/system.h"

namespace tarnwick::platform::embedded::files {

class EmbeddedAdvapi32 : public Advapi32 {
public:
    // `faults` may be null: no call then fails on purpose.
    EmbeddedAdvapi32(std::shared_ptr<FileSystem> files, std::shared_ptr<AccountLookup> accounts,
                     std::shared_ptr<AnsiCodePage> ansi, std::shared_ptr<FaultInjector> faults);

    bool LookupAccountNameA(const char* systemName, const char* accountName, void* sid,
                            uint32_t* sidSize, char* referencedDomainName, uint32_t* domainSize,
                            uint32_t* sidNameUse) override;
    bool GetFileSecurityA(const char* fileName, uint32_t requestedInformation,
                          void* securityDescriptor, uint32_t length,
                          uint32_t* lengthNeeded) override;
    bool SetFileSecurityA(const char* fileName, uint32_t securityInformation,
                          const AbsoluteSecurityDescriptor* securityDescriptor) override;
    bool InitializeSecurityDescriptor(AbsoluteSecurityDescriptor* securityDescriptor,
                                      uint32_t revision) override;
    bool GetSecurityDescriptorDacl(const void* securityDescriptor, bool* daclPresent, void** dacl,
                                   bool* daclDefaulted) override;
    bool SetSecurityDescriptorDacl(AbsoluteSecurityDescriptor* securityDescriptor, bool daclPresent,
                                   void* dacl, bool daclDefaulted) override;
    bool GetAclInformation(const void* acl, void* information, uint32_t length,
                           uint32_t informationClass) override;
    bool InitializeAcl(void* acl, uint32_t length, uint32_t revision) override;
    bool GetAce(const void* acl, uint32_t index, void** ace) override;
    bool AddAce(void* acl, uint32_t revision, uint32_t startingIndex, const void* aceList,
                uint32_t aceListLength) override;
    bool AddAccessAllowedAce(void* acl, uint32_t revision, uint32_t accessMask,
                             const void* sid) override;
    uint32_t GetLengthSid(const void* sid) override;
    bool EqualSid(const void* sid1, const void* sid2) override;
    uint32_t GetFileAttributesA(const char* fileName) override;
    uint32_t GetLastError() override { return lastError_; }

private:
    // True when a fault is injected for the call (the last error is then set).
    bool injected(std::string_view function, std::string_view subject);
    bool result(uint32_t error);
    bool fail(uint32_t error);
    // The Win32 error of a file-system failure.
    static uint32_t win32Error(const FileError& error);
    std::string pathOf(const char* ansi);

    std::shared_ptr<FileSystem> files_;
    std::shared_ptr<AccountLookup> accounts_;
    std::shared_ptr<AnsiCodePage> ansi_;
    std::shared_ptr<FaultInjector> faults_;
    uint32_t lastError_ = 0;
};

}  // namespace tarnwick::platform::embedded::files
