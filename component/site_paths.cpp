// Shared steps of the site members: directory binding and site bindings.
#include "component/site_paths.h"

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

namespace tarnwick::component {

namespace {
// Characters no folder name holds: the stream separator and the wildcards
// (DeleteFolder would expand "D:\*" to every folder of the drive).
bool hasReservedCharacter(std::string_view name) {
    for (char c : name) {
        if (static_cast<unsigned char>(c) < 0x20) return true;
        if (std::string_view(":*?\"<>|").find(c) != std::string_view::npos) return true;
    }
    return false;
}

// The name the file system uses for a path element: trailing blanks and dots
// are dropped (so "WINDOWS." and "..." name what "WINDOWS" and "" name);
// leading blanks are dropped too, which only refuses more.
std::string_view effectiveName(std::string_view element) {
    auto name = automation::trimBlanks(element);
    while (!name.empty() && (name.back() == '.' || name.back() == ' ')) name.remove_suffix(1);
    return name;
}
}  // namespace

bool isRemovableSiteFolder(std::string_view path) {
    std::string text = automation::replaceAll(path, "/", "\\");
    if (text.size() < 4) return false;
    char drive = text[0];
    bool letter = (drive >= 'A' && drive <= 'Z') || (drive >= 'a' && drive <= 'z');
    if (!letter || text[1] != ':' || text[2] != '\\') return false;
    auto elements = automation::split(std::string_view(text).substr(3), "\\");
    if (!elements.empty() && elements.back().empty())
        elements.pop_back();  // one trailing separator
    if (elements.empty()) return false;
    for (const auto& element : elements) {
        // An empty name here is "", ".", ".." or only blanks and dots: the
        // path would climb back towards the root.
        if (hasReservedCharacter(element) || effectiveName(element).empty()) return false;
    }
    auto first = effectiveName(elements.front());
    return !automation::equalsIgnoreCase(first, "WINDOWS") &&
           !automation::equalsIgnoreCase(first, "WINNT");
}

}  // namespace tarnwick::component
