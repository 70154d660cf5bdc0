// A security descriptor as the state document shows it (under "files"):
//   {"owner": "BA", "group": "SY", "control": "0x8004",
//    "dacl": "D:(A;OICI;FA;;;BA)...", "dacl_hex": "02007400..."}
// "dacl" is SDDL for people; "dacl_hex", "control", "owner" and "group"
// restore the descriptor byte for byte. Bytes that are no self-relative
// descriptor come back as {"security_hex": "..."}. `platform dump` writes
// each folder's and file's descriptor so, and `tarnwick.exe platform export`
// writes a Windows folder's the same way.
#pragma once

#include <nlohmann/json.hpp>

#include "platform/embedded/files/security_descriptor.h"

namespace tarnwick::platform::embedded::files {

nlohmann::json securityDocument(ByteView selfRelative);

}  // namespace tarnwick::platform::embedded::files
