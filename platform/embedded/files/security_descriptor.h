// Security identifiers, access-control lists and self-relative security
// descriptors in the binary layout Windows uses, and the inheritance that a
// new file or folder receives from its parent folder.
//
// Layouts (all numbers little-endian, except a SID's 48-bit authority):
//   SID  revision 1, sub-authority count n, authority (6 bytes, big-endian),
//        n sub-authorities of 4 bytes: 8 + 4n bytes.
//   ACL  revision, 0, size (2), ACE count (2), 0 (2), then the ACEs.
//   ACE  type, flags, size (2), access mask (4), SID (allowed, denied, audit
//        and alarm entries); other types are kept as opaque bytes.
//   Self-relative descriptor: revision 1, 0, control (2), offsets of owner,
//        group, SACL and DACL (4 each, 0 when absent), then the DACL, owner
//        and group in that order, as Windows writes them.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tarnwick::platform::embedded::files {

using Bytes = std::vector<uint8_t>;
using ByteView = std::span<const uint8_t>;

// ---- SIDs ------------------------------------------------------------------

// The length of the SID at the start of `bytes` when it is a valid SID that
// fits (revision 1, at most 15 sub-authorities).
std::optional<size_t> sidLength(ByteView bytes);
// "S-1-5-32-544".
std::string sidToString(ByteView sid);
// Parses "S-1-5-32-544"; nullopt for anything else.
std::optional<Bytes> sidFromString(std::string_view text);
Bytes makeSid(uint64_t authority, std::initializer_list<uint32_t> subAuthorities);

namespace wellKnown {
Bytes everyone();        // S-1-1-0
Bytes creatorOwner();    // S-1-3-0
Bytes creatorGroup();    // S-1-3-1
Bytes system();          // S-1-5-18
Bytes administrators();  // S-1-5-32-544
Bytes users();           // S-1-5-32-545
Bytes guests();          // S-1-5-32-546
}  // namespace wellKnown

// ---- Access masks ----------------------------------------------------------

namespace access {
inline constexpr uint32_t kGenericRead = 0x80000000;
inline constexpr uint32_t kGenericWrite = 0x40000000;
inline constexpr uint32_t kGenericExecute = 0x20000000;
inline constexpr uint32_t kGenericAll = 0x10000000;
inline constexpr uint32_t kFileAllAccess = 0x001F01FF;
inline constexpr uint32_t kFileGenericRead = 0x00120089;
inline constexpr uint32_t kFileGenericWrite = 0x00120116;
inline constexpr uint32_t kFileGenericExecute = 0x001200A0;
inline constexpr uint32_t kReadAndExecute = kFileGenericRead | kFileGenericExecute;  // 0x1200A9
}  // namespace access

// Replaces generic rights by the file rights they stand for.
uint32_t mapGenericFileRights(uint32_t mask);

// ---- ACEs and ACLs ---------------------------------------------------------

struct Ace {
    uint8_t type = 0;
    uint8_t flags = 0;
    uint32_t mask = 0;
    Bytes sid;   // the trustee; for types other than 0..3 the opaque rest of the entry
    Bytes tail;  // bytes after the SID that the entry's size covers (kept as they were)

    size_t size() const { return 8 + sid.size() + tail.size(); }
    bool operator==(const Ace&) const = default;
};

struct Acl {
    uint8_t revision = 2;
    uint16_t size = 0;  // the declared size; 0 means "exactly what the entries need"
    std::vector<Ace> aces;

    bool operator==(const Acl&) const = default;
};

// Parses an ACL as Windows checks one: revision 2 to 4, a declared size that
// covers the header and every entry, entries of at least 8 bytes, SIDs that
// are valid and fit their entry. `bytes` may hold more than the ACL.
std::optional<Acl> parseAcl(ByteView bytes);
// The ACL's bytes: exactly its declared size (free space zeroed), or the
// bytes its entries need when no size is declared.
Bytes serializeAcl(const Acl& acl);
Bytes serializeAce(const Ace& ace);

// ---- Security descriptors --------------------------------------------------

namespace control {
inline constexpr uint16_t kOwnerDefaulted = 0x0001;
inline constexpr uint16_t kGroupDefaulted = 0x0002;
inline constexpr uint16_t kDaclPresent = 0x0004;
inline constexpr uint16_t kDaclDefaulted = 0x0008;
inline constexpr uint16_t kSaclPresent = 0x0010;
inline constexpr uint16_t kDaclAutoInheritRequired = 0x0100;
inline constexpr uint16_t kDaclAutoInherited = 0x0400;
inline constexpr uint16_t kDaclProtected = 0x1000;
inline constexpr uint16_t kSelfRelative = 0x8000;
// The bits that describe the DACL (kept with it when only the DACL changes).
inline constexpr uint16_t kDaclBits =
    kDaclPresent | kDaclDefaulted | kDaclAutoInheritRequired | kDaclAutoInherited | kDaclProtected;
}  // namespace control

// A descriptor taken apart. The DACL is kept as raw bytes so that it is
// stored and returned exactly as it was set.
struct SecurityDescriptor {
    uint16_t control = control::kDaclPresent | control::kSelfRelative;
    std::optional<Bytes> owner;
    std::optional<Bytes> group;
    // With kDaclPresent: the ACL's bytes, or nullopt for a NULL DACL.
    std::optional<Bytes> dacl;

    bool daclPresent() const { return (control & control::kDaclPresent) != 0; }
    bool operator==(const SecurityDescriptor&) const = default;
};

std::optional<SecurityDescriptor> parseSelfRelative(ByteView bytes);
Bytes toSelfRelative(const SecurityDescriptor& descriptor);

// The parts a caller asked for (OWNER 1, GROUP 2, DACL 4): the other parts
// are left out, and so are their control bits.
SecurityDescriptor selectParts(const SecurityDescriptor& descriptor, uint32_t information);

// ---- Drive defaults and inheritance ----------------------------------------

// The owner and group that every entry the platform creates receives: the
// administrators who run the server, and SYSTEM.
Bytes defaultOwner();
Bytes defaultGroup();

// The Windows release whose defaults a drive gets.
enum class WindowsRelease { Windows2000, Windows2003 };

// The DACL of a drive root. Windows Server 2003: Administrators and SYSTEM
// full control for the root, its folders and files; CREATOR OWNER full
// control on what lies below (inherit only); Users read and execute
// throughout; Everyone read and execute on the root alone. Windows 2000: an
// NTFS volume grants Everyone full control on the root and everything below
// it, which every new folder inherits.
Bytes defaultRootDescriptor(WindowsRelease release = WindowsRelease::Windows2003);

// The descriptor of a new folder (`isFolder`) or file created in a folder
// with `parent` as its descriptor. Entries of the parent's DACL pass down as
// Windows passes them: object-inherit entries to files, container-inherit
// entries to folders (and object-inherit ones to folders as inherit-only, to
// reach their files), nothing further when no-propagate is set, every passed
// entry marked inherited (0x10). Where an entry takes effect on the new
// object, CREATOR OWNER/GROUP become the new owner/group and generic rights
// become file rights; when such an entry must also pass on further, it is
// split into the effective entry and an inherit-only copy of the original.
// When nothing is inherited the new object gets the creator's default DACL
// (Administrators and SYSTEM, full control, not inheritable).
Bytes inheritedDescriptor(ByteView parent, bool isFolder);

}  // namespace tarnwick::platform::embedded::files
