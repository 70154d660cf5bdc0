// CreateSite: one customer order becomes a running hosted site.
//
// Every step that makes something is checked. When a step fails after the
// first thing was made, the error page names the failure and everything this
// call made is removed again (the site key with its root, the pool it
// created, the access entries it added, the account, the folder it created),
// so the platform is as it was and the same order can be placed again. Files
// that the templates put into a folder that existed before stay; the
// templates never replace what such a folder held.
#include <algorithm>

#include "automation/text.h"
#include "component/control.h"
#include "component/messages.h"
#include "component/product.h"
#include "component/site_rules.h"
#include "toolkit/accounts.h"
#include "toolkit/app_pools.h"
#include "toolkit/folder_access.h"
#include "toolkit/folders.h"
#include "toolkit/site_folders.h"
#include "toolkit/steps.h"

namespace tarnwick::component {

using automation::concatText;
using automation::equalsEmptyString;
using automation::ErrorState;
using toolkit::ifThen;
using toolkit::use;

namespace {
// How many failed Create calls the site-number search accepts before it gives
// up: a taken number is skipped by the binding test, so repeated Create
// failures mean the metabase refuses new sites (no rights, no space).
constexpr int kMaxFailedCreates = 64;

constexpr std::string_view kAccountPrefix = "Tarn_";
constexpr std::string_view kAccountFullName = "Internet 来宾帐号";
constexpr std::string_view kAccountDescription = "匿名访问 Internet 信息服务的内置帐号";
constexpr uint32_t kSiteAccess = toolkit::kGenericRead | toolkit::kGenericWrite;
constexpr int32_t kPathNotFound = static_cast<int32_t>(0x80070003u);
constexpr int32_t kPropertyNotSet = static_cast<int32_t>(0x8000500Du);

// The folders of a path from the drive root down ("D:\", "D:\Web", "D:\Web\bob").
std::vector<std::string> foldersAlong(const std::string& path) {
    std::vector<std::string> folders;
    std::string prefix;
    for (const auto& element : automation::split(automation::replaceAll(path, "/", "\\"), "\\")) {
        if (element.empty()) continue;
        prefix += element;
        folders.push_back(prefix.size() == 2 ? prefix + "\\" : prefix);
        prefix += "\\";
    }
    return folders;
}
}  // namespace

struct Control::SiteCreation {
    std::string folder;                               // the site's folder
    std::optional<std::string> createdFolder;         // the topmost folder this call makes
    std::optional<std::vector<uint8_t>> savedAccess;  // the folder's DACL before the grant
    std::optional<std::string> account;               // the account this call made
    std::optional<int64_t> site;                      // the site key this call stored
    std::optional<std::string> pool;                  // the pool this call made
};

void Control::undoCreation(const SiteCreation& made, UndoReport* report) {
    // Each removal is tried whatever became of the one before: what can be
    // removed is removed. A repair first asks whether each part is still this
    // call's (see control.h); a part it cannot judge stays, and the repair
    // reports failure so that it can be made again.
    const bool verify = report != nullptr;
    ErrorState unreported;
    ErrorState& err = report ? report->err : unreported;
    auto note = [&](std::string line) {
        if (report) report->done.push_back(std::move(line));
    };
    auto fileSystem = [this] { return server().createObject("Scripting.FileSystemObject"); };
    if (made.site && (!verify || siteHoldsAccount(err, *made.site, made.account.value_or("")))) {
        if (err.attempt([&] {
                directory()
                    .bind("IIS://" + computerName() + "/W3SVC")
                    ->call("DELETE", {"IIsWebServer", std::to_string(*made.site)});
            })) {
            note("removed site " + std::to_string(*made.site));
        }
    }
    // What the sites that stay name: their pools, accounts and folders.
    SiteNames others;
    if (verify) others = namesOfSites(err);
    if (made.pool && (!verify || (!err.isSet() &&
                                  !others.pools.contains(automation::toUpperAscii(*made.pool))))) {
        const bool exists =
            !verify || keyExists(err, "IIS://" + computerName() + "/W3SVC/AppPools/" + *made.pool);
        if (exists && err.attempt([&] {
                directory()
                    .bind("IIS://" + computerName() + "/W3SVC/AppPools")
                    ->call("DELETE", {"IIsApplicationPool", *made.pool});
            })) {
            note("removed application pool " + *made.pool);
        }
    }
    // A folder this call made goes with its entries; one that was there
    // before gets its DACL back.
    if (made.savedAccess && !made.createdFolder) {
        if (err.attempt([&] {
                   return !verify ||
                          automation::toBoolean(fileSystem()->call("FolderExists", {made.folder}));
               })
                .value_or(false) &&
            err.attempt([&] {
                toolkit::RestoreFolderAccess(advapi32(), ansi(), made.folder, *made.savedAccess);
            })) {
            note("restored the access list of " + made.folder);
        }
    }
    if (made.account &&
        (!verify ||
         (!err.isSet() && !others.accounts.contains(automation::toUpperAscii(*made.account))))) {
        auto standing = verify ? err.attempt([&] {
            return toolkit::judgeAccount(
                directory(), advapi32(), ansi(), [this] { return computerName(); }, *made.account);
        })
                               : std::optional(toolkit::AccountStanding::Deletable);
        if (standing == toolkit::AccountStanding::Deletable && err.attempt([&] {
                toolkit::DeleteNtUser(
                    directory(), [this] { return computerName(); }, *made.account);
            })) {
            note("removed account " + *made.account);
        }
    }
    if (made.createdFolder) {
        auto mayGo = !verify ? std::optional(true) : err.attempt([&] {
            return automation::toBoolean(fileSystem()->call("FolderExists", {*made.createdFolder}));
        });
        if (verify && mayGo && *mayGo && !err.isSet()) {
            mayGo = folderMayHoldSite(err, *made.createdFolder, others.folders);
        }
        if (mayGo && *mayGo && err.attempt([&] {
                fileSystem()->call("DeleteFolder", {*made.createdFolder, true});
            })) {
            note("removed folder " + *made.createdFolder);
        }
    }
}

bool Control::undoSiteCreation(const OperationRecord& record, std::vector<std::string>& done) {
    SiteCreation made;
    const auto* folder = record.step("folder");
    if (!folder || folder->empty()) {
        done.push_back("nothing was made yet");
        return true;
    }
    made.folder = folder->front();
    if (folder->size() > 1 && !(*folder)[1].empty()) made.createdFolder = (*folder)[1];
    if (const auto* account = record.step("account"); account && !account->empty())
        made.account = account->front();
    if (const auto* access = record.step("access"); access && access->size() > 1)
        made.savedAccess = toolkit::hexBytes((*access)[1]);
    if (const auto* site = record.step("site"); site && !site->empty())
        made.site = siteNumberOf(Variant(site->front()));
    if (const auto* pool = record.step("pool"); pool && !pool->empty()) made.pool = pool->front();
    UndoReport report;
    undoCreation(made, &report);
    done.insert(done.end(), report.done.begin(), report.done.end());
    if (report.err.isSet()) {
        showFailure(report.err);
        return false;
    }
    if (report.done.empty()) done.push_back("nothing of it was left to remove");
    return true;
}

Variant Control::createSite(const Variant& HostUser, const Variant& HostPath,
                            const Variant& HostDomain, const Variant& HostIIS,
                            const Variant& HostBand, const Variant& HostPool,
                            const Variant& HostDoc) {
    ChkUser();
    for (const Variant* argument :
         {&HostUser, &HostPath, &HostDomain, &HostIIS, &HostBand, &HostPool, &HostDoc}) {
        if (equalsEmptyString(*argument)) {
            ShowErr(messages::kArgumentError);
            return {};
        }
    }
    ErrorState err;

    // The folder must be one a site may own, the default documents plain
    // file names in it, and the domain a host name a browser can ask for; the
    // rest of the folder rule needs the other sites.
    SiteCreation made;
    auto folderText = err.attempt([&] { return concatText(HostPath); });
    auto domainText = err.attempt([&] { return concatText(HostDomain); });
    if (!folderText || !toolkit::mayHoldSite(*folderText) || !isDocumentList(HostDoc) ||
        !domainText || !isHostName(*domainText)) {
        ShowErr(messages::kArgumentError);
        return {};
    }
    made.folder = *folderText;

    // The configuration properties decide what is written; a value that
    // cannot be read as text or as a Boolean stops the order here.
    auto windows2003 = err.attempt([&] { return automation::textEquals(system_, "2003"); });
    auto showAddress = err.attempt([&] { return automation::toBoolean(showIP_); });
    if (!windows2003 || !showAddress) {
        showFailure(err);
        return {};
    }
    // On Windows 2003 the pool's name becomes a metabase key.
    ErrorState poolText;
    auto poolName = poolText.attempt([&] { return concatText(HostPool); });
    if (*windows2003 && (!poolName || !toolkit::isPoolName(*poolName))) {
        ShowErr(messages::kArgumentError);
        return {};
    }

    // The web service.
    auto service = bindStep(err, [&] { return "IIS://" + computerName() + "/W3SVC"; });
    if (err.isSet()) {
        ShowErr(messages::kCannotLoadW3svc);
        return {};
    }

    // No other site may bind either of the new site's bindings already. A
    // check that cannot read every site's bindings cannot tell, and refuses.
    // The check holds the machine-wide lock until the site's bindings are
    // stored, so that no page running meanwhile binds the same name.
    auto bindingsHeld = holdBindings(err);
    if (!bindingsHeld) {
        showFailure(err);
        return {};
    }
    const std::vector<std::string> newBindings{binding(err, HostDomain, ""),
                                               binding(err, HostDomain, "www.")};
    const auto sites = err.isSet() ? std::vector<automation::ObjectRef>{} : webSites(err, *service);
    for (const auto& site : sites) {
        if (err.isSet()) break;
        Variant bindings;
        try {
            bindings = site->get("ServerBindings");
        } catch (const automation::AutomationError& error) {
            if (error.number() != kPropertyNotSet) err.record(error);
            continue;  // a site without bindings binds no host name
        }
        if (bindsAnyOf(bindings, newBindings)) {
            ShowErr(messages::kDomainTaken);
            return {};
        }
    }
    if (err.isSet()) {
        showFailure(err);
        return {};
    }

    // The folder may not be, hold or lie inside a folder that belongs to the
    // system, the installer, the master control site or another site.
    std::vector<int64_t> taken;
    const auto others = foldersOfOthers(err, sites, std::nullopt, &taken);
    const auto allowed = err.isSet() ? std::nullopt : folderMayHoldSite(err, made.folder, others);
    if (!allowed) {
        showFailure(err);
        return {};
    }
    if (!*allowed) {
        ShowErr(messages::kArgumentError);
        return {};
    }

    // The lowest free site number from 2: the numbers of the sites just
    // listed are taken; any other is bound first, as a key of another kind or
    // a site made meanwhile may hold it. The new key exists only once its
    // SetInfo stores it.
    int64_t siteNumber = 2;
    automation::ObjectRef site;
    for (int failedCreates = 0; !site; ++siteNumber) {
        if (std::binary_search(taken.begin(), taken.end(), siteNumber)) continue;
        err.clear();
        bindStep(err, [&] {
            return "IIS://" + computerName() + "/w3svc/" + std::to_string(siteNumber);
        });
        if (!err.isSet()) continue;
        err.clear();
        site = toolkit::objectStep(err, [&] {
            return service->call("Create", {"IIsWebServer", static_cast<int32_t>(siteNumber)});
        });
        if (err.isSet() && ++failedCreates >= kMaxFailedCreates) {
            ShowErr(messages::kNoSiteNumber);
            return {};
        }
        if (site) break;
    }

    // The account's name and password.
    err.clear();
    const Variant account = std::string(kAccountPrefix) + concatText(HostUser);
    Variant password;
    err.attempt([&] { password = GetNtPass(); });

    // Which part of the folder's path is there already: the folders below it
    // are this call's to remove again.
    auto fileSystem = toolkit::objectStep(
        err, [&] { return Variant(server().createObject("Scripting.FileSystemObject")); });
    for (const auto& folder : foldersAlong(made.folder)) {
        auto exists = err.attempt(
            [&] { return automation::toBoolean(use(fileSystem).call("FolderExists", {folder})); });
        if (!exists) break;
        if (!*exists) {
            made.createdFolder = folder;
            break;
        }
    }
    if (err.isSet()) {
        showFailure(err);
        return {};
    }

    // The folder, the account in Guests, and the account's access to the
    // folder, each named in the call's record before it is made.
    if (!recordStep(err, "folder", {made.folder, made.createdFolder.value_or("")})) {
        showFailure(err);
        return {};
    }
    if (!ChkFolder(HostPath)) {
        undoCreation(made);
        return {};
    }
    if (!recordStep(err, "account", {account.string()})) {
        undoCreation(made);
        showFailure(err);
        return {};
    }
    if (!automation::toBoolean(
            CreateNtUser(account, password, kAccountFullName, kAccountDescription))) {
        undoCreation(made);
        ShowErr(messages::kAccountNotCreated);
        return {};
    }
    made.account = account.string();
    if (!AddUserToGroup(account, "Guests")) {
        undoCreation(made);
        ShowErr(messages::kAccountNotInGroup);
        return {};
    }
    made.savedAccess = toolkit::SaveFolderAccess(advapi32(), ansi(), made.folder);
    if (made.savedAccess &&
        !recordStep(err, "access", {made.folder, toolkit::hexText(*made.savedAccess)})) {
        undoCreation(made);
        showFailure(err);
        return {};
    }
    if (!made.savedAccess ||
        !toolkit::SetFolderAccess(advapi32(), ansi(), *made.account, made.folder, kSiteAccess)) {
        undoCreation(made);
        ShowErr(messages::kPermissionsNotSet);
        return {};
    }

    // The site's properties, stored only when every one of them was taken.
    Variant::Array bindings(newBindings.begin(), newBindings.end());
    auto put = [&](std::string_view name, const Variant& value) {
        err.attempt([&] { use(site).put(name, value); });
    };
    put("ServerBindings", bindings);
    put("ServerSize", 1);
    err.attempt([&] {
        use(site).put("ServerComment", "Z_" + automation::toUpperCase(concatText(HostDomain)));
    });
    err.attempt(
        [&] { use(site).put("AnonymousUserName", computerName() + "\\" + account.string()); });
    put("AnonymousUserPass", password);
    put("KeyType", "IIsWebServer");
    put("FrontPageWeb", false);
    writeBandwidth(err, site, HostBand, NonNumber::Unlimited);
    writeConnections(err, site, HostIIS, NonNumber::Unlimited);
    if (!*windows2003) {
        put("CpuLimitsEnabled", true);
        err.attempt(
            [&] { use(site).put("CpuLimitLogEvent", automation::toNumber(HostPool) * 1000); });
    }
    put("LogType", 0);
    put("LogFileDirectory", HostPath);
    if (!err.isSet()) recordStep(err, "site", {std::to_string(siteNumber)});
    if (!err.isSet()) err.attempt([&] { use(site).call("SetInfo"); });
    if (err.isSet()) {
        undoCreation(made);
        showFailure(err);
        return {};
    }
    made.site = siteNumber;
    bindingsHeld.reset();

    // The root directory, with the site's own pool on IIS 6.
    auto root = toolkit::objectStep(err, [&] {
        return use(site).call("Create", {"IIsWebVirtualDir", "ROOT"});
    });
    auto putRoot = [&](std::string_view name, const Variant& value) {
        err.attempt([&] { use(root).put(name, value); });
    };
    putRoot("Path", HostPath);
    // AppCreate below makes the root before its SetInfo, and IIS 5 makes it
    // without KeyType (KB 321768): the class is written with the properties.
    putRoot("KeyType", "IIsWebVirtualDir");
    if (*windows2003 && !err.isSet()) {
        auto poolPath = [&] {
            return "IIS://" + computerName() + "/W3SVC/AppPools/" + concatText(HostPool);
        };
        // A pool that is there already is shared, and stays when the order fails.
        bool poolExisted = true;
        err.attempt([&] {
            try {
                directory().bind(poolPath());
            } catch (const automation::AutomationError& error) {
                if (error.number() != kPathNotFound) throw;
                poolExisted = false;
            }
        });
        if (!err.isSet() && !poolExisted) recordStep(err, "pool", {concatText(HostPool)});
        if (!err.isSet()) {
            CreatePool(HostPool);
            if (err.attempt([&] { directory().bind(poolPath()); }) && !poolExisted) {
                made.pool = concatText(HostPool);
            }
        }
        putRoot("AppPoolId", HostPool);
    }
    putRoot("EnableDefaultDoc", true);
    putRoot("DefaultDoc", HostDoc);
    putRoot("AccessRead", true);
    putRoot("AccessWrite", false);
    putRoot("AccessSource", false);
    putRoot("AccessScript", true);
    putRoot("ContentIndexed", false);
    putRoot("DontLog", true);
    putRoot("EnableDirBrowsing", false);
    putRoot("AppFriendlyName", "应用程序");
    err.attempt([&] { use(root).call("AppCreate", {0}); });
    err.attempt([&] {
        use(root).put("HttpErrors",
                      Variant::Array{"404,0,FILE," + concatText(HostPath) + "\\404.htm"});
    });
    putRoot("AspScriptErrorSentToBrowser", false);
    putRoot("AspScriptErrorMessage",
            "Script Error! Power By " + std::string(product::kWebDomain) + "....");
    putRoot("AspEnableParentPaths", true);
    if (err.isSet()) {
        undoCreation(made);
        showFailure(err);
        return {};
    }
    err.attempt([&] { use(root).call("SetInfo"); });
    if (err.isSet()) {
        undoCreation(made);
        ShowErr(messages::kRootNotCreated);
        return {};
    }

    // Start the site; whether it started is the result, and a site that did
    // not start is still a made site.
    auto started = bindStep(err, [&] { return sitePath(siteNumber); });
    err.attempt([&] { use(started).call("Start"); });
    const std::string result = std::to_string(siteNumber) + (err.isSet() ? ":False" : ":True");
    err.clear();

    // The index template takes the first default document's name.
    std::string indexName;
    err.attempt([&] { indexName = automation::split(automation::toText(HostDoc), ",").front(); });
    if (automation::trimBlanks(indexName).empty()) indexName = "Index.Html";

    // The master control site's templates fill the folder where it has no
    // file or folder of their names: what the folder held before stays as it
    // was. The first copy that fails ends the order.
    const std::string& folder = made.folder;
    const std::pair<std::string, std::string> copies[] = {
        {"/Template/Index.htm", folder + "\\" + indexName},
        {"/Template/Error.htm", folder + "\\404.htm"},
    };
    for (const auto& [from, to] : copies) {
        if (err.isSet()) break;
        err.attempt([&] {
            auto& files = use(fileSystem);
            if (automation::toBoolean(files.call("FileExists", {to})) ||
                automation::toBoolean(files.call("FolderExists", {to}))) {
                return;
            }
            files.call("copyfile", {server().mapPath(from), to, false});
        });
    }
    if (!err.isSet()) {
        err.attempt([&] {
            toolkit::CopyMissing(use(fileSystem), server().mapPath("/Template/Other"), folder);
        });
    }
    if (err.isSet()) {
        undoCreation(made);
        showFailure(err);
        return {};
    }
    return result;
}

}  // namespace tarnwick::component
