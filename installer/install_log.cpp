#include "installer/install_log.h"

#include "automation/text.h"
#include "installer/computer_name.h"
#include "installer/messages.h"
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

bool mayHoldMasterSite(SetupSystem& system, std::string_view folder) {
    return toolkit::mayHoldSite(folder, {system.programFolder()});
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
    auto field = [&](size_t index) -> const std::string& {
        // A missing field is out of range; an empty one would name the
        // computer or no folder at all, so it is passed over the same way.
        if (index >= fields.size() || fields[index].empty()) {
            automation::raise(9, "Subscript out of range");
        }
        return fields[index];
    };
    // Only what an installation makes is removed: its "ADMIN_" account (never
    // a built-in or another account a changed log could name) and a site
    // given by its number.
    auto madeByInstallation = [&] {
        const bool account = fields.empty() || fields[0].empty() ||
                             (automation::equalsIgnoreCase(fields[0].substr(0, 6), "ADMIN_") &&
                              fields[0].find_first_of("\\/") == std::string::npos);
        const bool site = fields.size() < 2 || fields[1].empty() ||
                          fields[1].find_first_not_of("0123456789") == std::string::npos;
        return account && site;
    };
    if (!madeByInstallation()) {
        view.messageBox(messages::kLogDamaged);
        return false;
    }
    // The folder is removed with everything in it: one that no installation
    // could have used (a drive root, a system folder, the installer's own)
    // means the log was changed, and nothing is removed then.
    if (fields.size() > 2 && !fields[2].empty() && !mayHoldMasterSite(system, fields[2])) {
        view.messageBox(messages::kLogFolderNotAllowed);
        return false;
    }

    // The administrator account.
    const std::string computer = GetLocalComputerName(system);
    auto user = toolkit::objectStep(err, [&] {
        return Variant(system.directory().bind("WinNT://" + computer + "/" + field(0)));
    });
    auto parent = toolkit::objectStep(err, [&] {
        return Variant(system.directory().bind(automation::toText(use(user).get("Parent"))));
    });
    err.attempt([&] { use(parent).call("Delete", {"User", use(user).get("Name")}); });
    view.messageBox(messages::kAccountDeleted);

    // The master control site.
    err.attempt([&] {
        system.directory()
            .bind("IIS://" + computer + "/w3svc")
            ->call("Delete", {"IIsWebServer", field(1)});
    });
    view.messageBox(messages::kSiteDeleted);

    // The site folder.
    err.attempt([&] { use(fileSystem).call("DeleteFolder", {field(2), true}); });
    view.messageBox(messages::kFolderDeleted);

    // The log itself.
    err.attempt([&] { use(fileSystem).call("DeleteFile", {logPath(installerFolder), true}); });
    view.messageBox(messages::kUninstalled);
    return true;
}

}  // namespace tarnwick::installer
