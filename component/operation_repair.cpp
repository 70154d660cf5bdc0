// Unfinished operations and their repair: the records that stayed in the log
// folder after their process died, and what `check --repair` does with them.
//
// An unfinished CreateSite is undone as its own rollback would undo it, each
// part checked first (control.h, undoCreation); an unfinished DeleteSite
// that had begun to remove is finished by the same call made again, and one
// that had removed nothing yet leaves the site as it is. The other members
// make one stored change (a SetInfo, a Start or Stop, an account's or a
// group's one write, a pool key, a folder): it was made whole or not at all,
// and the repair leaves the platform as it is and removes the record. What
// such a call may have left half-made (an account no site names) is one of
// `check`'s own findings.
#include "automation/text.h"
#include "component/control.h"
#include "component/logged_call.h"
#include "toolkit/steps.h"

namespace tarnwick::component {

namespace {
constexpr int32_t kPathNotFound = static_cast<int32_t>(0x80070003u);
constexpr int32_t kPropertyNotSet = static_cast<int32_t>(0x8000500Du);

// An account name without a computer's prefix ("WEBHOST\Tarn_bob").
std::string withoutPrefix(std::string_view account) {
    auto slash = account.rfind('\\');
    return std::string(slash == std::string_view::npos ? account : account.substr(slash + 1));
}
}  // namespace

bool Control::keyExists(automation::ErrorState& err, const std::string& path) {
    try {
        directory().bind(path);
        return true;
    } catch (const automation::AutomationError& error) {
        if (error.number() != kPathNotFound) err.record(error);
        return false;
    }
}

bool Control::siteHoldsAccount(automation::ErrorState& err, int64_t number,
                               std::string_view account) {
    if (!keyExists(err, sitePath(number))) return false;
    auto anonymous = err.attempt([&] {
        return automation::toText(directory().bind(sitePath(number))->get("AnonymousUserName"));
    });
    return anonymous && automation::equalsIgnoreCase(withoutPrefix(*anonymous), account);
}

Control::SiteNames Control::namesOfSites(automation::ErrorState& err) {
    SiteNames names;
    auto service = bindStep(err, [&] { return "IIS://" + computerName() + "/W3SVC"; });
    if (err.isSet()) return names;
    const auto sites = webSites(err, *service);
    names.folders = foldersOfOthers(err, sites, std::nullopt);
    for (const auto& site : sites) {
        if (err.isSet()) break;
        auto read = [&](const std::function<Variant()>& value) -> std::optional<std::string> {
            try {
                return automation::toText(value());
            } catch (const automation::AutomationError& error) {
                if (error.number() != kPathNotFound && error.number() != kPropertyNotSet)
                    err.record(error);
                return std::nullopt;
            }
        };
        if (auto account = read([&] { return site->get("AnonymousUserName"); })) {
            names.accounts.insert(automation::toUpperAscii(withoutPrefix(*account)));
        }
        auto name = err.attempt([&] { return automation::toText(site->get("Name")); });
        if (!name) break;
        // The root may name its own anonymous account; it counts as named too.
        automation::ObjectRef root;
        read([&] {
            root = directory().bind("IIS://" + computerName() + "/W3SVC/" + *name + "/ROOT");
            return Variant("");
        });
        if (!root) continue;
        if (auto pool = read([&] { return root->get("AppPoolId"); })) {
            names.pools.insert(automation::toUpperAscii(*pool));
        }
        if (auto account = read([&] { return root->get("AnonymousUserName"); })) {
            names.accounts.insert(automation::toUpperAscii(withoutPrefix(*account)));
        }
    }
    return names;
}

std::vector<OperationRecord> Control::unfinishedOperations() {
    server();
    auto& folder = logFolder();
    std::vector<OperationRecord> records;
    for (const auto& name : folder.fileNames()) {
        if (!isRecordFileName(name) || (record_ && automation::equalsIgnoreCase(name, *record_)))
            continue;
        std::string text;
        try {
            text = folder.read(name);
        } catch (const automation::AutomationError&) {
            // Removed meanwhile: its call ended.
            if (!folder.exists(name)) continue;
            throw;
        }
        auto record = parseRecord(text);
        record.file = name;
        // A record without its process mark was cut short as it was written:
        // its call had changed nothing yet.
        if (!record.end && !record.process.empty() && services_.processes &&
            services_.processes->running(record.process)) {
            continue;
        }
        records.push_back(std::move(record));
    }
    std::sort(records.begin(), records.end(),
              [](const auto& a, const auto& b) { return a.file < b.file; });
    return records;
}

bool Control::repairOperation(const OperationRecord& record, std::vector<std::string>& done) {
    LoggedCall call{"Repair", {{"Record", record.id}, {"Member", record.member}}};
    bool repaired = false;
    logged(call, [&] {
        if (record.end) {
            done.push_back("the call ended (" + *record.end + "); its record stayed");
            repaired = true;
        } else if (record.member.empty()) {
            done.push_back("the record was cut short before its call changed anything");
            repaired = true;
        } else if (record.member == "CreateSite") {
            repaired = undoSiteCreation(record, done);
        } else if (record.member == "DeleteSite") {
            repaired = finishSiteDeletion(record, done);
        } else {
            done.push_back(record.member +
                           " makes one stored change, made whole or not at all: left as it is");
            repaired = true;
        }
        if (repaired) {
            automation::ErrorState err;
            if (!err.attempt([&] { logFolder().remove(record.file); })) {
                showFailure(err);
                repaired = false;
            } else {
                done.push_back("removed the record " + record.file);
            }
        }
        return Variant(repaired);
    });
    if (!repaired && shownError_) done.push_back(*shownError_);
    return repaired;
}

}  // namespace tarnwick::component
