// IIS 6 application pools.
#pragma once

#include "automation/variant.h"
#include "platform/directory.h"
#include "toolkit/accounts.h"

namespace tarnwick::toolkit {

// Creates the application pool `AppName` with the server's default settings.
// Every failure (no pool container, as on IIS 5; a name in use; no rights)
// ends the routine quietly: nothing is reported.
void CreatePool(platform::Directory& directory, const ComputerName& computer,
                const automation::Variant& AppName);

}  // namespace tarnwick::toolkit
