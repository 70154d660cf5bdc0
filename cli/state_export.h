// A server's state as the state document that `tarnwick platform dump`
// writes and `tarnwick platform load` takes, read through the platform's
// directory objects and advapi32 only (on Windows: the IIS and WinNT
// providers and the folders' security descriptors). Nothing is written.
//
//   settings  the computer, the IIS version (6 when W3SVC has AppPools), the
//             ANSI code page, the master control site's folder (the
//             lowest-numbered site whose root folder holds Template) and the
//             drives the folders below name
//   metabase  /LM/W3SVC and every key below it of a class the platform knows,
//             with the properties the key sets itself (a property the key
//             reads from a key above, GetPropertyAttribObj's IsInherit, is
//             not listed); a password the metabase keeps encrypted is
//             {"type": "secret"}, never its text; a site's ServerState is its
//             "state" (started 2, anything else stopped 4)
//   accounts  the local users (no passwords) and groups with their SIDs, and
//             each group's members that are local users
//   files     every site's root folder that exists, the folders above it and
//             the master control site's Template folder, each with its owner,
//             group and DACL
//
// What the platform could not take is left out, and said in `leftOut`.
#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "platform/advapi32.h"
#include "platform/directory.h"
#include "platform/system.h"

namespace tarnwick::cli {

struct ExportSource {
    platform::Directory& directory;
    platform::Advapi32& advapi32;
    platform::AnsiCodePage& ansi;
    std::string computer;  // the server's name, as WinNT:// paths take it
};

struct ExportedState {
    nlohmann::json document;
    // One line for each thing left out, with why.
    std::vector<std::string> leftOut;
};

// Raises AutomationError when the metabase or the accounts cannot be read.
ExportedState exportState(const ExportSource& source);

}  // namespace tarnwick::cli
