#include "cli/site_check.h"

#include <algorithm>
#include <iostream>
#include <map>
#include <set>

#include "automation/text.h"
#include "cli/operation_check.h"
#include "component/site_rules.h"
#include "toolkit/steps.h"

namespace tarnwick::cli {

using automation::Variant;

namespace {

constexpr int32_t kPathNotFound = static_cast<int32_t>(0x80070003u);
constexpr int32_t kPropertyNotSet = static_cast<int32_t>(0x8000500Du);
// What the panel's own sites and accounts are called.
constexpr std::string_view kAccountPrefix = "Tarn_";
constexpr std::string_view kCommentPrefix = "Z_";

// A property as text; nothing when it is not set. Any other failure is the
// platform's and stops the check.
std::optional<std::string> textOf(automation::Dispatch& object, std::string_view property) {
    try {
        auto value = object.get(property);
        if (value.isEmpty() || value.isNull()) return std::nullopt;
        return automation::concatText(value);
    } catch (const automation::AutomationError& error) {
        if (error.number() == kPropertyNotSet) return std::nullopt;
        throw;
    }
}

std::vector<std::string> entriesOf(automation::Dispatch& object, std::string_view property) {
    try {
        auto value = object.get(property);
        if (value.isEmpty() || value.isNull()) return {};
        return component::bindingEntries(value);
    } catch (const automation::AutomationError& error) {
        if (error.number() == kPropertyNotSet) return {};
        throw;
    }
}

// One site as the check reads it, with one bind of its root.
struct SiteState {
    std::string name;
    std::optional<int64_t> number;
    std::string comment, anonymous, logFolder;
    std::vector<std::string> bindings;
    bool hasRoot = false;
    std::optional<std::string> rootFolder, pool;
    // The root's own anonymous user: a root may name another account than its site.
    std::optional<std::string> rootAnonymous;
};

struct ServerState {
    std::vector<SiteState> sites;
    std::vector<std::string> users;
    std::optional<std::set<std::string>> pools;  // upper case; none on IIS 5
};

ServerState readServer(const CheckTarget& target) {
    ServerState server;
    auto& directory = *target.directory;
    auto service = directory.bind(target.webService);
    for (const auto& child : toolkit::childrenOf(*service)) {
        if (textOf(*child, "Class") != "IIsWebServer") continue;
        SiteState site;
        site.name = textOf(*child, "Name").value_or("");
        site.number = component::siteNumberOf(Variant(site.name));
        site.comment = textOf(*child, "ServerComment").value_or("");
        site.anonymous = textOf(*child, "AnonymousUserName").value_or("");
        site.logFolder = textOf(*child, "LogFileDirectory").value_or("");
        site.bindings = entriesOf(*child, "ServerBindings");
        try {
            auto root = directory.bind(target.webService + "/" + site.name + "/ROOT");
            site.hasRoot = true;
            site.rootFolder = textOf(*root, "Path");
            site.pool = textOf(*root, "AppPoolId");
            site.rootAnonymous = textOf(*root, "AnonymousUserName");
        } catch (const automation::AutomationError& error) {
            if (error.number() != kPathNotFound) throw;
        }
        server.sites.push_back(std::move(site));
    }
    std::sort(server.sites.begin(), server.sites.end(), [](const auto& a, const auto& b) {
        return std::pair{a.number.value_or(INT64_MAX), a.name} <
               std::pair{b.number.value_or(INT64_MAX), b.name};
    });

    for (const auto& child : toolkit::childrenOf(*directory.bind("WinNT://" + target.computer))) {
        if (automation::equalsIgnoreCase(textOf(*child, "Class").value_or(""), "User")) {
            server.users.push_back(textOf(*child, "Name").value_or(""));
        }
    }
    std::sort(server.users.begin(), server.users.end());

    try {
        auto pools = directory.bind(target.webService + "/AppPools");
        server.pools.emplace();
        for (const auto& child : toolkit::childrenOf(*pools)) {
            server.pools->insert(automation::toUpperAscii(textOf(*child, "Name").value_or("")));
        }
    } catch (const automation::AutomationError& error) {
        if (error.number() != kPathNotFound) throw;
    }
    return server;
}

// The local account an anonymous user names ("WEBHOST\Tarn_bob" or
// "IUSR_WEBHOST"); nothing for an account of another domain.
std::optional<std::string> localAccount(std::string_view anonymous, std::string_view computer) {
    auto slash = anonymous.find('\\');
    if (slash == std::string_view::npos) return std::string(anonymous);
    if (!automation::equalsIgnoreCase(anonymous.substr(0, slash), computer)) return std::nullopt;
    return std::string(anonymous.substr(slash + 1));
}

// A folder as the file system compares it: "/" as "\", no trailing
// separator, letter case ignored.
std::string folderKey(std::string_view path) {
    auto key = automation::toUpperCase(automation::replaceAll(path, "/", "\\"));
    while (key.size() > 3 && key.back() == '\\') key.pop_back();
    return key;
}

// The host name of a binding ("address:port:host"); "" when it has none.
std::string hostOf(std::string_view binding) {
    auto first = binding.find(':');
    auto second = first == std::string_view::npos ? first : binding.find(':', first + 1);
    if (second == std::string_view::npos) return "";
    return automation::toLowerAscii(binding.substr(second + 1));
}

std::string siteName(const SiteState& site) {
    return site.number ? std::to_string(*site.number) : site.name;
}

// A site in a finding's details: its number, or its key's name when that is no number.
Document siteId(const SiteState& site) {
    return site.number ? Document(*site.number) : Document(site.name);
}

Finding siteFinding(const SiteState& site, std::string kind, std::string message) {
    Finding finding;
    finding.kind = std::move(kind);
    finding.site = site.number;
    finding.message = std::move(message);
    if (!site.number) finding.details["site_name"] = site.name;
    return finding;
}

bool folderExists(automation::Dispatch& files, const std::string& folder) {
    return automation::toBoolean(files.call("FolderExists", {folder}));
}

}  // namespace

std::vector<Finding> findUnexplained(const CheckTarget& target) {
    const auto server = readServer(target);
    auto files = target.fileSystem();
    std::vector<Finding> findings;

    std::set<std::string> users, named;
    for (const auto& user : server.users) users.insert(automation::toUpperAscii(user));
    std::map<std::string, const SiteState*> hosts, folders;
    for (const auto& site : server.sites) {
        if (site.rootFolder) folders.emplace(folderKey(*site.rootFolder), &site);
    }

    for (const auto& site : server.sites) {
        const auto number = siteName(site);
        if (!site.hasRoot) {
            auto finding =
                siteFinding(site, "site_without_root",
                            "site " + number + " (" + site.comment + ") has no root directory");
            finding.folder = site.logFolder;
            finding.details["comment"] = site.comment;
            findings.push_back(std::move(finding));
        } else if (!site.rootFolder) {
            findings.push_back(siteFinding(site, "root_folder_missing",
                                           "the root of site " + number + " names no folder"));
        } else if (!folderExists(*files, *site.rootFolder)) {
            auto finding = siteFinding(
                site, "root_folder_missing",
                "the root folder " + *site.rootFolder + " of site " + number + " is missing");
            finding.folder = *site.rootFolder;
            findings.push_back(std::move(finding));
        }

        if (site.rootAnonymous) {
            if (auto account = localAccount(*site.rootAnonymous, target.computer))
                named.insert(automation::toUpperAscii(*account));
        }
        if (auto account = localAccount(site.anonymous, target.computer)) {
            if (!account->empty()) named.insert(automation::toUpperAscii(*account));
            if (!account->empty() && !users.count(automation::toUpperAscii(*account))) {
                auto finding = siteFinding(site, "anonymous_account_missing",
                                           "the anonymous account " + site.anonymous + " of site " +
                                               number + " is missing");
                finding.account = *account;
                findings.push_back(std::move(finding));
            }
        }

        std::set<std::string> ownHosts;
        for (const auto& binding : site.bindings) {
            auto host = hostOf(binding);
            if (host.empty() || !ownHosts.insert(host).second) continue;
            auto [first, added] = hosts.emplace(host, &site);
            if (added) continue;
            const auto other = siteName(*first->second);
            auto finding = siteFinding(
                site, "shared_host_name",
                "site " + number + " binds " + host + ", which site " + other + " binds too");
            finding.details["host"] = host;
            finding.details["other_site"] = siteId(*first->second);
            findings.push_back(std::move(finding));
        }

        // The folder of another site that is this site's folder or holds it;
        // a folder two sites share counts for the one listed second.
        if (site.rootFolder) {
            const auto key = folderKey(*site.rootFolder);
            const SiteState* outer = nullptr;
            if (auto same = folders.find(key); same->second != &site) outer = same->second;
            for (auto end = key.rfind('\\'); !outer && end != std::string::npos && end >= 2;
                 end = key.rfind('\\', end - 1)) {
                auto ancestor = key.substr(0, end == 2 ? 3 : end);
                if (ancestor == key) continue;
                if (auto found = folders.find(ancestor); found != folders.end()) {
                    outer = found->second;
                }
            }
            if (outer) {
                auto finding = siteFinding(site, "folder_inside_site",
                                           "the folder " + *site.rootFolder + " of site " + number +
                                               (folderKey(*outer->rootFolder) == key
                                                    ? " is the folder of site "
                                                    : " lies inside the folder of site ") +
                                               siteName(*outer) + " (" + *outer->rootFolder + ")");
                finding.folder = *site.rootFolder;
                finding.details["other_site"] = siteId(*outer);
                findings.push_back(std::move(finding));
            }
        }

        if (server.pools && site.pool &&
            !server.pools->count(automation::toUpperAscii(*site.pool))) {
            auto finding = siteFinding(site, "unknown_pool",
                                       "the root of site " + number + " runs in pool " +
                                           *site.pool + ", which does not exist");
            finding.details["pool"] = *site.pool;
            findings.push_back(std::move(finding));
        }
    }

    for (const auto& user : server.users) {
        if (user.size() < kAccountPrefix.size() ||
            !automation::equalsIgnoreCase(user.substr(0, kAccountPrefix.size()), kAccountPrefix) ||
            named.count(automation::toUpperAscii(user))) {
            continue;
        }
        Finding finding;
        finding.kind = "account_of_no_site";
        finding.account = user;
        finding.message = "no site names the account " + user + " as its anonymous user";
        findings.push_back(std::move(finding));
    }
    return findings;
}

namespace {

// A site without ROOT that CreateSite left: DeleteSite removes it with its
// account. Its folder goes too, so only a folder that is gone or empty (as
// CreateSite leaves it before the templates) is passed; one that holds
// files is the administrator's to judge.
std::optional<Repair> repairSite(const CheckTarget& target, const Finding& finding) {
    const std::string comment = finding.details.value("comment", "");
    if (!finding.site || !comment.starts_with(kCommentPrefix)) return std::nullopt;
    Repair repair;
    repair.finding = finding;
    const auto number = std::to_string(*finding.site);
    if (finding.folder.empty()) {
        repair.message = "left site " + number + ": no folder is on record for it";
        return repair;
    }
    auto files = target.fileSystem();
    if (folderExists(*files, finding.folder)) {
        const auto folder = files->call("GetFolder", {finding.folder});
        auto count = [&](std::string_view collection) {
            auto entries = automation::objectOf(folder).get(collection);
            return automation::toNumber(automation::objectOf(entries).get("Count"));
        };
        if (count("Files") + count("SubFolders") > 0) {
            repair.message =
                "left site " + number + ": its folder " + finding.folder + " holds files";
            return repair;
        }
    }
    repair.action = "DeleteSite " + number + " " + finding.folder;
    auto outcome = target.call("DeleteSite", {Variant(number), Variant(finding.folder)});
    repair.removed = outcome.failure.empty() && automation::toBoolean(outcome.result);
    repair.message = repair.removed ? "removed site " + number + " (" + comment +
                                          "), its account and its folder " + finding.folder
                                    : "could not remove site " + number + ": " +
                                          (outcome.failure.empty() ? "DeleteSite returned False"
                                                                   : outcome.failure);
    return repair;
}

Repair repairAccount(const CheckTarget& target, const Finding& finding) {
    Repair repair;
    repair.finding = finding;
    repair.action = "DeleteNtUser " + finding.account;
    auto outcome = target.call("DeleteNtUser", {Variant(finding.account)});
    repair.removed = outcome.failure.empty() && automation::toBoolean(outcome.result);
    repair.message = repair.removed
                         ? "removed account " + finding.account
                         : "could not remove account " + finding.account + ": " +
                               (outcome.failure.empty()
                                    ? "DeleteNtUser refused (a protected account, or it failed)"
                                    : outcome.failure);
    return repair;
}

}  // namespace

std::vector<Repair> repairUnexplained(const CheckTarget& target,
                                      const std::function<void(const Repair&)>& report) {
    std::vector<Repair> repairs;
    auto done = [&](Repair repair) {
        report(repair);
        repairs.push_back(std::move(repair));
    };
    // Sites first: the accounts they leave behind are found again afterwards.
    auto findings = findUnexplained(target);
    bool removedSite = false;
    for (const auto& finding : findings) {
        if (finding.kind != "site_without_root") continue;
        if (auto repair = repairSite(target, finding)) {
            removedSite = removedSite || repair->removed;
            done(std::move(*repair));
        }
    }
    if (removedSite) findings = findUnexplained(target);
    for (const auto& finding : findings) {
        if (finding.kind == "account_of_no_site") done(repairAccount(target, finding));
    }
    return repairs;
}

Document findingJson(const Finding& finding) {
    auto orNull = [](const std::string& text) {
        return text.empty() ? Document() : Document(text);
    };
    Document document = {{"kind", finding.kind},
                         {"site", finding.site ? Document(*finding.site) : Document()},
                         {"account", orNull(finding.account)},
                         {"folder", orNull(finding.folder)},
                         {"message", finding.message}};
    for (const auto& [key, value] : finding.details.items()) document[key] = value;
    return document;
}

Document repairJson(const Repair& repair) {
    return {{"finding", findingJson(repair.finding)},
            {"action", repair.action.empty() ? Document() : Document(repair.action)},
            {"removed", repair.removed},
            {"message", repair.message}};
}

void addCheckCommand(CLI::App& app, std::function<CheckTarget(bool json)> open, int& exitCode) {
    auto* check = app.add_subcommand(
        "check",
        "Find what a process that died left and what no site accounts for: operations that "
        "started and never ended, sites without a root, missing root folders and anonymous "
        "accounts, Tarn_ accounts no site names, host names two sites bind, site folders "
        "inside another site's, pools that do not exist. Exit code 0 when nothing is found, 1 "
        "when something is");
    struct Options {
        bool json = false, repair = false;
    };
    auto options = std::make_shared<Options>();
    check->add_flag("--json", options->json, "One JSON document of findings");
    check->add_flag("--repair", options->repair,
                    "Finish or undo each unfinished operation, then remove what the panel made and "
                    "nothing names: sites without a root whose "
                    "comment begins with Z_ (when their folder is missing or empty) and Tarn_ "
                    "accounts no site names; the exit code then tells what remains");
    check->callback([open, options, &exitCode] {
        auto target = open(options->json);
        Document document = Document::object();
        if (options->repair) {
            document["repairs"] = Document::array();
            auto report = [&](const Repair& repair) {
                if (!options->json) std::cout << repair.message << std::endl;
                document["repairs"].push_back(repairJson(repair));
            };
            // Unfinished operations first: undoing a cut-short CreateSite
            // takes back what would otherwise be found unexplained.
            repairUnfinished(target, report);
            repairUnexplained(target, report);
        }
        auto findings = findUnfinished(target);
        for (auto& finding : findUnexplained(target)) findings.push_back(std::move(finding));
        exitCode = findings.empty() ? 0 : 1;
        if (options->json) {
            document["findings"] = Document::array();
            for (const auto& finding : findings)
                document["findings"].push_back(findingJson(finding));
            printJson(document);
            return;
        }
        for (const auto& finding : findings) std::cout << finding.message << "\n";
        if (findings.empty()) {
            std::cout << "Nothing found: every site, account and folder is accounted for.\n";
        } else {
            std::cout << findings.size() << (findings.size() == 1 ? " finding" : " findings")
                      << (options->repair ? " remain.\n" : ".\n");
        }
    });
}

}  // namespace tarnwick::cli
