// The install log, Log.ini in the installer's folder: one line of four
// fields joined by ";" (account, site number, site folder, data source), and
// the uninstallation that reads it.
//
// A running installation keeps the log up to date with what it has made, so
// that an installation that stops part way can be uninstalled as well: the
// line then has the same four fields, those of things not made left empty
// (the data source is named once the installation is finished).
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

// An empty field names nothing.
struct LogEntry {
    std::string account{};
    std::string siteNumber{};
    std::string siteFolder{};
    std::string dataSourceName{};
};

// The line as written; the input checks keep ";" out of every field.
std::string logLine(const LogEntry& entry);

// Whether `folder` may be the master control site's folder, which the
// uninstallation removes with everything in it: a folder below a drive root,
// not a system folder, and apart from the installer's folder and from each of
// `siteRoots`, the root folders of the other sites (neither one of them,
// inside one nor holding one).
bool mayHoldMasterSite(SetupSystem& system, std::string_view folder,
                       const std::vector<std::string>& siteRoots = {});

// The finished installation's log: replaces the log in `installerFolder`.
void writeInstallLog(automation::ErrorState& err, automation::Dispatch& fileSystem,
                     const std::string& installerFolder, const LogEntry& entry);

// The log of an installation while it runs. A note names things the
// installation is about to make (or has just made); when it adds to what the
// log names, the log is written again, so the log never misses something the
// installation made. A failed write is passed over: the next note writes the
// whole line again. Nothing is written while nothing is noted, so an
// installation that made nothing leaves an earlier log as it was.
class InstallRecord {
public:
    explicit InstallRecord(SetupSystem& system) : system_(system) {}

    // Adds the non-empty fields of `made` (the data source is not noted).
    void note(const LogEntry& made);

private:
    SetupSystem& system_;
    LogEntry entry_;
};

// The uninstall button: removes the account, the site and the site folder
// that the log names, then the log, saying in a message box for each one it
// names whether it is gone. The site goes only while it is still the master
// control site of the log; another site that took its number stays.
// Nothing is removed when there is no log, when the log names what no
// installation makes, or when the metabase cannot be read. When a removal
// fails the log stays, and the next press removes what is left. True when
// no removal failed and the log is gone.
bool Uninstall(SetupSystem& system, FormView& view);

}  // namespace tarnwick::installer
