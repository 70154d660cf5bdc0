// ModifySite: a hosted site's host name, limits and default documents.
#include "automation/text.h"
#include "component/control.h"
#include "component/messages.h"
#include "component/site_rules.h"
#include "toolkit/steps.h"

namespace tarnwick::component {

using automation::concatText;
using automation::equalsEmptyString;
using automation::ErrorState;
using toolkit::ifThen;
using toolkit::use;

bool Control::modifySite(const Variant& SiteSN, const Variant& NewDomain, const Variant& NewBand,
                         const Variant& NewIIS, const Variant& NewDoc, const Variant& UserName) {
    // UserName may be empty: it only tells the site's own bindings apart.
    ChkUser();
    for (const Variant* argument : {&SiteSN, &NewDomain, &NewBand, &NewIIS, &NewDoc}) {
        if (equalsEmptyString(*argument)) {
            ShowErr(messages::kMissingArguments);
            return false;
        }
    }
    // The number must name a site, the default documents be file names in
    // its folder, and the domain a host name a browser can ask for.
    const auto number = siteNumberOf(SiteSN);
    automation::ErrorState conversion;
    auto domainText = conversion.attempt([&] { return concatText(NewDomain); });
    if (!number || !isDocumentList(NewDoc) || !domainText || !isHostName(*domainText)) {
        ShowErr(messages::kArgumentError);
        return false;
    }
    ErrorState err;

    // The site.
    auto site = bindWebSite(err, *number, [&] { ShowErr(messages::kCannotReachIis); });
    if (!site) return false;

    // The web service and the new bindings.
    err.clear();
    auto service = bindStep(err, [&] { return "IIS://" + computerName() + "/W3SVC"; });
    const std::vector<std::string> newBindings{binding(err, NewDomain, ""),
                                               binding(err, NewDomain, "www.")};

    // No other site may bind either of them already. The site itself keeps
    // its own bindings when its anonymous user is UserName's account; with
    // another UserName they count as another site's. The machine-wide lock is
    // held from here until the new bindings are stored.
    auto bindingsHeld = holdBindings(err);
    if (!bindingsHeld) {
        showFailure(err);
        return false;
    }
    const std::string siteName = std::to_string(*number);
    auto children = err.attempt([&] { return toolkit::childrenOf(use(service)); });
    for (const auto& child : children.value_or(std::vector<automation::ObjectRef>{})) {
        if (!ifThen(err,
                    [&] { return automation::toText(child->get("Class")) == "IIsWebServer"; })) {
            continue;
        }
        if (ifThen(err, [&] { return automation::toText(child->get("Name")) == siteName; })) {
            auto anonymous = err.attempt([&] { return child->get("AnonymousUserName"); });
            auto ownUser =
                err.attempt([&] { return computerName() + "\\Tarn_" + concatText(UserName); });
            if (anonymous && ownUser && concatText(*anonymous) == *ownUser) continue;
        }
        auto bindings = err.attempt([&] { return child->get("ServerBindings"); });
        if (bindings && bindsAnyOf(*bindings, newBindings)) {
            ShowErr(messages::kDomainTaken);
            return false;
        }
    }
    // A check that could not look at every site (web service, LOCAL_ADDR, a
    // site's class, bindings or anonymous user) cannot tell whether the host
    // name is free: report it before anything is written, so that a failed
    // check never stores a binding that another site may hold.
    if (err.isSet()) {
        ShowErr(messages::kCannotSaveSite);
        return false;
    }

    // The new bindings, limits and default documents, stored only when every
    // one of them was taken.
    err.attempt([&] {
        use(site).put("ServerBindings", Variant::Array(newBindings.begin(), newBindings.end()));
    });
    err.attempt(
        [&] { use(site).put("ServerComment", automation::toUpperCase(concatText(NewDomain))); });
    writeBandwidth(err, site, NewBand, NonNumber::UnlimitedAndFailed);
    writeConnections(err, site, NewIIS, NonNumber::UnlimitedAndFailed);
    // The site's default documents reach the directories that set none of
    // their own; the root CreateSite made sets its own, which DefaultDoc changes.
    err.attempt([&] { use(site).put("EnableDefaultDoc", true); });
    err.attempt([&] { use(site).put("DefaultDoc", NewDoc); });

    if (!err.isSet()) err.attempt([&] { use(site).call("SetInfo"); });
    if (err.isSet()) {
        ShowErr(messages::kCannotSaveSite);
        return false;
    }
    return true;
}

}  // namespace tarnwick::component
