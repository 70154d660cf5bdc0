// Shared steps of the site members: directory binding and site bindings.
#include "automation/text.h"
#include "component/control.h"
#include "toolkit/steps.h"

namespace tarnwick::component {

automation::ObjectRef Control::bindStep(automation::ErrorState& err,
                                        const std::function<std::string()>& path) {
    return toolkit::objectStep(err, [&] { return Variant(directory().bind(path())); });
}

std::string Control::binding(automation::ErrorState& err, const Variant& domain,
                             std::string_view hostPrefix) {
    std::string result;
    if (toolkit::ifThen(err, [&] { return automation::toBoolean(showIP_); })) {
        err.attempt([&] {
            result = automation::concatText(request().serverVariable("LOCAL_ADDR")) +
                     ":80:" + std::string(hostPrefix) + automation::concatText(domain);
        });
    } else {
        err.attempt(
            [&] { result = ":80:" + std::string(hostPrefix) + automation::concatText(domain); });
    }
    return result;
}

}  // namespace tarnwick::component
