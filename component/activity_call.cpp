// The members that change something, as the page, the COM server and the
// commands call them: each keeps an operation record while it runs
// (operation_record.h) and writes one line to the activity log
// (activity_log.h), both in %SystemRoot%\system32\LogFiles\Tarnwick, through
// the page's Scripting.FileSystemObject.
//
// The record is written before the call's body runs: a record that cannot be
// written stops the call with the error page before it changes anything.
// The call's end removes it.
//
// The line is written after the call, under the machine-wide lock, in one
// Write of the whole line (with the file's directives when the day's file is
// new), so two processes never lose or interleave lines. A line that cannot
// be written is dropped: the call's result stands as the member gave it, since
// the change it reports has been made (or refused) whatever the log holds.
// A member called by another member (CreateSite's ChkFolder, CreateNtUser,
// AddUserToGroup, CreatePool) writes no record or line of its own.
#include <algorithm>

#include "automation/error.h"
#include "automation/text.h"
#include "component/activity_log.h"
#include "component/control.h"
#include "component/logged_call.h"
#include "toolkit/folder_access.h"
#include "toolkit/steps.h"

namespace tarnwick::component {

namespace {

using Clock = std::chrono::system_clock;

// The session key that holds the panel login's user name and password.
constexpr std::string_view kLoginUser = "kavro_loginuser";
constexpr std::string_view kLoginPass = "kavro_loginpass";
// How long a line waits for another process's line or binding check.
constexpr std::chrono::seconds kLogLockWait{10};
// A secret shorter than this is masked only where it is a whole value: as a
// part of a longer text it would mask digits of dates and letters of names
// and tell a reader more than it hides.
constexpr size_t kShortestMaskedPart = 4;

// A site number given as a whole number from 1 (or as its decimal text).
std::optional<int64_t> siteNumberOf(const Variant& value) {
    if (value.type() == automation::VarType::Array || value.type() == automation::VarType::Object) {
        return std::nullopt;
    }
    auto number = automation::parseNumber(valueText(value));
    if (!number || *number < 1 || *number != static_cast<double>(static_cast<int64_t>(*number))) {
        return std::nullopt;
    }
    return static_cast<int64_t>(*number);
}

// The error page's message on one line: its line breaks (the two characters
// backslash and n) become one blank.
std::string messageOnOneLine(std::string message) {
    message = automation::replaceAll(message, "\\n", " ");
    while (message.find("  ") != std::string::npos)
        message = automation::replaceAll(message, "  ", " ");
    return std::string(automation::trimBlanks(message));
}

void maskAll(std::string& text, const std::vector<std::string>& secrets) {
    for (const auto& secret : secrets) {
        if (secret.empty()) continue;
        if (text == secret) {
            text = kMaskedPassword;
        } else if (secret.size() >= kShortestMaskedPart) {
            text = automation::replaceAll(text, secret, kMaskedPassword);
        }
    }
}

}  // namespace

LogFolder& Control::logFolder() {
    if (!logFolder_) {
        logFolder_.emplace(server().createObject("Scripting.FileSystemObject"),
                           [this](const std::string& folder) {
                               toolkit::LimitToAdministrators(advapi32(), ansi(), folder);
                           });
    }
    return *logFolder_;
}

std::string Control::actor() {
    std::string name;
    try {
        if (session_) name = valueText(session_->value(kLoginUser));
    } catch (const automation::AutomationError&) {
        name.clear();
    }
    return name.empty() ? commandUser_ : name;
}

bool Control::beginRecord(automation::ErrorState& err, const LoggedCall& call,
                          Clock::time_point when) {
    return err.attempt([&] {
        OperationRecord record;
        uint32_t suffix = 0;
        random().fill(std::span<uint8_t>(reinterpret_cast<uint8_t*>(&suffix), sizeof suffix));
        record.id = recordId(when, suffix);
        record.started = utcDate(when) + " " + utcTime(when);
        record.process = services_.processes ? services_.processes->current() : "";
        record.actor = actor();
        record.member = call.member;
        record.arguments = call.shownArguments();
        const auto name = recordFileName(record.id);
        logFolder().create(name, recordHeader(record, keepsCharacter()));
        record_ = name;
    });
}

bool Control::recordStep(automation::ErrorState& err, std::string_view kind,
                         const std::vector<std::string>& values) {
    if (!record_) return true;
    return err.attempt(
        [&] { logFolder().append(*record_, recordLine(kind, values, keepsCharacter())); });
}

void Control::finishRecord(std::string_view outcome) {
    if (!record_) return;
    const auto name = std::move(*record_);
    record_.reset();
    try {
        logFolder().remove(name);
    } catch (const automation::AutomationError&) {
        // A record that stays must not pass for a call cut short.
        try {
            logFolder().append(name, recordLine("end", {std::string(outcome)}, keepsCharacter()));
        } catch (const automation::AutomationError&) {
            // `check` lists it; nothing more can be done from here.
        }
    }
}

Variant Control::logged(const LoggedCall& call, const std::function<Variant()>& body) {
    if (loggedDepth_ > 0) {
        ++loggedDepth_;
        struct Leave {
            int& depth;
            ~Leave() { --depth; }
        } leave{loggedDepth_};
        return body();
    }
    shownError_.reset();
    const auto when = Clock::now();
    const auto started = std::chrono::steady_clock::now();
    auto elapsed = [&] {
        return std::chrono::duration_cast<std::chrono::milliseconds>(
                   std::chrono::steady_clock::now() - started)
            .count();
    };
    // Without the page's Server the member changes nothing (it fails with
    // error 91), and there is nowhere to keep a record.
    if (server_) {
        automation::ErrorState err;
        ++loggedDepth_;
        const bool recorded = beginRecord(err, call, when);
        if (!recorded) showFailure(err);
        --loggedDepth_;
        if (!recorded) {
            writeActivity(call, nullptr, nullptr, elapsed(), when);
            return call.member == "CreateSite" ? Variant() : Variant(false);
        }
    }
    ++loggedDepth_;
    Variant result;
    try {
        result = body();
    } catch (const automation::AutomationError& error) {
        --loggedDepth_;
        finishRecord(error.description());
        writeActivity(call, nullptr, &error, elapsed(), when);
        throw;
    } catch (...) {
        --loggedDepth_;
        finishRecord("");
        throw;
    }
    --loggedDepth_;
    finishRecord(shownError_ ? messageOnOneLine(*shownError_) : valueText(result));
    writeActivity(call, &result, nullptr, elapsed(), when);
    return result;
}

KeepsCharacter Control::keepsCharacter() {
    auto& codePage = ansi();
    return [&codePage](std::string_view character) {
        return codePage.toUtf8(codePage.fromUtf8(character)) == character;
    };
}

void Control::writeActivity(const LoggedCall& call, const Variant* result,
                            const automation::AutomationError* error, int64_t milliseconds,
                            Clock::time_point when) {
    // Without the page's Server the member has changed nothing (it fails with
    // error 91), and there is no FileSystemObject to write with.
    if (!server_) return;
    if (call.onlyWhen && !*call.onlyWhen) return;
    ActivityEntry entry;
    entry.when = when;
    entry.member = call.member;
    entry.milliseconds = milliseconds;
    entry.actor = actor();
    std::vector<std::string> secrets;
    try {
        if (session_) secrets.push_back(valueText(session_->value(kLoginPass)));
    } catch (const automation::AutomationError&) {
        // No session value: nothing to mask.
    }
    if (call.password < call.arguments.size())
        secrets.push_back(valueText(call.arguments[call.password].second));
    for (auto& argument : call.shownArguments()) entry.arguments.push_back(std::move(argument));
    if (call.site < call.arguments.size())
        entry.site = siteNumberOf(call.arguments[call.site].second);
    if (shownError_) {
        entry.outcome = messageOnOneLine(*shownError_);
    } else if (error) {
        entry.outcome = "Error " + automation::hexNumber(automation::hresultOf(error->number())) +
                        ": " + error->description();
    } else if (result) {
        entry.outcome = valueText(*result);
        if (call.member == "CreateSite" && result->type() == automation::VarType::String) {
            entry.site = siteNumberOf(entry.outcome.substr(0, entry.outcome.find(':')));
        }
    }
    // Longer secrets first, so that one holding another is masked whole.
    std::sort(secrets.begin(), secrets.end(),
              [](const auto& a, const auto& b) { return a.size() > b.size(); });
    maskAll(entry.actor, secrets);
    maskAll(entry.outcome, secrets);
    for (auto& argument : entry.arguments) {
        if (argument.second != kMaskedPassword) maskAll(argument.second, secrets);
    }

    try {
        const auto line = activityLine(entry, keepsCharacter());
        std::unique_ptr<platform::MachineLock::Held> held;
        if (services_.machineLock) held = services_.machineLock->acquire(kLogLockWait);
        auto& folder = logFolder();
        const auto name = activityFileName(when);
        const bool fresh = !folder.exists(name);
        folder.append(name, (fresh ? activityFileHeader(when) : std::string()) + line + "\r\n",
                      true);
    } catch (const automation::AutomationError&) {
        // Dropped: see the top of this file.
    }
}

Variant Control::CreateSite(const Variant& HostUser, const Variant& HostPath,
                            const Variant& HostDomain, const Variant& HostIIS,
                            const Variant& HostBand, const Variant& HostPool,
                            const Variant& HostDoc) {
    LoggedCall call{"CreateSite",
                    {{"HostUser", HostUser},
                     {"HostPath", HostPath},
                     {"HostDomain", HostDomain},
                     {"HostIIS", HostIIS},
                     {"HostBand", HostBand},
                     {"HostPool", HostPool},
                     {"HostDoc", HostDoc}}};
    return logged(call, [&] {
        return createSite(HostUser, HostPath, HostDomain, HostIIS, HostBand, HostPool, HostDoc);
    });
}

bool Control::ModifySite(const Variant& SiteSN, const Variant& NewDomain, const Variant& NewBand,
                         const Variant& NewIIS, const Variant& NewDoc, const Variant& UserName) {
    LoggedCall call{"ModifySite",
                    {{"SiteSN", SiteSN},
                     {"NewDomain", NewDomain},
                     {"NewBand", NewBand},
                     {"NewIIS", NewIIS},
                     {"NewDoc", NewDoc},
                     {"UserName", UserName}}};
    call.site = 0;
    return automation::toBoolean(logged(call, [&] {
        return Variant(modifySite(SiteSN, NewDomain, NewBand, NewIIS, NewDoc, UserName));
    }));
}

bool Control::DefaultDoc(Variant& SiteNum, Variant& Doc) {
    LoggedCall call{"DefaultDoc", {{"SiteNum", SiteNum}, {"Doc", Doc}}};
    call.site = 0;
    return automation::toBoolean(logged(call, [&] { return Variant(defaultDoc(SiteNum, Doc)); }));
}

bool Control::DeleteSite(const Variant& SiteNum, const Variant& SitePath) {
    LoggedCall call{"DeleteSite", {{"SiteNum", SiteNum}, {"SitePath", SitePath}}};
    call.site = 0;
    return automation::toBoolean(
        logged(call, [&] { return Variant(deleteSite(SiteNum, SitePath)); }));
}

bool Control::SiteStatus(const Variant& SiteNum, const Variant& DoWhat) {
    LoggedCall call{"SiteStatus", {{"SiteNum", SiteNum}, {"DoWhat", DoWhat}}};
    call.site = 0;
    return automation::toBoolean(
        logged(call, [&] { return Variant(siteStatus(SiteNum, DoWhat)); }));
}

bool Control::ChkFolder(const Variant& sFolder) {
    // Only a call that creates the folder changes something.
    LoggedCall call{"ChkFolder", {{"sFolder", sFolder}}};
    call.onlyWhen = &madeFolder_;
    return automation::toBoolean(logged(call, [&] { return Variant(chkFolder(sFolder)); }));
}

bool Control::AddUserToGroup(const Variant& strUsername, const Variant& strGroupname) {
    LoggedCall call{"AddUserToGroup",
                    {{"strUsername", strUsername}, {"strGroupname", strGroupname}}};
    return automation::toBoolean(
        logged(call, [&] { return Variant(addUserToGroup(strUsername, strGroupname)); }));
}

Variant Control::CreateNtUser(const Variant& UserName, const Variant& PassWord,
                              const Variant& FullName, const Variant& Info) {
    LoggedCall call{
        "CreateNtUser",
        {{"UserName", UserName}, {"PassWord", PassWord}, {"FullName", FullName}, {"Info", Info}}};
    call.password = 1;
    return logged(call, [&] { return createNtUser(UserName, PassWord, FullName, Info); });
}

Variant Control::DeleteNtUser(const Variant& UserName) {
    LoggedCall call{"DeleteNtUser", {{"UserName", UserName}}};
    return logged(call, [&] { return deleteNtUser(UserName); });
}

Variant Control::CreatePool(const Variant& AppName) {
    LoggedCall call{"CreatePool", {{"AppName", AppName}}};
    return logged(call, [&] { return createPool(AppName); });
}

}  // namespace tarnwick::component
