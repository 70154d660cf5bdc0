// IIS 6 application pools.
#pragma once

#include <string_view>

#include "automation/variant.h"
#include "platform/directory.h"
#include "toolkit/accounts.h"

namespace tarnwick::toolkit {

// True when `name` can name a pool: a plain metabase key name of 1 to 255
// characters (the metabase's METADATA_MAX_NAME_LEN is 256 with the ending
// zero), without "/", "\" or control characters, and not "." or "..".
bool isPoolName(std::string_view name);

// Creates the application pool `AppName` with the server's default settings.
// A name that is no pool name makes nothing; every failure (no pool
// container, as on IIS 5; a name in use; no rights) ends the routine
// quietly: nothing is reported.
void CreatePool(platform::Directory& directory, const ComputerName& computer,
                const automation::Variant& AppName);

}  // namespace tarnwick::toolkit
