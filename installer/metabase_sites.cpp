#include "installer/metabase_sites.h"

#include "automation/text.h"
#include "toolkit/site_folders.h"
#include "toolkit/steps.h"

namespace tarnwick::installer {

using automation::AutomationError;
using automation::Variant;

namespace {
constexpr int32_t kPathNotFound = static_cast<int32_t>(0x80070003u);
constexpr int32_t kPropertyNotSet = static_cast<int32_t>(0x8000500Du);

// A read whose "not there" answer is an answer; any other failure raises.
template <class Read>
std::optional<Variant> unlessMissing(Read&& read) {
    try {
        return read();
    } catch (const AutomationError& error) {
        if (error.number() == kPathNotFound || error.number() == kPropertyNotSet) return {};
        throw;
    }
}

std::string servicePath(std::string_view computer) {
    return "IIS://" + std::string(computer) + "/W3SVC";
}

// The host part of every entry of ServerBindings ("IP:port:host"); nullopt
// for an entry of another shape.
std::optional<std::vector<std::string>> bindingHosts(const Variant& bindings) {
    std::vector<Variant> entries;
    if (bindings.type() == automation::VarType::Array) {
        entries = bindings.array();
    } else {
        entries.push_back(bindings);
    }
    std::vector<std::string> hosts;
    for (const auto& entry : entries) {
        auto parts = automation::split(automation::toText(entry), ":");
        if (parts.size() != 3) return std::nullopt;
        hosts.push_back(parts[2]);
    }
    return hosts;
}

bool namesDomain(std::string_view text, std::string_view domain) {
    return automation::toUpperCase(text) == automation::toUpperCase(domain);
}

// Whether the root folder is `folder` or lies inside it.
bool liesIn(std::string_view root, std::string_view folder) {
    auto inner = toolkit::LocalFolder::parse(root);
    auto outer = toolkit::LocalFolder::parse(folder);
    return inner && outer && (inner->isSameAs(*outer) || inner->isInside(*outer));
}
}  // namespace

std::optional<std::vector<std::string>> siteRootFolders(platform::Directory& directory,
                                                        std::string_view computer,
                                                        std::string_view except) {
    const std::string service = servicePath(computer);
    try {
        std::vector<std::string> folders;
        for (const auto& child : toolkit::childrenOf(*directory.bind(service))) {
            if (automation::toText(child->get("Class")) != "IIsWebServer") continue;
            const std::string name = automation::toText(child->get("Name"));
            if (name == except) continue;
            auto path = unlessMissing(
                [&] { return directory.bind(service + "/" + name + "/ROOT")->get("Path"); });
            if (path) folders.push_back(automation::toText(*path));
        }
        return folders;
    } catch (const AutomationError&) {
        return std::nullopt;
    }
}

LoggedSite inspectLoggedSite(platform::Directory& directory, std::string_view computer,
                             std::string_view number, std::string_view domain,
                             std::string_view folder) {
    const std::string path = servicePath(computer) + "/" + std::string(number);
    try {
        auto site = unlessMissing([&] { return Variant(directory.bind(path)); });
        if (!site) return LoggedSite::Missing;
        auto& key = automation::objectOf(*site);
        if (automation::toText(key.get("Class")) != "IIsWebServer") return LoggedSite::Other;
        auto comment = unlessMissing([&] { return key.get("ServerComment"); });
        if (comment && !namesDomain(automation::toText(*comment), domain)) return LoggedSite::Other;
        if (auto bindings = unlessMissing([&] { return key.get("ServerBindings"); })) {
            auto hosts = bindingHosts(*bindings);
            if (!hosts) return LoggedSite::Other;
            for (const auto& host : *hosts) {
                if (!namesDomain(host, domain)) return LoggedSite::Other;
            }
        }
        auto root = unlessMissing([&] { return directory.bind(path + "/ROOT")->get("Path"); });
        if (root && !liesIn(automation::toText(*root), folder)) return LoggedSite::Other;
        return LoggedSite::Panel;
    } catch (const AutomationError&) {
        return LoggedSite::Unreadable;
    }
}

}  // namespace tarnwick::installer
