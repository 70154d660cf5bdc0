// The advapi32 functions that work on security records in the caller's
// memory, with the checks and error numbers of Windows. Each function
// returns 0 on success or the Win32 error to report through GetLastError.
//
// The caller's buffers have no length besides what the records declare: an
// ACL is read and written only within its own declared size, a SID within
// the length its sub-authority count gives. Multi-byte fields are copied
// byte by byte, so records may sit at any address (the folder-permission
// routine works in plain byte arrays).
#pragma once

#include <cstdint>
#include <optional>

#include "platform/advapi32.h"
#include "platform/embedded/files/security_descriptor.h"

namespace tarnwick::platform::embedded::files::memory {

// ACLs. InitializeAcl takes the size down to a multiple of 4 (an ACL's size is
// DWORD-aligned), so the list never claims bytes beyond the caller's buffer.
uint32_t initializeAcl(void* acl, uint32_t length, uint32_t revision);
uint32_t aclInformation(const void* acl, void* information, uint32_t length,
                        uint32_t informationClass);
uint32_t getAce(const void* acl, uint32_t index, void** ace);
// Inserts the entries of `aceList` before entry `startingIndex`; an index at
// or past the end (0xFFFFFFFF) appends them.
uint32_t addAce(void* acl, uint32_t revision, uint32_t startingIndex, const void* aceList,
                uint32_t aceListLength);
// Appends an access-allowed entry with flags 0.
uint32_t addAccessAllowedAce(void* acl, uint32_t revision, uint32_t mask, const void* sid);

// Security descriptors: the absolute form is AbsoluteSecurityDescriptor, the
// self-relative form the bytes security_descriptor.h describes.
uint32_t initializeDescriptor(AbsoluteSecurityDescriptor* descriptor, uint32_t revision);
uint32_t descriptorDacl(const void* descriptor, bool* present, void** dacl, bool* defaulted);
uint32_t setDescriptorDacl(AbsoluteSecurityDescriptor* descriptor, bool present, void* dacl,
                           bool defaulted);
// Copies the parts that `information` names (OWNER 1, GROUP 2, DACL 4) out of
// a descriptor in either form; on failure returns nullopt and sets `error`.
std::optional<SecurityDescriptor> readDescriptor(const void* descriptor, uint32_t information,
                                                 uint32_t& error);

// SIDs.
uint32_t sidLength(const void* sid);
// A copy of a valid SID, or nullopt.
std::optional<Bytes> readSid(const void* sid);

}  // namespace tarnwick::platform::embedded::files::memory
