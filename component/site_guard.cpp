// Which sites, folders and accounts the site members may touch: a site
// number names a web site, and a site's folder belongs to no one else.
#include <algorithm>
#include <chrono>

#include "automation/text.h"
#include "component/control.h"
#include "component/messages.h"
#include "toolkit/site_folders.h"
#include "toolkit/steps.h"

namespace tarnwick::component {

namespace {
constexpr int32_t kPathNotFound = static_cast<int32_t>(0x80070003u);
constexpr int32_t kPropertyNotSet = static_cast<int32_t>(0x8000500Du);

// How long a page waits for another page's host-name check and write: well
// inside the 90 seconds an ASP page may run.
constexpr std::chrono::seconds kBindingLockWait{30};

// Runs a read whose "not there" answer is an answer, not a failure.
template <class Read>
std::optional<automation::Variant> readUnlessMissing(automation::ErrorState& err, Read&& read) {
    try {
        return read();
    } catch (const automation::AutomationError& error) {
        if (error.number() != kPathNotFound && error.number() != kPropertyNotSet) err.record(error);
        return std::nullopt;
    }
}

// The number a key name writes plainly: decimal digits without a leading
// zero, as a site number is joined into a path.
std::optional<int64_t> plainNumber(std::string_view name) {
    if (name.empty() || name.size() > 18 || name.front() == '0') return std::nullopt;
    int64_t number = 0;
    for (char c : name) {
        if (c < '0' || c > '9') return std::nullopt;
        number = number * 10 + (c - '0');
    }
    return number;
}
}  // namespace

void Control::showFailure(const automation::ErrorState& err) {
    // A failure the platform did not number is reported as unexpected.
    const int32_t number = err.isSet() ? err.number() : automation::errors::kUnexpected;
    ShowErr(std::string(messages::kCannotComplete) + automation::hexNumber(number));
}

std::unique_ptr<platform::MachineLock::Held> Control::holdBindings(automation::ErrorState& err) {
    auto held = err.attempt([&] { return machineLock().acquire(kBindingLockWait); });
    return held ? std::move(*held) : nullptr;
}

std::string Control::sitePath(int64_t number) {
    return "IIS://" + computerName() + "/W3SVC/" + std::to_string(number);
}

bool Control::isWebSite(automation::ErrorState& err, const automation::ObjectRef& key) {
    auto keyClass = err.attempt([&] { return automation::toText(toolkit::use(key).get("Class")); });
    return keyClass && *keyClass == "IIsWebServer";
}

automation::ObjectRef Control::bindWebSite(automation::ErrorState& err, int64_t number,
                                           const std::function<void()>& unreachable) {
    auto site = bindStep(err, [&] { return sitePath(number); });
    if (!err.isSet() && isWebSite(err, site)) return site;
    if (err.isSet()) {
        unreachable();
    } else {
        ShowErr(messages::kArgumentError);
    }
    return nullptr;
}

std::vector<automation::ObjectRef> Control::webSites(automation::ErrorState& err,
                                                     automation::Dispatch& service) {
    std::vector<automation::ObjectRef> sites;
    auto children = err.attempt([&] { return toolkit::childrenOf(service); });
    if (!children) return sites;
    for (const auto& child : *children) {
        auto keyClass = err.attempt([&] { return automation::toText(child->get("Class")); });
        if (!keyClass) return {};
        if (*keyClass == "IIsWebServer") sites.push_back(child);
    }
    return sites;
}

std::vector<std::string> Control::foldersOfOthers(automation::ErrorState& err,
                                                  const std::vector<automation::ObjectRef>& sites,
                                                  std::optional<int64_t> ownSite,
                                                  std::vector<int64_t>* siteNumbers) {
    std::vector<std::string> folders;
    if (services_.folders) {
        auto system = err.attempt([&] { return services_.folders->protectedFolders(); });
        if (system) folders = std::move(*system);
    }
    // The pages that call the site members belong to the master control site.
    auto master = err.attempt([&] { return server().mapPath("/"); });
    if (master) folders.push_back(std::move(*master));

    auto computer = err.attempt([&] { return computerName(); });
    if (!computer) return folders;
    const std::string own = ownSite ? std::to_string(*ownSite) : "";
    for (const auto& site : sites) {
        auto name = err.attempt([&] { return automation::toText(site->get("Name")); });
        if (!name) break;
        if (siteNumbers) {
            if (auto number = plainNumber(*name)) siteNumbers->push_back(*number);
        }
        if (*name == own) continue;
        auto path = readUnlessMissing(err, [&] {
            auto root = directory().bind("IIS://" + *computer + "/W3SVC/" + *name + "/ROOT");
            return root->get("Path");
        });
        if (err.isSet()) break;
        if (path) folders.push_back(automation::toText(*path));
    }
    if (siteNumbers) std::sort(siteNumbers->begin(), siteNumbers->end());
    return folders;
}

toolkit::PathResolver Control::pathNames() {
    if (!services_.folders) return {};
    return [folders = services_.folders](std::string_view path) {
        return folders->longPathName(path);
    };
}

std::optional<bool> Control::folderMayHoldSite(automation::ErrorState& err, std::string_view folder,
                                               const std::vector<std::string>& others) {
    return err.attempt([&] { return toolkit::mayHoldSite(folder, others, pathNames()); });
}

std::optional<std::string> Control::rootFolderOf(automation::ErrorState& err, int64_t number) {
    auto path = readUnlessMissing(
        err, [&] { return directory().bind(sitePath(number) + "/ROOT")->get("Path"); });
    if (!path || automation::equalsEmptyString(*path)) return std::nullopt;
    return err.attempt([&] { return automation::toText(*path); });
}

}  // namespace tarnwick::component
