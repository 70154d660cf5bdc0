// The advapi32 security calls that folder permissions use, in their ANSI
// forms, with the records laid out as Windows lays them out. The core calls
// them exactly as it would call the system; the embedded platform implements
// them over its stored security descriptors, the Windows adapter forwards
// them to advapi32.dll.
//
// Every function returns true on success; on failure GetLastError() gives
// the Win32 error (ERROR_INSUFFICIENT_BUFFER 122, ERROR_NONE_MAPPED 1332,
// ERROR_FILE_NOT_FOUND 2, ...).
#pragma once

#include <cstdint>

namespace tarnwick::platform {

namespace win32 {
inline constexpr uint32_t kErrorFileNotFound = 2;
inline constexpr uint32_t kErrorPathNotFound = 3;
inline constexpr uint32_t kErrorAccessDenied = 5;
inline constexpr uint32_t kErrorInvalidParameter = 87;
inline constexpr uint32_t kErrorInsufficientBuffer = 122;
inline constexpr uint32_t kErrorInvalidAcl = 1336;
inline constexpr uint32_t kErrorInvalidSid = 1337;
inline constexpr uint32_t kErrorInvalidSecurityDescriptor = 1338;
inline constexpr uint32_t kErrorNoneMapped = 1332;
inline constexpr uint32_t kErrorAllottedSpaceExceeded = 1344;
inline constexpr uint32_t kErrorUnknownRevision = 1305;

inline constexpr uint32_t kDaclSecurityInformation = 4;
inline constexpr uint32_t kSecurityDescriptorRevision = 1;
inline constexpr uint32_t kAclRevision = 2;
inline constexpr uint32_t kAclSizeInformation = 2;
inline constexpr uint32_t kFileAttributeReadOnly = 0x1;
inline constexpr uint32_t kFileAttributeDirectory = 0x10;
inline constexpr uint32_t kInvalidFileAttributes = 0xFFFFFFFF;
inline constexpr uint8_t kAccessAllowedAceType = 0;
inline constexpr uint8_t kAccessDeniedAceType = 1;
inline constexpr uint8_t kObjectInheritAce = 0x1;
inline constexpr uint8_t kContainerInheritAce = 0x2;
inline constexpr uint8_t kNoPropagateInheritAce = 0x4;
inline constexpr uint8_t kInheritOnlyAce = 0x8;
inline constexpr uint8_t kInheritedAce = 0x10;
inline constexpr uint16_t kSeDaclPresent = 0x0004;
inline constexpr uint16_t kSeSelfRelative = 0x8000;
}  // namespace win32

// SECURITY_DESCRIPTOR (absolute form).
struct AbsoluteSecurityDescriptor {
    uint8_t Revision;
    uint8_t Sbz1;
    uint16_t Control;
    void* Owner;
    void* Group;
    void* Sacl;
    void* Dacl;
};

// ACL_SIZE_INFORMATION.
struct AclSizeInformation {
    uint32_t AceCount;
    uint32_t AclBytesInUse;
    uint32_t AclBytesFree;
};

class Advapi32 {
public:
    virtual ~Advapi32() = default;

    virtual bool LookupAccountNameA(const char* systemName, const char* accountName, void* sid,
                                    uint32_t* sidSize, char* referencedDomainName,
                                    uint32_t* domainSize, uint32_t* sidNameUse) = 0;
    virtual bool GetFileSecurityA(const char* fileName, uint32_t requestedInformation,
                                  void* securityDescriptor, uint32_t length,
                                  uint32_t* lengthNeeded) = 0;
    virtual bool SetFileSecurityA(const char* fileName, uint32_t securityInformation,
                                  const AbsoluteSecurityDescriptor* securityDescriptor) = 0;
    virtual bool InitializeSecurityDescriptor(AbsoluteSecurityDescriptor* securityDescriptor,
                                              uint32_t revision) = 0;
    // Works on both forms; for a self-relative descriptor *dacl points into it.
    virtual bool GetSecurityDescriptorDacl(const void* securityDescriptor, bool* daclPresent,
                                           void** dacl, bool* daclDefaulted) = 0;
    virtual bool SetSecurityDescriptorDacl(AbsoluteSecurityDescriptor* securityDescriptor,
                                           bool daclPresent, void* dacl, bool daclDefaulted) = 0;
    virtual bool GetAclInformation(const void* acl, void* information, uint32_t length,
                                   uint32_t informationClass) = 0;
    virtual bool InitializeAcl(void* acl, uint32_t length, uint32_t revision) = 0;
    virtual bool GetAce(const void* acl, uint32_t index, void** ace) = 0;
    virtual bool AddAce(void* acl, uint32_t revision, uint32_t startingIndex, const void* aceList,
                        uint32_t aceListLength) = 0;
    virtual bool AddAccessAllowedAce(void* acl, uint32_t revision, uint32_t accessMask,
                                     const void* sid) = 0;
    virtual uint32_t GetLengthSid(const void* sid) = 0;
    virtual bool EqualSid(const void* sid1, const void* sid2) = 0;
    // kernel32, used to tell a folder from a file.
    virtual uint32_t GetFileAttributesA(const char* fileName) = 0;
    virtual uint32_t GetLastError() = 0;
};

}  // namespace tarnwick::platform
