// DeleteSite: removes a hosted site's account, its folder and the web site,
// in that order. Only the removal of the web site decides the result.
#include "automation/text.h"
#include "component/control.h"
#include "component/messages.h"
#include "component/site_paths.h"
#include "toolkit/steps.h"

namespace tarnwick::component {

using automation::concatText;
using automation::equalsEmptyString;
using automation::ErrorState;
using toolkit::ifThen;
using toolkit::use;

bool Control::DeleteSite(const Variant& SiteNum, const Variant& SitePath) {
    // 1., 2. The folder must be a folder below a drive root and outside the
    // Windows folder: the whole tree is removed.
    ChkUser();
    if (equalsEmptyString(SiteNum) || equalsEmptyString(SitePath) ||
        !isRemovableSiteFolder(automation::concatText(SitePath))) {
        ShowErr(messages::kArgumentError);
        return false;
    }
    ErrorState err;

    // 3.
    auto site =
        bindStep(err, [&] { return "IIS://" + computerName() + "/W3SVC/" + concatText(SiteNum); });
    if (err.isSet()) {
        ShowErr(messages::kNoSuchSite);
        return false;
    }

    // 4.
    auto anonymous = err.attempt([&] { return use(site).call("Get", {"AnonymousUserName"}); });
    if (!anonymous || ifThen(err, [&] { return equalsEmptyString(*anonymous); })) {
        ShowErr(messages::kCannotReadSite);
        return false;
    }

    // 5., 6. The account the site names, without the computer's prefix.
    Variant account;
    err.attempt([&] {
        account = automation::replaceAll(concatText(*anonymous), computerName() + "\\", "");
    });
    err.attempt([&] { DeleteNtUser(account); });

    // 7. - 9. The folder with everything in it; a second attempt when it survives.
    auto fso = toolkit::objectStep(
        err, [&] { return Variant(server().createObject("Scripting.FileSystemObject")); });
    err.attempt([&] { use(fso).call("DeleteFolder", {SitePath, true}); });
    if (ifThen(err,
               [&] { return automation::toBoolean(use(fso).call("folderexists", {SitePath})); })) {
        err.attempt([&] {
            auto folder = use(fso).call("getfolder", {SitePath});
            automation::objectOf(folder).call("DELETE", {true});
        });
    }

    // 10. - 12.
    err.clear();
    auto service = bindStep(err, [&] { return "IIS://" + computerName() + "/w3svc"; });
    err.attempt([&] { use(service).call("DELETE", {"IIsWebServer", SiteNum}); });
    if (err.isSet()) {
        ShowErr(messages::kCannotDeleteSite);
        return false;
    }
    return true;
}

}  // namespace tarnwick::component
