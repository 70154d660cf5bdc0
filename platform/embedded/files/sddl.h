// The security descriptor definition language for DACLs, as `tarnwick
// platform dump` shows them and a state document may give them:
// "D:(A;OICI;FA;;;BA)(A;;0x1200a9;;;WD)". Entries are allowed (A) and denied
// (D) access entries; rights are written as one alias (FA, FR, FW, FX), as
// two-letter right names (GA, GR, GW, GX, RC, SD, WD, WO, CC, DC, LC, SW, RP,
// WP, DT, LO, CR) or as a hexadecimal mask; trustees as the usual aliases (BA,
// BU, BG, SY, WD, CO, CG, AU, ...) or as SID strings.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/embedded/files/security_descriptor.h"

namespace tarnwick::platform::embedded::files {

// The SDDL of a DACL given as ACL bytes ("D:" + entries); `controlBits` adds
// the P (protected), AI (auto-inherited) and AR flags after "D:". A NULL DACL
// (nullopt) is "D:NO_ACCESS_CONTROL".
std::string daclToSddl(const std::optional<Bytes>& dacl, uint16_t controlBits = 0);

struct SddlDacl {
    std::optional<Bytes> dacl;  // nullopt for NO_ACCESS_CONTROL
    uint16_t controlBits = 0;   // kDaclProtected, kDaclAutoInherited, kDaclAutoInheritRequired
};

// Parses a "D:..." string. On failure returns nullopt and sets `error` to
// what is wrong.
std::optional<SddlDacl> daclFromSddl(std::string_view text, std::string& error);

// The alias of a well-known SID ("BA"), or the SID string.
std::string sidToSddl(ByteView sid);
std::optional<Bytes> sidFromSddl(std::string_view text);

}  // namespace tarnwick::platform::embedded::files
