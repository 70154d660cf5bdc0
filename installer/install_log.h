// The install log, Log.ini in the installer's folder: one line of four
// fields joined by ";" (account, site number, site folder, data source), and
// the uninstallation that reads it.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "automation/dispatch.h"
#include "automation/error.h"
#include "installer/form_view.h"
#include "installer/setup_system.h"

namespace tarnwick::installer {

inline constexpr std::string_view kLogFileName = "Log.ini";

struct LogEntry {
    std::string account;
    std::string siteNumber;
    std::string siteFolder;
    std::string dataSourceName;
};

// The line as written; the input checks keep ";" out of every field.
std::string logLine(const LogEntry& entry);

// Whether `folder` may be the master control site's folder, which the
// uninstallation removes with everything in it: a folder below a drive root,
// not a system folder, and apart from the installer's folder (neither it,
// inside it nor holding it).
bool mayHoldMasterSite(SetupSystem& system, std::string_view folder);

// Step 22 of Setup: replaces the log in `installerFolder`.
void writeInstallLog(automation::ErrorState& err, automation::Dispatch& fileSystem,
                     const std::string& installerFolder, const LogEntry& entry);

// The uninstall button: removes the account, the site and the site folder
// that the log names, then the log, confirming each step in a message box.
// False when there is no log to act on (nothing is removed then).
bool Uninstall(SetupSystem& system, FormView& view);

}  // namespace tarnwick::installer
