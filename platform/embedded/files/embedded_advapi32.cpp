#include "platform/embedded/files/embedded_advapi32.h"

#include <cstring>

#include "automation/text.h"
#include "platform/embedded/files/security_memory.h"

namespace tarnwick::platform::embedded::files {

namespace {
using namespace platform::win32;
constexpr uint32_t kErrorAlreadyExists = 183;
constexpr uint32_t kErrorInvalidName = 123;
constexpr uint32_t kErrorPrivilegeNotHeld = 1314;
constexpr uint32_t kRpcServerUnavailable = 1722;
constexpr uint32_t kOwnerGroupDacl = 1 | 2 | 4;
constexpr uint32_t kSaclSecurityInformation = 8;
}  // namespace

EmbeddedAdvapi32::EmbeddedAdvapi32(std::shared_ptr<FileSystem> files,
                                   std::shared_ptr<AccountLookup> accounts,
                                   std::shared_ptr<AnsiCodePage> ansi,
                                   std::shared_ptr<FaultInjector> faults)
    : files_(std::move(files)),
      accounts_(std::move(accounts)),
      ansi_(std::move(ansi)),
      faults_(std::move(faults)) {}

bool EmbeddedAdvapi32::injected(std::string_view function, std::string_view subject) {
    if (!faults_) return false;
    if (auto number = faults_->take(function, subject)) {
        lastError_ = static_cast<uint32_t>(*number);
        return true;
    }
    return false;
}

bool EmbeddedAdvapi32::fail(uint32_t error) {
    lastError_ = error;
    return false;
}

bool EmbeddedAdvapi32::result(uint32_t error) { return error == 0 || fail(error); }

uint32_t EmbeddedAdvapi32::win32Error(const FileError& error) {
    switch (error.kind()) {
        case FileErrorKind::NotFound: return kErrorFileNotFound;
        case FileErrorKind::PathNotFound: return kErrorPathNotFound;
        case FileErrorKind::AlreadyExists: return kErrorAlreadyExists;
        case FileErrorKind::AccessDenied: return kErrorAccessDenied;
        case FileErrorKind::InvalidName: return kErrorInvalidName;
    }
    return kErrorInvalidParameter;
}

std::string EmbeddedAdvapi32::pathOf(const char* ansi) {
    return ansi ? ansi_->toUtf8(ansi) : std::string();
}

bool EmbeddedAdvapi32::LookupAccountNameA(const char* systemName, const char* accountName,
                                          void* sid, uint32_t* sidSize, char* referencedDomainName,
                                          uint32_t* domainSize, uint32_t* sidNameUse) {
    auto name = pathOf(accountName);
    if (injected("LookupAccountNameA", name)) return false;
    if (!accountName || !sidSize || !domainSize || !sidNameUse) {
        return fail(kErrorInvalidParameter);
    }
    auto system = pathOf(systemName);
    if (!system.empty() &&
        !automation::equalsIgnoreCase(system, files_->store().settings().computerName) &&
        !automation::equalsIgnoreCase(system, "\\\\" + files_->store().settings().computerName)) {
        return fail(kRpcServerUnavailable);
    }
    auto identity = accounts_->lookupName(name);
    if (!identity) return fail(kErrorNoneMapped);

    auto domain = ansi_->fromUtf8(identity->domain);
    auto neededSid = static_cast<uint32_t>(identity->sid.size());
    auto neededDomain = static_cast<uint32_t>(domain.size());
    // Both sizes are reported when either buffer is too small; the domain's
    // size then counts its terminating zero.
    if (*sidSize < neededSid || *domainSize <= neededDomain || !sid || !referencedDomainName) {
        *sidSize = neededSid;
        *domainSize = neededDomain + 1;
        return fail(kErrorInsufficientBuffer);
    }
    std::memcpy(sid, identity->sid.data(), neededSid);
    std::memcpy(referencedDomainName, domain.c_str(), domain.size() + 1);
    *sidSize = neededSid;
    *domainSize = neededDomain;
    *sidNameUse = identity->use;
    return true;
}

bool EmbeddedAdvapi32::GetFileSecurityA(const char* fileName, uint32_t requestedInformation,
                                        void* securityDescriptor, uint32_t length,
                                        uint32_t* lengthNeeded) {
    auto path = pathOf(fileName);
    if (injected("GetFileSecurityA", path)) return false;
    if (!fileName || !lengthNeeded) return fail(kErrorInvalidParameter);
    if (requestedInformation & kSaclSecurityInformation) return fail(kErrorPrivilegeNotHeld);
    Bytes stored;
    try {
        stored = files_->securityDescriptor(path);
    } catch (const FileError& error) {
        return fail(win32Error(error));
    }
    auto parsed = parseSelfRelative(stored);
    if (!parsed) return fail(kErrorInvalidSecurityDescriptor);
    auto selected = toSelfRelative(selectParts(*parsed, requestedInformation & kOwnerGroupDacl));
    *lengthNeeded = static_cast<uint32_t>(selected.size());
    if (length < selected.size() || !securityDescriptor) return fail(kErrorInsufficientBuffer);
    std::memcpy(securityDescriptor, selected.data(), selected.size());
    return true;
}

bool EmbeddedAdvapi32::SetFileSecurityA(const char* fileName, uint32_t securityInformation,
                                        const AbsoluteSecurityDescriptor* securityDescriptor) {
    auto path = pathOf(fileName);
    if (injected("SetFileSecurityA", path)) return false;
    if (!fileName) return fail(kErrorInvalidParameter);
    if (securityInformation & kSaclSecurityInformation) return fail(kErrorPrivilegeNotHeld);
    const uint32_t parts = securityInformation & kOwnerGroupDacl;
    uint32_t error = 0;
    auto given = memory::readDescriptor(securityDescriptor, parts, error);
    if (!given) return fail(error);
    try {
        auto stored = parseSelfRelative(files_->securityDescriptor(path));
        if (!stored) return fail(kErrorInvalidSecurityDescriptor);
        if (parts & 1) stored->owner = given->owner;
        if (parts & 2) stored->group = given->group;
        if (parts & 4) {
            stored->dacl = given->dacl;
            stored->control = static_cast<uint16_t>((stored->control & ~control::kDaclBits) |
                                                    (given->control & control::kDaclBits));
        }
        files_->setSecurityDescriptor(path, toSelfRelative(*stored));
    } catch (const FileError& failure) {
        return fail(win32Error(failure));
    }
    return true;
}

bool EmbeddedAdvapi32::InitializeSecurityDescriptor(AbsoluteSecurityDescriptor* securityDescriptor,
                                                    uint32_t revision) {
    if (injected("InitializeSecurityDescriptor", "")) return false;
    return result(memory::initializeDescriptor(securityDescriptor, revision));
}

bool EmbeddedAdvapi32::GetSecurityDescriptorDacl(const void* securityDescriptor, bool* daclPresent,
                                                 void** dacl, bool* daclDefaulted) {
    if (injected("GetSecurityDescriptorDacl", "")) return false;
    return result(memory::descriptorDacl(securityDescriptor, daclPresent, dacl, daclDefaulted));
}

bool EmbeddedAdvapi32::SetSecurityDescriptorDacl(AbsoluteSecurityDescriptor* securityDescriptor,
                                                 bool daclPresent, void* dacl, bool daclDefaulted) {
    if (injected("SetSecurityDescriptorDacl", "")) return false;
    return result(memory::setDescriptorDacl(securityDescriptor, daclPresent, dacl, daclDefaulted));
}

bool EmbeddedAdvapi32::GetAclInformation(const void* acl, void* information, uint32_t length,
                                         uint32_t informationClass) {
    if (injected("GetAclInformation", "")) return false;
    return result(memory::aclInformation(acl, information, length, informationClass));
}

bool EmbeddedAdvapi32::InitializeAcl(void* acl, uint32_t length, uint32_t revision) {
    if (injected("InitializeAcl", "")) return false;
    return result(memory::initializeAcl(acl, length, revision));
}

bool EmbeddedAdvapi32::GetAce(const void* acl, uint32_t index, void** ace) {
    if (injected("GetAce", "")) return false;
    return result(memory::getAce(acl, index, ace));
}

bool EmbeddedAdvapi32::AddAce(void* acl, uint32_t revision, uint32_t startingIndex,
                              const void* aceList, uint32_t aceListLength) {
    if (injected("AddAce", "")) return false;
    return result(memory::addAce(acl, revision, startingIndex, aceList, aceListLength));
}

bool EmbeddedAdvapi32::AddAccessAllowedAce(void* acl, uint32_t revision, uint32_t accessMask,
                                           const void* sid) {
    if (injected("AddAccessAllowedAce", "")) return false;
    return result(memory::addAccessAllowedAce(acl, revision, accessMask, sid));
}

uint32_t EmbeddedAdvapi32::GetLengthSid(const void* sid) { return memory::sidLength(sid); }

bool EmbeddedAdvapi32::EqualSid(const void* sid1, const void* sid2) {
    if (injected("EqualSid", "")) return false;
    auto first = memory::readSid(sid1);
    auto second = memory::readSid(sid2);
    if (!first || !second) return fail(kErrorInvalidSid);
    lastError_ = 0;  // EqualSid reports a mere difference with ERROR_SUCCESS
    return *first == *second;
}

uint32_t EmbeddedAdvapi32::GetFileAttributesA(const char* fileName) {
    auto path = pathOf(fileName);
    if (injected("GetFileAttributesA", path)) return kInvalidFileAttributes;
    try {
        auto entry = files_->entry(path);
        // A file with no attribute set reports FILE_ATTRIBUTE_NORMAL.
        return entry.attributes == 0 ? 0x80 : entry.attributes;
    } catch (const FileError& error) {
        fail(win32Error(error));
        return kInvalidFileAttributes;
    }
}

}  // namespace tarnwick::platform::embedded::files
