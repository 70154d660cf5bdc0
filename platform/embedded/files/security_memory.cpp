#include "platform/embedded/files/security_memory.h"

#include <algorithm>
#include <cstring>

namespace tarnwick::platform::embedded::files::memory {

namespace {

using namespace platform::win32;

constexpr uint32_t kAclHeaderSize = 8;
constexpr uint32_t kAceHeaderSize = 4;  // type, flags, size

const uint8_t* bytesOf(const void* pointer) { return static_cast<const uint8_t*>(pointer); }
uint8_t* bytesOf(void* pointer) { return static_cast<uint8_t*>(pointer); }

uint16_t load16(const uint8_t* at) {
    uint16_t value;
    std::memcpy(&value, at, sizeof value);
    return value;
}

void store16(uint8_t* at, uint16_t value) { std::memcpy(at, &value, sizeof value); }
void store32(uint8_t* at, uint32_t value) { std::memcpy(at, &value, sizeof value); }

bool knownRevision(uint32_t revision) { return revision >= 2 && revision <= 4; }

// The layout of a valid ACL in the caller's memory.
struct AclLayout {
    uint16_t size = 0;
    uint16_t count = 0;
    std::vector<uint32_t> offsets;  // where each entry starts
    uint32_t inUse = 0;             // header plus entries
};

std::optional<AclLayout> layoutOf(const void* acl) {
    if (!acl) return std::nullopt;
    const uint8_t* base = bytesOf(acl);
    AclLayout layout;
    layout.size = load16(base + 2);
    layout.count = load16(base + 4);
    if (!knownRevision(base[0]) || layout.size < kAclHeaderSize) return std::nullopt;
    auto parsed = parseAcl(ByteView(base, layout.size));
    if (!parsed) return std::nullopt;
    uint32_t at = kAclHeaderSize;
    for (const auto& ace : parsed->aces) {
        layout.offsets.push_back(at);
        at += static_cast<uint32_t>(ace.size());
    }
    layout.inUse = at;
    return layout;
}

// The absolute descriptor's fields, read from either form.
struct DescriptorParts {
    uint16_t control = 0;
    const void* owner = nullptr;
    const void* group = nullptr;
    const void* dacl = nullptr;
};

std::optional<DescriptorParts> partsOf(const void* descriptor, uint32_t& error) {
    if (!descriptor) {
        error = kErrorInvalidSecurityDescriptor;
        return std::nullopt;
    }
    const uint8_t* base = bytesOf(descriptor);
    if (base[0] != kSecurityDescriptorRevision) {
        error = kErrorUnknownRevision;
        return std::nullopt;
    }
    DescriptorParts parts;
    parts.control = load16(base + 2);
    if (parts.control & kSeSelfRelative) {
        auto at = [&](size_t field) -> const void* {
            uint32_t offset;
            std::memcpy(&offset, base + field, sizeof offset);
            return offset ? base + offset : nullptr;
        };
        parts.owner = at(4);
        parts.group = at(8);
        parts.dacl = at(16);
    } else {
        AbsoluteSecurityDescriptor absolute;
        std::memcpy(&absolute, descriptor, sizeof absolute);
        parts.owner = absolute.Owner;
        parts.group = absolute.Group;
        parts.dacl = absolute.Dacl;
    }
    if (!(parts.control & kSeDaclPresent)) parts.dacl = nullptr;
    return parts;
}

}  // namespace

uint32_t initializeAcl(void* acl, uint32_t length, uint32_t revision) {
    if (!acl) return kErrorInvalidParameter;
    if (length < kAclHeaderSize) return kErrorInsufficientBuffer;
    if (!knownRevision(revision) || length > 0xFFFF) return kErrorInvalidParameter;
    uint8_t* base = bytesOf(acl);
    std::memset(base, 0, kAclHeaderSize);
    base[0] = static_cast<uint8_t>(revision);
    store16(base + 2, static_cast<uint16_t>(length & ~3u));
    return 0;
}

uint32_t aclInformation(const void* acl, void* information, uint32_t length,
                        uint32_t informationClass) {
    auto layout = layoutOf(acl);
    if (!layout) return kErrorInvalidAcl;
    if (!information) return kErrorInvalidParameter;
    if (informationClass == 1) {  // AclRevisionInformation
        if (length < 4) return kErrorInsufficientBuffer;
        store32(bytesOf(information), bytesOf(acl)[0]);
        return 0;
    }
    if (informationClass != kAclSizeInformation) return kErrorInvalidParameter;
    if (length < sizeof(AclSizeInformation)) return kErrorInsufficientBuffer;
    AclSizeInformation size{layout->count, layout->inUse,
                            static_cast<uint32_t>(layout->size) - layout->inUse};
    std::memcpy(information, &size, sizeof size);
    return 0;
}

uint32_t getAce(const void* acl, uint32_t index, void** ace) {
    auto layout = layoutOf(acl);
    if (!layout || !ace || index >= layout->count) return kErrorInvalidParameter;
    *ace = const_cast<uint8_t*>(bytesOf(acl)) + layout->offsets[index];
    return 0;
}

uint32_t addAce(void* acl, uint32_t revision, uint32_t startingIndex, const void* aceList,
                uint32_t aceListLength) {
    auto layout = layoutOf(acl);
    if (!layout || !knownRevision(revision) || (!aceList && aceListLength > 0)) {
        return kErrorInvalidParameter;
    }
    // The list must be whole, well-formed entries that end exactly at its length.
    const uint8_t* list = bytesOf(aceList);
    uint32_t added = 0;
    uint32_t at = 0;
    while (at < aceListLength) {
        if (aceListLength - at < kAceHeaderSize) return kErrorInvalidParameter;
        uint16_t size = load16(list + at + 2);
        if (size < kAceHeaderSize || size > aceListLength - at) return kErrorInvalidParameter;
        at += size;
        ++added;
    }
    if (aceListLength + kAclHeaderSize > 0xFFFF) return kErrorAllottedSpaceExceeded;
    Bytes check(kAclHeaderSize, 0);
    check[0] = 2;
    check.insert(check.end(), list, list + aceListLength);
    store16(check.data() + 2, static_cast<uint16_t>(check.size()));
    store16(check.data() + 4, static_cast<uint16_t>(added));
    if (!parseAcl(check)) return kErrorInvalidParameter;
    if (layout->inUse + aceListLength > layout->size) return kErrorAllottedSpaceExceeded;
    if (layout->count + added > 0xFFFF) return kErrorInvalidParameter;

    uint8_t* base = bytesOf(acl);
    uint32_t insertAt =
        startingIndex < layout->count ? layout->offsets[startingIndex] : layout->inUse;
    std::memmove(base + insertAt + aceListLength, base + insertAt, layout->inUse - insertAt);
    if (aceListLength > 0) std::memcpy(base + insertAt, list, aceListLength);
    store16(base + 4, static_cast<uint16_t>(layout->count + added));
    base[0] = static_cast<uint8_t>(std::max<uint32_t>(base[0], revision));
    return 0;
}

uint32_t addAccessAllowedAce(void* acl, uint32_t revision, uint32_t mask, const void* sid) {
    auto sidBytes = readSid(sid);
    if (!sidBytes) return kErrorInvalidSid;
    if (!knownRevision(revision)) return kErrorUnknownRevision;
    auto layout = layoutOf(acl);
    if (!layout) return kErrorInvalidAcl;
    Ace entry;
    entry.type = kAccessAllowedAceType;
    entry.mask = mask;
    entry.sid = std::move(*sidBytes);
    auto bytes = serializeAce(entry);
    if (layout->inUse + bytes.size() > layout->size) return kErrorAllottedSpaceExceeded;
    uint8_t* base = bytesOf(acl);
    std::memcpy(base + layout->inUse, bytes.data(), bytes.size());
    store16(base + 4, static_cast<uint16_t>(layout->count + 1));
    base[0] = static_cast<uint8_t>(std::max<uint32_t>(base[0], revision));
    return 0;
}

uint32_t initializeDescriptor(AbsoluteSecurityDescriptor* descriptor, uint32_t revision) {
    if (!descriptor) return kErrorInvalidParameter;
    if (revision != kSecurityDescriptorRevision) return kErrorUnknownRevision;
    *descriptor = AbsoluteSecurityDescriptor{
        static_cast<uint8_t>(revision), 0, 0, nullptr, nullptr, nullptr, nullptr};
    return 0;
}

uint32_t descriptorDacl(const void* descriptor, bool* present, void** dacl, bool* defaulted) {
    uint32_t error = 0;
    auto parts = partsOf(descriptor, error);
    if (!parts) return error;
    if (!present || !dacl || !defaulted) return kErrorInvalidParameter;
    *present = (parts->control & kSeDaclPresent) != 0;
    if (*present) {
        *dacl = const_cast<void*>(parts->dacl);
        *defaulted = (parts->control & control::kDaclDefaulted) != 0;
    }
    return 0;
}

uint32_t setDescriptorDacl(AbsoluteSecurityDescriptor* descriptor, bool present, void* dacl,
                           bool defaulted) {
    if (!descriptor) return kErrorInvalidParameter;
    if (descriptor->Revision != kSecurityDescriptorRevision) return kErrorUnknownRevision;
    if (descriptor->Control & kSeSelfRelative) return kErrorInvalidSecurityDescriptor;
    descriptor->Control &= static_cast<uint16_t>(~(kSeDaclPresent | control::kDaclDefaulted));
    descriptor->Dacl = nullptr;
    if (present) {
        descriptor->Control |= kSeDaclPresent;
        descriptor->Dacl = dacl;
        if (defaulted) descriptor->Control |= control::kDaclDefaulted;
    }
    return 0;
}

std::optional<SecurityDescriptor> readDescriptor(const void* descriptor, uint32_t information,
                                                 uint32_t& error) {
    auto parts = partsOf(descriptor, error);
    if (!parts) return std::nullopt;
    SecurityDescriptor result;
    result.control = static_cast<uint16_t>(parts->control | kSeSelfRelative);
    auto sidPart = [&](const void* sid, std::optional<Bytes>& into) {
        if (!sid) {
            error = kErrorInvalidSecurityDescriptor;
            return false;
        }
        into = readSid(sid);
        if (!into) error = kErrorInvalidSid;
        return into.has_value();
    };
    if ((information & 1) && !sidPart(parts->owner, result.owner)) return std::nullopt;
    if ((information & 2) && !sidPart(parts->group, result.group)) return std::nullopt;
    if ((information & 4) && parts->dacl) {
        auto layout = layoutOf(parts->dacl);
        if (!layout) {
            error = kErrorInvalidAcl;
            return std::nullopt;
        }
        const uint8_t* base = bytesOf(parts->dacl);
        result.dacl = Bytes(base, base + layout->size);
    }
    return result;
}

uint32_t sidLength(const void* sid) {
    if (!sid) return 0;
    return 8 + 4 * static_cast<uint32_t>(bytesOf(sid)[1]);
}

std::optional<Bytes> readSid(const void* sid) {
    if (!sid) return std::nullopt;
    const uint8_t* base = bytesOf(sid);
    if (base[0] != 1 || base[1] > 15) return std::nullopt;
    return Bytes(base, base + sidLength(sid));
}

}  // namespace tarnwick::platform::embedded::files::memory
