// Starting and stopping a site, its default documents, and the computer name.
#include "automation/error.h"
#include "component/control.h"
#include "component/messages.h"
#include "component/site_rules.h"
#include "toolkit/steps.h"

namespace tarnwick::component {

using automation::ErrorState;
using toolkit::use;

Variant Control::Computer() {
    ChkUser();
    auto network = server().createObject("Wscript.Network");
    if (!network) automation::raise(automation::errors::kObjectRequired);
    return network->get("ComputerName");
}

namespace {
// The script's test `DoWhat = True` / `DoWhat = False`: a numeric comparison
// that fails (and leaves the error state set) for text that is not a number.
std::optional<double> numericValue(ErrorState& err, const Variant& value) {
    return err.attempt([&] { return automation::toNumber(value); });
}
}  // namespace

bool Control::siteStatus(const Variant& SiteNum, const Variant& DoWhat) {
    ChkUser();
    server();  // outside the page: error 91, before anything is tried
    // Only a web site is started or stopped, never the web service or
    // another key that a path could name.
    const auto number = siteNumberOf(SiteNum);
    if (!number) {
        ShowErr(messages::kArgumentError);
        return false;
    }
    ErrorState err;
    auto site = bindWebSite(err, *number, [&] { showFailure(err); });
    if (!site) return false;
    if (DoWhat.isNull()) return false;  // Null equals neither True nor False
    auto what = numericValue(err, DoWhat);
    // A value that cannot be compared with True at all (text that is no
    // number) is refused with the start message, without starting the site:
    // a request the page did not make is not carried out.
    if (!what) {
        ShowErr(messages::kCannotStart);
        return false;
    }
    if (*what == -1) {
        err.attempt([&] { use(site).call("Start"); });
        if (err.isSet()) {
            ShowErr(messages::kCannotStart);
            return false;
        }
        return true;
    }
    if (*what == 0) {
        err.attempt([&] { use(site).call("Stop"); });
        if (err.isSet()) {
            ShowErr(messages::kCannotStop);
            return false;
        }
        return true;
    }
    return false;
}

bool Control::defaultDoc(Variant& SiteNum, Variant& Doc) {
    server();  // outside the page: error 91, before anything is tried
    // The root directory of a web site only, and file names in its folder.
    const auto number = siteNumberOf(SiteNum);
    if (!number || !isDocumentList(Doc)) return false;
    ErrorState err;
    auto site = bindStep(err, [&] { return sitePath(*number); });
    if (!isWebSite(err, site)) return false;
    auto root = bindStep(err, [&] { return sitePath(*number) + "/Root"; });
    err.attempt([&] { use(root).put("EnableDefaultDoc", true); });
    err.attempt([&] { use(root).put("DefaultDoc", Doc); });
    err.attempt([&] { use(root).call("SetInfo"); });
    return !err.isSet();
}

}  // namespace tarnwick::component
