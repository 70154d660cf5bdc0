#include "installer/setup.h"

#include "automation/text.h"
#include "installer/computer_name.h"
#include "installer/install_log.h"
#include "installer/messages.h"
#include "installer/side_files.h"
#include "toolkit/accounts.h"
#include "toolkit/app_pools.h"
#include "toolkit/folder_access.h"
#include "toolkit/random_text.h"
#include "toolkit/steps.h"

namespace tarnwick::installer {

using automation::ErrorState;
using automation::ObjectRef;
using automation::Variant;
using toolkit::ifThen;
using toolkit::use;

namespace {

constexpr std::string_view kAccountFullName = "网站管理员帐号!";
constexpr std::string_view kAccountDescription = "Tarnwick";
constexpr uint32_t kAdminAccess =
    toolkit::kGenericRead | toolkit::kGenericWrite | toolkit::kGenericExecute | toolkit::kDelete;
constexpr double kUnlimited = 4294967295.0;

// The first entry of a site's ServerBindings; nullopt when it has none.
std::optional<std::string> firstBinding(const Variant& bindings) {
    if (bindings.type() == automation::VarType::Array) {
        if (bindings.array().empty()) return std::nullopt;
        return automation::toText(bindings.array().front());
    }
    return automation::toText(bindings);
}

// Whether a directory object of that path exists: a path that cannot be
// bound, for whatever reason, counts as missing.
bool objectExists(platform::Directory& directory, const std::string& path) {
    ErrorState err;
    return err.attempt([&] { directory.bind(path); });
}

// The site folder that the install button made, removed again after a stop
// that made nothing else.
void removeNewFolder(SetupSystem& system, const std::string& folder) {
    ErrorState err;
    auto fileSystem = toolkit::objectStep(
        err, [&] { return Variant(system.createObject("Scripting.FileSystemObject")); });
    err.attempt([&] { use(fileSystem).call("DeleteFolder", {folder, true}); });
}

}  // namespace

std::string adminAccountName(std::string_view hostName) {
    return "ADMIN_" + automation::toUpperCase(hostName);
}

bool Setup(SetupSystem& system, const StatusDisplay& ShowErr, const SetupValues& v) {
    ErrorState err;
    auto& directory = system.directory();
    const toolkit::ComputerName computer = [&] { return v.Computer; };
    const std::string service = "IIS://" + v.Computer + "/w3svc";
    InstallRecord record(system);
    // The checks before the account find the site's name and number; a stop
    // there has made nothing but perhaps the site folder.
    auto stopBeforeAnythingIsMade = [&](std::string_view message) {
        if (v.SiteFolderIsNew) removeNewFolder(system, v.WebSiteDirectory);
        ShowErr(message);
        return false;
    };

    // The names, the password and the binding.
    const std::string account = adminAccountName(v.HostName);
    const std::string comment = automation::toUpperCase(v.HostName);
    std::string password;
    err.attempt([&] {
        password = toolkit::RndStr(system.random(), 16) + std::string(kAdminPasswordPieceA) +
                   toolkit::RndStr(system.random(), 5) + std::string(kAdminPasswordPieceB);
    });
    const std::string binding = ":80:" + v.HostName;

    // The web service.
    auto webService = toolkit::objectStep(err, [&] { return Variant(directory.bind(service)); });
    if (!webService) return stopBeforeAnythingIsMade(messages::kCannotLoadW3svc);

    // No site may bind the host name first already. A child whose class
    // or bindings cannot be read is passed over.
    auto children = err.attempt([&] { return toolkit::childrenOf(*webService); });
    const auto& sites = children ? *children : std::vector<ObjectRef>{};
    for (const auto& child : sites) {
        auto isSite =
            err.attempt([&] { return automation::toText(child->get("Class")) == "IIsWebServer"; });
        if (!isSite || !*isSite) continue;
        auto bindings = err.attempt([&] { return firstBinding(child->get("ServerBindings")); });
        if (bindings && *bindings && **bindings == binding) {
            return stopBeforeAnythingIsMade(messages::kDomainTaken);
        }
    }

    // The lowest free site number from 1. Every bound number is an
    // existing key, so the search ends after the children and the refusals.
    int32_t siteNumber = 1;
    ObjectRef site;
    const size_t maxTries = sites.size() + kMaxRefusedSiteNumbers;
    for (size_t tries = 0, refused = 0;; ++siteNumber, ++tries) {
        if (tries >= maxTries || refused >= kMaxRefusedSiteNumbers) {
            return stopBeforeAnythingIsMade(messages::kNoSiteNumber);
        }
        err.clear();
        toolkit::objectStep(err, [&] {
            return Variant(directory.bind(service + "/" + std::to_string(siteNumber)));
        });
        if (!err.isSet()) continue;
        err.clear();
        site = toolkit::objectStep(err, [&] {
            return webService->call("Create", {"IIsWebServer", siteNumber});
        });
        if (site) break;
        ++refused;
    }

    // The administrator account. The log names it before it is made, unless
    // an object of its name exists already (that one is not this
    // installation's to remove), and with it the site folder the install
    // button made.
    ShowErr(messages::kCreatingAccount);
    const bool accountIsNew = !objectExists(directory, "WinNT://" + v.Computer + "/" + account);
    record.note({.account = accountIsNew ? account : "",
                 .siteFolder = v.SiteFolderIsNew ? v.WebSiteDirectory : ""});
    if (ifThen(err, [&] {
            return !toolkit::CreateNtUser(directory, computer, account, password, kAccountFullName,
                                          kAccountDescription);
        })) {
        ShowErr(messages::kAccountNotCreated);
        return false;
    }
    record.note({.account = account});
    if (ifThen(err, [&] {
            return !toolkit::AddUserToGroup(directory, computer, account, "Administrators");
        })) {
        ShowErr(messages::kAccountNotInGroup);
        return false;
    }
    ShowErr(messages::kAccountCreated);

    // The account's access to the site folder. A folder whose access could
    // not be set is as it was; once set, the folder is the site's and the log
    // names it.
    if (ifThen(err, [&] {
            return !toolkit::SetFolderAccess(system.advapi32(), system.ansi(), account,
                                             v.WebSiteDirectory, kAdminAccess);
        })) {
        ShowErr(messages::kPermissionsNotSet);
        return false;
    }
    record.note({.siteFolder = v.WebSiteDirectory});
    ShowErr(messages::kPermissionsSet);

    // The site's properties; not checked. The log names the site before its
    // key is stored.
    auto put = [&](const ObjectRef& object, std::string_view name, const Variant& value) {
        err.attempt([&] { use(object).put(name, value); });
    };
    put(site, "ServerBindings", Variant::Array{binding});
    put(site, "ServerSize", 1);
    put(site, "ServerComment", comment);
    err.attempt(
        [&] { use(site).put("AnonymousUserName", GetLocalComputerName(system) + "\\" + account); });
    put(site, "AnonymousUserPass", password);
    put(site, "KeyType", "IIsWebServer");
    put(site, "FrontPageWeb", false);
    put(site, "EnableDefaultDoc", true);
    put(site, "MaxBandwidthBlocked", kUnlimited);
    put(site, "MaxConnections", kUnlimited);
    put(site, "DefaultDoc", "Index.asp");
    put(site, "CpuLimitsEnabled", false);
    put(site, "LogType", 1);
    put(site, "LogFileDirectory", v.WebSiteDirectory);
    record.note({.siteNumber = std::to_string(siteNumber)});
    err.attempt([&] { use(site).call("SetInfo"); });

    // The root directory, with the application pool when one is named.
    auto root = toolkit::objectStep(err, [&] {
        return use(site).call("Create", {"IIsWebVirtualDir", "ROOT"});
    });
    put(root, "Path", v.WebSiteDirectory + "\\web");
    if (!v.AppName.empty()) {
        err.attempt([&] { toolkit::CreatePool(directory, computer, v.AppName); });
        ShowErr(messages::kPoolInstalled);
        put(root, "AppPoolId", v.AppName);
    }
    put(root, "AccessRead", true);
    put(root, "AccessWrite", true);
    put(root, "AccessSource", false);
    put(root, "AccessScript", true);
    put(root, "ContentIndexed", false);
    put(root, "DontLog", false);
    put(root, "EnableDirBrowsing", false);
    put(root, "AppFriendlyName", "应用程序");
    // AppCreate stores the root before its SetInfo, and IIS 5 stores it then
    // without KeyType (KB 321768): the class goes with the properties.
    put(root, "KeyType", "IIsWebVirtualDir");
    err.attempt([&] { use(root).call("AppCreate", {0}); });
    put(root, "HttpErrors", Variant::Array{"404,0,FILE," + v.WebSiteDirectory + "\\404.htm"});
    put(root, "AspScriptErrorSentToBrowser", false);
    put(root, "AspScriptErrorMessage", "程序出错,请联系管理员!");
    put(root, "AspEnableParentPaths", true);

    // The root directory is stored.
    err.clear();
    err.attempt([&] { use(root).call("SetInfo"); });
    if (err.isSet()) {
        ShowErr(messages::kRootNotCreated);
        return false;
    }

    // The site starts.
    err.clear();
    err.attempt([&] { directory.bind(service + "/" + std::to_string(siteNumber))->call("Start"); });
    if (err.isSet()) {
        ShowErr(messages::kSiteNotStarted);
        return false;
    }

    // The panel's side files and the finished log, from the program's own
    // folder. A database that cannot take its chosen name stops the run.
    const std::string installerFolder = system.programFolder();
    auto fileSystem = toolkit::objectStep(
        err, [&] { return Variant(system.createObject("Scripting.FileSystemObject")); });
    auto withFiles = [&](auto&& step) { err.attempt([&] { step(use(fileSystem)); }); };
    ShowErr(messages::kCopyingFiles);
    bool databaseInPlace = true;
    withFiles([&](automation::Dispatch& fso) {
        databaseInPlace =
            copyPanelFiles(err, fso, installerFolder, v.WebSiteDirectory, v.NewDbName);
    });
    if (!databaseInPlace) {
        ShowErr(messages::kDatabaseNotCopied);
        return false;
    }
    ShowErr(messages::kRegisteringComponent);
    withFiles(
        [&](automation::Dispatch& fso) { registerComponent(err, system, fso, installerFolder); });
    ShowErr(messages::kCreatingDataSource);
    err.attempt([&] { createDataSource(system, v.NewDsnName, v.WebSiteDirectory, v.NewDbName); });
    ShowErr(messages::kConfiguringServU);
    withFiles([&](automation::Dispatch& fso) {
        writeServUConfiguration(err, fso, v.ServU, v.NewDsnName);
    });
    ShowErr(messages::kWritingLog);
    withFiles([&](automation::Dispatch& fso) {
        writeInstallLog(err, fso, installerFolder,
                        {account, std::to_string(siteNumber), v.WebSiteDirectory, v.NewDsnName});
    });

    ShowErr(messages::kInstalled);
    return true;
}

}  // namespace tarnwick::installer
