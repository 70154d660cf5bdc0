// CreateSite: one customer order becomes a running hosted site.
#include "automation/text.h"
#include "component/control.h"
#include "component/messages.h"
#include "component/product.h"
#include "component/site_rules.h"
#include "toolkit/folder_access.h"
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
}  // namespace

Variant Control::CreateSite(const Variant& HostUser, const Variant& HostPath,
                            const Variant& HostDomain, const Variant& HostIIS,
                            const Variant& HostBand, const Variant& HostPool,
                            const Variant& HostDoc) {
    // 1., 2.
    ChkUser();
    for (const Variant* argument :
         {&HostUser, &HostPath, &HostDomain, &HostIIS, &HostBand, &HostPool, &HostDoc}) {
        if (equalsEmptyString(*argument)) {
            ShowErr(messages::kArgumentError);
            return {};
        }
    }
    ErrorState err;

    // 3. The web service.
    auto service = bindStep(err, [&] { return "IIS://" + computerName() + "/W3SVC"; });
    if (err.isSet()) {
        ShowErr(messages::kCannotLoadW3svc);
        return {};
    }

    // 4., 5. No other site may bind the host name already.
    const std::string siteBinding = binding(err, HostDomain, "");
    auto children = err.attempt([&] { return toolkit::childrenOf(*service); });
    for (const auto& child : children.value_or(std::vector<automation::ObjectRef>{})) {
        if (!ifThen(err,
                    [&] { return automation::toText(child->get("Class")) == "IIsWebServer"; })) {
            continue;
        }
        auto bindings = err.attempt([&] { return child->get("ServerBindings"); });
        if (!bindings) continue;
        for (const auto& entry : bindingEntries(*bindings)) {
            if (entry == siteBinding) {
                ShowErr(messages::kDomainTaken);
                return {};
            }
        }
    }

    // 6. The lowest free site number from 2.
    int64_t siteNumber = 2;
    automation::ObjectRef site;
    for (int failedCreates = 0; !site; ++siteNumber) {
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

    // 7.
    const Variant account = std::string(kAccountPrefix) + concatText(HostUser);
    Variant password;
    err.attempt([&] { password = GetNtPass(); });

    // 8. - 11. Folder, account, group, permissions.
    if (!ifThen(err, [&] { return ChkFolder(HostPath); })) return {};
    if (ifThen(err, [&] {
            return !automation::toBoolean(
                CreateNtUser(account, password, kAccountFullName, kAccountDescription));
        })) {
        ShowErr(messages::kAccountNotCreated);
        return {};
    }
    if (ifThen(err, [&] { return !AddUserToGroup(account, "Guests"); })) {
        ShowErr(messages::kAccountNotInGroup);
        return {};
    }
    if (ifThen(err, [&] {
            return !toolkit::SetFolderAccess(advapi32(), ansi(), automation::toText(account),
                                             automation::toText(HostPath), kSiteAccess);
        })) {
        ShowErr(messages::kPermissionsNotSet);
        return {};
    }

    // 12. The site's properties.
    const bool windows2003 = automation::textEquals(system_, "2003");
    Variant::Array bindings{binding(err, HostDomain, ""), binding(err, HostDomain, "www.")};
    auto put = [&](std::string_view name, const Variant& value) {
        err.attempt([&] { use(site).put(name, value); });
    };
    put("ServerBindings", bindings);
    put("ServerSize", 1);
    err.attempt([&] {
        use(site).put("ServerComment", "Z_" + automation::toUpperAscii(concatText(HostDomain)));
    });
    err.attempt(
        [&] { use(site).put("AnonymousUserName", computerName() + "\\" + account.string()); });
    put("AnonymousUserPass", password);
    put("KeyType", "IIsWebServer");
    put("FrontPageWeb", false);
    writeBandwidth(err, site, HostBand);
    writeConnections(err, site, HostIIS);
    if (!windows2003) {
        put("CpuLimitsEnabled", true);
        err.attempt(
            [&] { use(site).put("CpuLimitLogEvent", automation::toNumber(HostPool) * 1000); });
    }
    put("LogType", 0);
    put("LogFileDirectory", HostPath);

    // 13.
    err.attempt([&] { use(site).call("SetInfo"); });

    // 14. - 16. The root directory.
    auto root = toolkit::objectStep(err, [&] {
        return use(site).call("Create", {"IIsWebVirtualDir", "ROOT"});
    });
    auto putRoot = [&](std::string_view name, const Variant& value) {
        err.attempt([&] { use(root).put(name, value); });
    };
    putRoot("Path", HostPath);
    if (windows2003) {
        CreatePool(HostPool);
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

    // 17.
    err.clear();
    err.attempt([&] { use(root).call("SetInfo"); });
    if (err.isSet()) {
        ShowErr(messages::kRootNotCreated);
        return {};
    }

    // 18. Start the site; the result is fixed from here on.
    err.clear();
    auto started = bindStep(
        err, [&] { return "IIS://" + computerName() + "/W3SVC/" + std::to_string(siteNumber); });
    err.attempt([&] { use(started).call("Start"); });
    const std::string result = std::to_string(siteNumber) + (err.isSet() ? ":False" : ":True");

    // 19. The index template takes the first default document's name.
    std::string indexName;
    err.attempt([&] { indexName = automation::split(automation::toText(HostDoc), ",").front(); });
    if (automation::trimBlanks(indexName).empty()) indexName = "Index.Html";

    // 20., 21. Copy the master control site's templates; failures are not reported.
    auto fso = toolkit::objectStep(
        err, [&] { return Variant(server().createObject("Scripting.FileSystemObject")); });
    const std::string folder = concatText(HostPath);
    err.attempt([&] {
        use(fso).call("copyfile",
                      {server().mapPath("/Template/Index.htm"), folder + "\\" + indexName, true});
    });
    err.attempt([&] {
        use(fso).call("copyfile",
                      {server().mapPath("/Template/Error.htm"), folder + "\\404.htm", true});
    });
    err.attempt([&] {
        use(fso).call("copyfolder", {server().mapPath("/Template/Other"), folder, true});
    });

    // 22.
    return result;
}

}  // namespace tarnwick::component
