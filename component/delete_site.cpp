// DeleteSite: removes a hosted site's account, its folder and the web site,
// in that order.
//
// The result is True only when all three are gone. A part that cannot be
// removed stops the deletion with the error page, before anything after it
// is touched; the same call made again finds what is already gone gone and
// finishes the removal. Only what belongs to the site is removed: the folder
// given must be the site's own root folder and one a site may own, and an
// account no hosted site owns (built-in, the web server's own, an
// administrator's, one of another domain) stays where it is.
#include "automation/text.h"
#include "component/control.h"
#include "component/messages.h"
#include "component/site_rules.h"
#include "toolkit/accounts.h"
#include "toolkit/site_folders.h"
#include "toolkit/steps.h"

namespace tarnwick::component {

using automation::concatText;
using automation::equalsEmptyString;
using automation::ErrorState;
using toolkit::use;

namespace {
// Removes every occurrence of the computer's prefix ("WEBHOST\"), in any
// letter case, as account names on Windows are compared.
std::string withoutComputer(std::string_view qualified, const std::string& computer) {
    const std::string prefix = automation::toUpperAscii(computer + "\\");
    const std::string upper = automation::toUpperAscii(qualified);
    std::string result;
    size_t start = 0;
    for (size_t at = upper.find(prefix); at != std::string::npos; at = upper.find(prefix, start)) {
        result.append(qualified.substr(start, at - start));
        start = at + prefix.size();
    }
    result.append(qualified.substr(start));
    return result;
}
}  // namespace

bool Control::deleteSite(const Variant& SiteNum, const Variant& SitePath) {
    ChkUser();
    if (equalsEmptyString(SiteNum) || equalsEmptyString(SitePath)) {
        ShowErr(messages::kArgumentError);
        return false;
    }
    // The number must name a site and the folder be a folder below a drive
    // root outside the system's folders: the whole tree is removed.
    const auto number = siteNumberOf(SiteNum);
    ErrorState err;
    const auto folder = err.attempt([&] { return concatText(SitePath); });
    if (!number || !folder || !toolkit::mayHoldSite(*folder)) {
        ShowErr(messages::kArgumentError);
        return false;
    }

    // The site.
    auto site = bindWebSite(err, *number, [&] { ShowErr(messages::kNoSuchSite); });
    if (!site) return false;
    auto anonymous = err.attempt([&] { return use(site).call("Get", {"AnonymousUserName"}); });
    if (!anonymous || equalsEmptyString(*anonymous)) {
        ShowErr(messages::kCannotReadSite);
        return false;
    }

    // The web service that removes the site is bound before anything is
    // removed: without it the site would outlive its account and folder.
    auto service = bindStep(err, [&] { return "IIS://" + computerName() + "/w3svc"; });
    if (err.isSet()) {
        ShowErr(messages::kCannotDeleteSite);
        return false;
    }

    // The folder may not be, hold or lie inside a folder that belongs to the
    // system, the installer, the master control site or another site; and it
    // must be the site's own, the folder of its root directory. A site whose
    // root names no folder keeps the folder the page gives, within those
    // bounds.
    const auto others = foldersOfOthers(err, webSites(err, *service), number);
    const auto root = err.isSet() ? std::nullopt : rootFolderOf(err, *number);
    auto allowed = err.isSet() ? std::nullopt : folderMayHoldSite(err, *folder, others);
    if (allowed && *allowed && root) {
        allowed = err.attempt([&] { return toolkit::isSameFolder(*folder, *root, pathNames()); });
    }
    if (!allowed) {
        showFailure(err);
        return false;
    }
    if (!*allowed) {
        ShowErr(messages::kArgumentError);
        return false;
    }

    // The account the site names, without the computer's prefix, unless no
    // hosted site owns it.
    auto computer = [this] { return computerName(); };
    auto standing = err.attempt([&] {
        const std::string account = withoutComputer(concatText(*anonymous), computerName());
        return std::pair{account,
                         toolkit::judgeAccount(directory(), advapi32(), ansi(), computer, account)};
    });
    if (!standing) {
        showFailure(err);
        return false;
    }
    // Each removal is named in the call's record before it is made, so that
    // a deletion cut short is finished from there.
    if (standing->second == toolkit::AccountStanding::Deletable &&
        (!recordStep(err, "account", {standing->first}) ||
         !toolkit::DeleteNtUser(directory(), computer, standing->first, err))) {
        showFailure(err);
        return false;
    }

    // The folder with everything in it; a second attempt when it survives.
    auto fileSystem = toolkit::objectStep(
        err, [&] { return Variant(server().createObject("Scripting.FileSystemObject")); });
    auto stillThere = [&] {
        return err.attempt([&] {
            return automation::toBoolean(use(fileSystem).call("folderexists", {SitePath}));
        });
    };
    if (fileSystem && !recordStep(err, "folder", {*folder})) {
        showFailure(err);
        return false;
    }
    if (fileSystem) {
        err.attempt([&] { use(fileSystem).call("DeleteFolder", {SitePath, true}); });
        if (stillThere().value_or(true)) {
            err.attempt([&] {
                auto remaining = use(fileSystem).call("getfolder", {SitePath});
                automation::objectOf(remaining).call("DELETE", {true});
            });
        }
    }
    auto survived = fileSystem ? stillThere() : std::nullopt;
    if (!survived || *survived) {
        if (!err.isSet()) {
            err.record(automation::AutomationError(automation::errors::kPermissionDenied));
        }
        showFailure(err);
        return false;
    }

    // The web site.
    err.clear();
    if (!recordStep(err, "site", {std::to_string(*number)})) {
        showFailure(err);
        return false;
    }
    err.attempt([&] { use(service).call("DELETE", {"IIsWebServer", std::to_string(*number)}); });
    if (err.isSet()) {
        ShowErr(messages::kCannotDeleteSite);
        return false;
    }
    return true;
}

}  // namespace tarnwick::component

namespace tarnwick::component {

bool Control::finishSiteDeletion(const OperationRecord& record, std::vector<std::string>& done) {
    const std::string siteNumber = record.argument("SiteNum");
    if (!record.step("account") && !record.step("folder") && !record.step("site")) {
        done.push_back("nothing was removed yet: site " + siteNumber + " stays as it was");
        return true;
    }
    // The site is removed last: once it is gone, its account and folder are.
    ErrorState err;
    const auto number = siteNumberOf(Variant(siteNumber));
    if (number && !keyExists(err, sitePath(*number)) && !err.isSet()) {
        done.push_back("site " + siteNumber + " was removed already");
        return true;
    }
    if (err.isSet()) {
        showFailure(err);
        return false;
    }
    if (!deleteSite(Variant(siteNumber), Variant(record.argument("SitePath")))) return false;
    done.push_back("removed site " + siteNumber + " with its account and folder " +
                   record.argument("SitePath"));
    return true;
}

}  // namespace tarnwick::component
