// Shared steps of the site members: directory binding and site bindings.
#include "automation/text.h"
#include "component/control.h"
#include "component/site_paths.h"
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
            result = automation::concatText(request().serverVariable("LOCAL_ADDR")) + ":80:" +
                     std::string(hostPrefix) + automation::concatText(domain);
        });
    } else {
        err.attempt([&] {
            result = ":80:" + std::string(hostPrefix) + automation::concatText(domain);
        });
    }
    return result;
}

}  // namespace tarnwick::component

namespace tarnwick::component {

bool isRemovableSiteFolder(std::string_view path) {
    std::string text = automation::replaceAll(path, "/", "\\");
    if (text.size() < 4) return false;
    char drive = text[0];
    bool letter = (drive >= 'A' && drive <= 'Z') || (drive >= 'a' && drive <= 'z');
    if (!letter || text[1] != ':' || text[2] != '\\') return false;
    auto elements = automation::split(std::string_view(text).substr(3), "\\");
    if (!elements.empty() && elements.back().empty()) elements.pop_back();  // one trailing separator
    if (elements.empty()) return false;
    for (const auto& element : elements) {
        auto trimmed = automation::trimBlanks(element);
        if (trimmed.empty() || trimmed == "." || trimmed == "..") return false;
    }
    auto first = automation::trimBlanks(elements.front());
    return !automation::equalsIgnoreCase(first, "WINDOWS") &&
           !automation::equalsIgnoreCase(first, "WINNT");
}

}  // namespace tarnwick::component
