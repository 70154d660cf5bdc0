#include "installer/install_log.h"

#include "automation/text.h"
#include "installer/computer_name.h"
#include "installer/messages.h"
#include "installer/metabase_sites.h"
#include "installer/side_files.h"
#include "toolkit/site_folders.h"
#include "toolkit/steps.h"

namespace tarnwick::installer {

using automation::ErrorState;
using automation::Variant;
using toolkit::use;

namespace {
constexpr int kForReading = 1;
constexpr size_t kLogFields = 4;
// What the providers raise for an account or a metabase key that is not there.
constexpr int32_t kUserNotFound = static_cast<int32_t>(0x800708ADu);
constexpr int32_t kPathNotFound = static_cast<int32_t>(0x80070003u);

std::string logPath(const std::string& installerFolder) {
    return installerFolder + "\\" + std::string(kLogFileName);
}

// The first line of the log; nullopt when it cannot be opened or read.
std::optional<std::string> readLogLine(automation::Dispatch& fileSystem, const std::string& path) {
    ErrorState err;
    auto stream = toolkit::objectStep(err, [&] {
        return fileSystem.call("OpenTextFile", {path, kForReading});
    });
    if (!stream) return std::nullopt;
    auto line = err.attempt([&] { return automation::toText(stream->call("ReadLine")); });
    err.attempt([&] { stream->call("Close"); });
    return line;
}
}  // namespace

std::string logLine(const LogEntry& entry) {
    return entry.account + ";" + entry.siteNumber + ";" + entry.siteFolder + ";" +
           entry.dataSourceName;
}

bool mayHoldMasterSite(SetupSystem& system, std::string_view folder,
                       const std::vector<std::string>& siteRoots) {
    std::vector<std::string> protectedFolders = siteRoots;
    protectedFolders.push_back(system.programFolder());
    return toolkit::mayHoldSite(folder, protectedFolders);
}

void writeInstallLog(ErrorState& err, automation::Dispatch& fileSystem,
                     const std::string& installerFolder, const LogEntry& entry) {
    writeTextFile(err, fileSystem, logPath(installerFolder), {logLine(entry)});
}

void InstallRecord::note(const LogEntry& made) {
    bool added = false;
    for (auto [field, value] : {std::pair{&entry_.account, &made.account},
                                {&entry_.siteNumber, &made.siteNumber},
                                {&entry_.siteFolder, &made.siteFolder}}) {
        if (value->empty() || *field == *value) continue;
        *field = *value;
        added = true;
    }
    if (!added) return;
    ErrorState err;
    auto fileSystem = toolkit::objectStep(
        err, [&] { return Variant(system_.createObject("Scripting.FileSystemObject")); });
    err.attempt([&] { writeInstallLog(err, use(fileSystem), system_.programFolder(), entry_); });
}

bool Uninstall(SetupSystem& system, FormView& view) {
    ErrorState err;
    const std::string installerFolder = system.programFolder();
    auto fileSystem = toolkit::objectStep(
        err, [&] { return Variant(system.createObject("Scripting.FileSystemObject")); });

    // The log's one line, split into its fields.
    std::optional<std::string> line;
    if (fileSystem) line = readLogLine(*fileSystem, logPath(installerFolder));
    if (!line) {
        view.messageBox(messages::kNoLog);
        return false;
    }
    auto fields = automation::split(*line, ";");
    // More fields than the log holds means a value held ";": acting on it
    // could remove another account, site or folder.
    if (fields.size() > kLogFields) {
        view.messageBox(messages::kLogDamaged);
        return false;
    }
    // A missing or empty field names nothing the installation made.
    fields.resize(kLogFields);
    const std::string& account = fields[0];
    const std::string& siteNumber = fields[1];
    const std::string& folder = fields[2];
    // Only what an installation makes is removed: its "ADMIN_" account (never
    // a built-in or another account a changed log could name) and a site
    // given by its number.
    const bool accountMade =
        account.empty() || (automation::equalsIgnoreCase(account.substr(0, 6), "ADMIN_") &&
                            account.find_first_of("\\/") == std::string::npos);
    if (!accountMade || siteNumber.find_first_not_of("0123456789") != std::string::npos) {
        view.messageBox(messages::kLogDamaged);
        return false;
    }
    // The folder is removed with everything in it: one that no installation
    // could have used (a drive root, a system folder, the installer's own)
    // means the log was changed, and nothing is removed then.
    if (!folder.empty() && !mayHoldMasterSite(system, folder)) {
        view.messageBox(messages::kLogFolderNotAllowed);
        return false;
    }
    // The site of the log, and the root folders of all other sites, which the
    // folder must keep apart from as at installation. The account names the
    // domain the installation bound.
    const std::string computer = GetLocalComputerName(system);
    auto& directory = system.directory();
    const std::string domain = account.size() > 6 ? account.substr(6) : "";
    const LoggedSite site =
        siteNumber.empty() ? LoggedSite::Missing
                           : inspectLoggedSite(directory, computer, siteNumber, domain, folder);
    auto roots =
        site == LoggedSite::Unreadable
            ? std::nullopt
            : siteRootFolders(directory, computer, site == LoggedSite::Panel ? siteNumber : "");
    if (!roots) {
        view.messageBox(messages::kSitesUnreadable);
        return false;
    }
    if (!folder.empty() && !mayHoldMasterSite(system, folder, *roots)) {
        view.messageBox(messages::kLogFolderOfAnotherSite);
        return false;
    }

    // Each removal either leaves its object gone (removed now, or found
    // missing: the message says what is so) or says that it failed.
    bool complete = true;
    auto report = [&](bool gone, std::string_view deleted, std::string_view failed) {
        view.messageBox(gone ? deleted : failed);
        complete = complete && gone;
    };
    auto removal = [](int32_t missing, auto&& remove) {
        ErrorState step;
        return step.attempt(remove) || step.number() == missing;
    };

    // The administrator account.
    if (!account.empty()) {
        report(removal(kUserNotFound,
                       [&] {
                           auto user = directory.bind("WinNT://" + computer + "/" + account);
                           directory.bind(automation::toText(user->get("Parent")))
                               ->call("Delete", {"User", user->get("Name")});
                       }),
               messages::kAccountDeleted, messages::kAccountNotDeleted);
    }

    // The master control site, while it is still the log's.
    if (site == LoggedSite::Other) {
        view.messageBox(messages::kSiteNotThePanels);
    } else if (!siteNumber.empty()) {
        report(removal(kPathNotFound,
                       [&] {
                           directory.bind("IIS://" + computer + "/w3svc")
                               ->call("Delete", {"IIsWebServer", siteNumber});
                       }),
               messages::kSiteDeleted, messages::kSiteNotDeleted);
    }

    // The site folder.
    if (!folder.empty()) {
        report(removal(automation::errors::kPathNotFound,
                       [&] {
                           use(fileSystem).call("DeleteFolder", {folder, true});
                       }),
               messages::kFolderDeleted, messages::kFolderNotDeleted);
    }

    if (!complete) {
        view.messageBox(messages::kUninstallIncomplete);
        return false;
    }
    // The log itself.
    err.attempt([&] { use(fileSystem).call("DeleteFile", {logPath(installerFolder), true}); });
    view.messageBox(messages::kUninstalled);
    return true;
}

}  // namespace tarnwick::installer
