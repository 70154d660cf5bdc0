// `check`: what a server holds that no hosted site accounts for, read through
// the metabase's and WinNT's directory objects and the FileSystemObject, so
// that the native command and tarnwick.exe run the same check; and the repair
// of what the panel recognisably made, through Control's own members.
//
// A finding names its kind (a stable name for programs), what it concerns
// (a site, an account, a folder, and kind-specific details) and a message
// for people. The kinds found here:
//   site_without_root          a site key without its ROOT directory
//   root_folder_missing        the folder a site's root names is not there
//   anonymous_account_missing  the local account a site names is not there
//   account_of_no_site         a Tarn_ account no site names as its anonymous user
//   shared_host_name           a host name that two sites bind
//   folder_inside_site         a site's folder is, or lies inside, another site's
//   unknown_pool               a root's AppPoolId names no pool (IIS 6)
// and, from the operation records (cli/operation_check.h):
//   unfinished_operation       a call that started and never ended
#pragma once

#include <CLI/CLI.hpp>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "automation/variant.h"
#include "cli/site_listing.h"
#include "component/control.h"
#include "platform/directory.h"

namespace tarnwick::cli {

struct Finding {
    std::string kind;
    std::optional<int64_t> site;
    std::string account;  // "" when the finding concerns no account
    std::string folder;   // "" when it concerns no folder
    std::string message;
    Document details = Document::object();  // what else the kind tells (other_site, host, ...)
};

// The outcome of one member call on a Control attached to a page context:
// its result, or the message of the error page or error that stopped it.
struct MemberOutcome {
    automation::Variant result;
    std::string failure;
};
using MemberCall =
    std::function<MemberOutcome(std::string_view member, std::vector<automation::Variant> args)>;

// The server a check reads and repairs.
struct CheckTarget {
    std::shared_ptr<platform::Directory> directory;
    std::string computer;                               // as Control's Computer() gives it
    std::string webService;                             // "IIS://<computer or localhost>/W3SVC"
    std::function<automation::ObjectRef()> fileSystem;  // a new Scripting.FileSystemObject
    MemberCall call;                                    // runs a member of Control
    // Runs work on a Control that a page has started: the operation records
    // that processes which died left (component/operation_record.h).
    std::function<void(const std::function<void(component::Control&)>&)> withControl;
};

// Everything of the kinds above, sites by number, then accounts by name.
// Raises the platform's error when something cannot be read.
std::vector<Finding> findUnexplained(const CheckTarget& target);

// What a repair did about one finding.
struct Repair {
    Finding finding;
    std::string action;  // the member call made, "" when the finding was left
    bool removed = false;
    std::string message;  // what was done, or why it was left
};

// Removes what the panel recognisably made: a site without ROOT whose
// comment begins with "Z_" (through DeleteSite, when its folder is missing or
// empty; a folder that holds files is never removed here), and a Tarn_
// account that no site names (through DeleteNtUser, which keeps protected
// accounts). Everything else is left. `report` is told each repair as it is
// done. Run again, it finds what is left and goes on.
std::vector<Repair> repairUnexplained(const CheckTarget& target,
                                      const std::function<void(const Repair&)>& report);

Document findingJson(const Finding& finding);
Document repairJson(const Repair& repair);

// Adds `check [--json] [--repair]` to `app`. `open` gives the server once
// the command line is read (told whether the output is JSON). Exit code 0
// when nothing is found (after --repair: nothing remains), 1 otherwise.
void addCheckCommand(CLI::App& app, std::function<CheckTarget(bool json)> open, int& exitCode);

}  // namespace tarnwick::cli
