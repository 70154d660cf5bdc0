#include "platform/embedded/files/security_descriptor.h"

#include <charconv>

namespace tarnwick::platform::embedded::files {

namespace {

constexpr size_t kAclHeaderSize = 8;
constexpr size_t kAceHeaderSize = 8;  // type, flags, size, mask
constexpr size_t kDescriptorHeaderSize = 20;

constexpr uint8_t kObjectInherit = 0x1;
constexpr uint8_t kContainerInherit = 0x2;
constexpr uint8_t kNoPropagate = 0x4;
constexpr uint8_t kInheritOnly = 0x8;
constexpr uint8_t kInherited = 0x10;

uint16_t read16(ByteView bytes, size_t at) {
    return static_cast<uint16_t>(bytes[at] | (bytes[at + 1] << 8));
}

uint32_t read32(ByteView bytes, size_t at) {
    return static_cast<uint32_t>(bytes[at]) | (static_cast<uint32_t>(bytes[at + 1]) << 8) |
           (static_cast<uint32_t>(bytes[at + 2]) << 16) |
           (static_cast<uint32_t>(bytes[at + 3]) << 24);
}

void put16(Bytes& bytes, size_t at, uint16_t value) {
    bytes[at] = static_cast<uint8_t>(value);
    bytes[at + 1] = static_cast<uint8_t>(value >> 8);
}

void put32(Bytes& bytes, size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

// Access entries whose body is a mask and a SID.
bool hasSidBody(uint8_t type) { return type <= 3; }

}  // namespace

// ---- SIDs ------------------------------------------------------------------

std::optional<size_t> sidLength(ByteView bytes) {
    if (bytes.size() < 8 || bytes[0] != 1 || bytes[1] > 15) return std::nullopt;
    size_t length = 8 + 4 * static_cast<size_t>(bytes[1]);
    if (bytes.size() < length) return std::nullopt;
    return length;
}

std::string sidToString(ByteView sid) {
    auto length = sidLength(sid);
    if (!length) return "(invalid SID)";
    uint64_t authority = 0;
    for (int i = 2; i < 8; ++i) authority = (authority << 8) | sid[i];
    std::string text = "S-1-" + std::to_string(authority);
    for (size_t i = 8; i < *length; i += 4) text += "-" + std::to_string(read32(sid, i));
    return text;
}

std::optional<Bytes> sidFromString(std::string_view text) {
    if (text.size() < 4 || (text[0] != 'S' && text[0] != 's') || text[1] != '-') {
        return std::nullopt;
    }
    std::vector<uint64_t> numbers;
    size_t at = 2;
    while (true) {
        uint64_t value = 0;
        auto [end, error] = std::from_chars(text.data() + at, text.data() + text.size(), value);
        if (error != std::errc() || end == text.data() + at) return std::nullopt;
        numbers.push_back(value);
        at = static_cast<size_t>(end - text.data());
        if (at == text.size()) break;
        if (text[at] != '-') return std::nullopt;
        ++at;
    }
    if (numbers.size() < 2 || numbers[0] != 1 || numbers.size() - 2 > 15) return std::nullopt;
    if (numbers[1] > 0xFFFFFFFFFFFFull) return std::nullopt;
    Bytes sid(8 + 4 * (numbers.size() - 2));
    sid[0] = 1;
    sid[1] = static_cast<uint8_t>(numbers.size() - 2);
    for (int i = 0; i < 6; ++i) sid[2 + i] = static_cast<uint8_t>(numbers[1] >> (8 * (5 - i)));
    for (size_t i = 2; i < numbers.size(); ++i) {
        if (numbers[i] > 0xFFFFFFFFu) return std::nullopt;
        put32(sid, 8 + 4 * (i - 2), static_cast<uint32_t>(numbers[i]));
    }
    return sid;
}

Bytes makeSid(uint64_t authority, std::initializer_list<uint32_t> subAuthorities) {
    Bytes sid(8 + 4 * subAuthorities.size());
    sid[0] = 1;
    sid[1] = static_cast<uint8_t>(subAuthorities.size());
    for (int i = 0; i < 6; ++i) sid[2 + i] = static_cast<uint8_t>(authority >> (8 * (5 - i)));
    size_t at = 8;
    for (uint32_t value : subAuthorities) {
        put32(sid, at, value);
        at += 4;
    }
    return sid;
}

namespace wellKnown {
Bytes everyone() { return makeSid(1, {0}); }
Bytes creatorOwner() { return makeSid(3, {0}); }
Bytes creatorGroup() { return makeSid(3, {1}); }
Bytes system() { return makeSid(5, {18}); }
Bytes administrators() { return makeSid(5, {32, 544}); }
Bytes users() { return makeSid(5, {32, 545}); }
Bytes guests() { return makeSid(5, {32, 546}); }
}  // namespace wellKnown

uint32_t mapGenericFileRights(uint32_t mask) {
    uint32_t mapped = mask & ~(access::kGenericRead | access::kGenericWrite |
                               access::kGenericExecute | access::kGenericAll);
    if (mask & access::kGenericRead) mapped |= access::kFileGenericRead;
    if (mask & access::kGenericWrite) mapped |= access::kFileGenericWrite;
    if (mask & access::kGenericExecute) mapped |= access::kFileGenericExecute;
    if (mask & access::kGenericAll) mapped |= access::kFileAllAccess;
    return mapped;
}

// ---- ACLs ------------------------------------------------------------------

std::optional<Acl> parseAcl(ByteView bytes) {
    if (bytes.size() < kAclHeaderSize) return std::nullopt;
    Acl acl;
    acl.revision = bytes[0];
    acl.size = read16(bytes, 2);
    uint16_t count = read16(bytes, 4);
    if (acl.revision < 2 || acl.revision > 4 || acl.size < kAclHeaderSize ||
        acl.size > bytes.size()) {
        return std::nullopt;
    }
    auto body = bytes.first(acl.size);
    size_t at = kAclHeaderSize;
    for (uint16_t i = 0; i < count; ++i) {
        if (at + kAceHeaderSize > body.size()) return std::nullopt;
        Ace ace;
        ace.type = body[at];
        ace.flags = body[at + 1];
        size_t size = read16(body, at + 2);
        ace.mask = read32(body, at + 4);
        if (size < kAceHeaderSize || at + size > body.size()) return std::nullopt;
        auto rest = body.subspan(at + kAceHeaderSize, size - kAceHeaderSize);
        if (hasSidBody(ace.type)) {
            auto length = sidLength(rest);
            if (!length) return std::nullopt;
            ace.sid.assign(rest.begin(), rest.begin() + static_cast<ptrdiff_t>(*length));
            ace.tail.assign(rest.begin() + static_cast<ptrdiff_t>(*length), rest.end());
        } else {
            ace.sid.assign(rest.begin(), rest.end());
        }
        acl.aces.push_back(std::move(ace));
        at += size;
    }
    return acl;
}

Bytes serializeAce(const Ace& ace) {
    Bytes bytes(kAceHeaderSize);
    bytes[0] = ace.type;
    bytes[1] = ace.flags;
    put16(bytes, 2, static_cast<uint16_t>(ace.size()));
    put32(bytes, 4, ace.mask);
    bytes.insert(bytes.end(), ace.sid.begin(), ace.sid.end());
    bytes.insert(bytes.end(), ace.tail.begin(), ace.tail.end());
    return bytes;
}

Bytes serializeAcl(const Acl& acl) {
    Bytes bytes(kAclHeaderSize);
    for (const auto& ace : acl.aces) {
        auto entry = serializeAce(ace);
        bytes.insert(bytes.end(), entry.begin(), entry.end());
    }
    if (acl.size > bytes.size()) bytes.resize(acl.size, 0);
    bytes[0] = acl.revision;
    put16(bytes, 2, static_cast<uint16_t>(bytes.size()));
    put16(bytes, 4, static_cast<uint16_t>(acl.aces.size()));
    return bytes;
}

// ---- Descriptors -----------------------------------------------------------

std::optional<SecurityDescriptor> parseSelfRelative(ByteView bytes) {
    if (bytes.size() < kDescriptorHeaderSize || bytes[0] != 1) return std::nullopt;
    SecurityDescriptor descriptor;
    descriptor.control = read16(bytes, 2);
    if (!(descriptor.control & control::kSelfRelative)) return std::nullopt;
    auto sidAt = [&](uint32_t offset) -> std::optional<std::optional<Bytes>> {
        if (offset == 0) return std::optional<Bytes>();
        if (offset >= bytes.size()) return std::nullopt;
        auto length = sidLength(bytes.subspan(offset));
        if (!length) return std::nullopt;
        return std::optional<Bytes>(
            Bytes(bytes.begin() + offset, bytes.begin() + offset + *length));
    };
    auto owner = sidAt(read32(bytes, 4));
    auto group = sidAt(read32(bytes, 8));
    if (!owner || !group) return std::nullopt;
    descriptor.owner = *owner;
    descriptor.group = *group;
    uint32_t daclOffset = read32(bytes, 16);
    if (descriptor.daclPresent() && daclOffset != 0) {
        if (daclOffset >= bytes.size()) return std::nullopt;
        auto acl = bytes.subspan(daclOffset);
        if (!parseAcl(acl)) return std::nullopt;
        descriptor.dacl = Bytes(acl.begin(), acl.begin() + read16(acl, 2));
    }
    return descriptor;
}

Bytes toSelfRelative(const SecurityDescriptor& descriptor) {
    Bytes bytes(kDescriptorHeaderSize, 0);
    bytes[0] = 1;
    put16(bytes, 2, static_cast<uint16_t>(descriptor.control | control::kSelfRelative));
    auto append = [&](const Bytes& part, size_t offsetAt) {
        put32(bytes, offsetAt, static_cast<uint32_t>(bytes.size()));
        bytes.insert(bytes.end(), part.begin(), part.end());
    };
    if (descriptor.daclPresent() && descriptor.dacl) append(*descriptor.dacl, 16);
    if (descriptor.owner) append(*descriptor.owner, 4);
    if (descriptor.group) append(*descriptor.group, 8);
    return bytes;
}

SecurityDescriptor selectParts(const SecurityDescriptor& descriptor, uint32_t information) {
    SecurityDescriptor selected;
    selected.control = control::kSelfRelative;
    if (information & 1) {
        selected.owner = descriptor.owner;
        selected.control |= descriptor.control & control::kOwnerDefaulted;
    }
    if (information & 2) {
        selected.group = descriptor.group;
        selected.control |= descriptor.control & control::kGroupDefaulted;
    }
    if (information & 4) {
        selected.dacl = descriptor.dacl;
        selected.control |= descriptor.control & control::kDaclBits;
    }
    return selected;
}

// ---- Defaults and inheritance -----------------------------------------------

Bytes defaultOwner() { return wellKnown::administrators(); }
Bytes defaultGroup() { return wellKnown::system(); }

namespace {

Ace allow(uint8_t flags, uint32_t mask, Bytes sid) {
    Ace ace;
    ace.type = 0;
    ace.flags = flags;
    ace.mask = mask;
    ace.sid = std::move(sid);
    return ace;
}

Bytes descriptorWith(Acl dacl) {
    SecurityDescriptor descriptor;
    descriptor.owner = defaultOwner();
    descriptor.group = defaultGroup();
    descriptor.dacl = serializeAcl(dacl);
    return toSelfRelative(descriptor);
}

}  // namespace

Bytes defaultRootDescriptor(WindowsRelease release) {
    constexpr uint8_t kInheritBoth = kObjectInherit | kContainerInherit;
    Acl dacl;
    if (release == WindowsRelease::Windows2000) {
        dacl.aces = {allow(kInheritBoth, access::kFileAllAccess, wellKnown::everyone())};
        return descriptorWith(std::move(dacl));
    }
    dacl.aces = {
        allow(kInheritBoth, access::kFileAllAccess, wellKnown::administrators()),
        allow(kInheritBoth, access::kFileAllAccess, wellKnown::system()),
        allow(kInheritBoth | kInheritOnly, access::kGenericAll, wellKnown::creatorOwner()),
        allow(kInheritBoth, access::kReadAndExecute, wellKnown::users()),
        allow(0, access::kReadAndExecute, wellKnown::everyone()),
    };
    return descriptorWith(std::move(dacl));
}

Bytes inheritedDescriptor(ByteView parent, bool isFolder) {
    Bytes owner = defaultOwner();
    Bytes group = defaultGroup();
    Acl inherited;
    auto parsed = parseSelfRelative(parent);
    std::optional<Acl> parentDacl;
    if (parsed && parsed->dacl) parentDacl = parseAcl(*parsed->dacl);

    for (const auto& ace : parentDacl ? parentDacl->aces : std::vector<Ace>{}) {
        const uint8_t inheritance = ace.flags & (kObjectInherit | kContainerInherit);
        const bool noPropagate = (ace.flags & kNoPropagate) != 0;
        const uint8_t kept = ace.flags & ~(kObjectInherit | kContainerInherit | kNoPropagate |
                                           kInheritOnly | kInherited);
        if (isFolder ? inheritance == 0 : !(inheritance & kObjectInherit)) continue;

        if (isFolder && !(inheritance & kContainerInherit)) {
            // Object-inherit only: the folder passes it on to its files.
            if (noPropagate) continue;
            Ace passOn = ace;
            passOn.flags = kept | kObjectInherit | kInheritOnly | kInherited;
            inherited.aces.push_back(std::move(passOn));
            continue;
        }

        Ace effective = ace;
        effective.flags = kept | kInherited;
        if (hasSidBody(ace.type)) {
            effective.mask = mapGenericFileRights(ace.mask);
            if (ace.sid == wellKnown::creatorOwner()) effective.sid = owner;
            if (ace.sid == wellKnown::creatorGroup()) effective.sid = group;
        }
        const bool propagates = isFolder && !noPropagate;
        if (!propagates) {
            inherited.aces.push_back(std::move(effective));
        } else if (effective.mask != ace.mask || effective.sid != ace.sid) {
            Ace passOn = ace;
            passOn.flags = kept | inheritance | kInheritOnly | kInherited;
            inherited.aces.push_back(std::move(effective));
            inherited.aces.push_back(std::move(passOn));
        } else {
            effective.flags = kept | inheritance | kInherited;
            inherited.aces.push_back(std::move(effective));
        }
    }

    if (inherited.aces.empty()) {
        inherited.aces = {allow(0, access::kFileAllAccess, wellKnown::administrators()),
                          allow(0, access::kFileAllAccess, wellKnown::system())};
    }
    return descriptorWith(std::move(inherited));
}

}  // namespace tarnwick::platform::embedded::files
