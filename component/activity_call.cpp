// The members that change something, as the page, the COM server and the
// commands call them: each runs its body and writes one line to the activity
// log (activity_log.h) in %SystemRoot%\system32\LogFiles\Tarnwick, through the
// page's Scripting.FileSystemObject.
//
// The line is written after the call, under the machine-wide lock, in one
// Write of the whole line (with the file's directives when the day's file is
// new), so two processes never lose or interleave lines. A line that cannot
// be written is dropped: the call's result stands as the member gave it, since
// the change it reports has been made (or refused) whatever the log holds.
// A member called by another member (CreateSite's ChkFolder, CreateNtUser,
// AddUserToGroup, CreatePool) writes no line of its own.
#include <algorithm>

#include "automation/error.h"
#include "automation/text.h"
#include "component/activity_log.h"
#include "component/control.h"
#include "toolkit/steps.h"

namespace tarnwick::component {

namespace {

using Clock = std::chrono::system_clock;

// The session key that holds the panel login's user name and password.
constexpr std::string_view kLoginUser = "kavro_loginuser";
constexpr std::string_view kLoginPass = "kavro_loginpass";
// How long a line waits for another process's line or binding check.
constexpr std::chrono::seconds kLogLockWait{10};
// The folder below the system folder (GetSpecialFolder(1)) that holds the log.
constexpr std::string_view kLogFolder = "LogFiles\\Tarnwick";

// An argument's value as the log shows it.
std::string valueText(const Variant& value) {
    switch (value.type()) {
        case automation::VarType::Empty: return "";
        case automation::VarType::Null: return "Null";
        case automation::VarType::Array: return "(Array)";
        case automation::VarType::Object: return "(Object)";
        default: break;
    }
    try {
        return automation::toText(value);
    } catch (const automation::AutomationError&) {
        return "(" + std::string(automation::typeName(value.type())) + ")";
    }
}

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
        if (!secret.empty()) text = automation::replaceAll(text, secret, kMaskedPassword);
    }
}

}  // namespace

struct Control::LoggedCall {
    std::string_view member;
    std::vector<std::pair<std::string_view, Variant>> arguments;
    // The argument that is a password, logged as "***"; none when npos.
    size_t password = std::string::npos;
    // The argument that names the site; CreateSite's site comes from its result.
    size_t site = std::string::npos;
    // When given, the line is written only if this flag is set after the call.
    const bool* onlyWhen = nullptr;
};

Variant Control::logged(const LoggedCall& call, const std::function<Variant()>& body) {
    if (loggedDepth_ > 0) {
        ++loggedDepth_;
        struct Leave {
            int& depth;
            ~Leave() { --depth; }
        } leave{loggedDepth_};
        return body();
    }
    ++loggedDepth_;
    shownError_.reset();
    const auto when = Clock::now();
    const auto started = std::chrono::steady_clock::now();
    auto elapsed = [&] {
        return std::chrono::duration_cast<std::chrono::milliseconds>(
                   std::chrono::steady_clock::now() - started)
            .count();
    };
    Variant result;
    try {
        result = body();
    } catch (const automation::AutomationError& error) {
        --loggedDepth_;
        writeActivity(call, nullptr, &error, elapsed(), when);
        throw;
    } catch (...) {
        --loggedDepth_;
        throw;
    }
    --loggedDepth_;
    writeActivity(call, &result, nullptr, elapsed(), when);
    return result;
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
    std::vector<std::string> secrets;
    try {
        auto login = session_ ? session_->value(kLoginUser) : Variant();
        entry.actor = valueText(login);
        if (session_) secrets.push_back(valueText(session_->value(kLoginPass)));
    } catch (const automation::AutomationError&) {
        entry.actor.clear();
    }
    if (entry.actor.empty()) entry.actor = commandUser_;
    for (size_t i = 0; i < call.arguments.size(); ++i) {
        const auto& [name, value] = call.arguments[i];
        if (i == call.password) {
            secrets.push_back(valueText(value));
            entry.arguments.emplace_back(name, kMaskedPassword);
        } else {
            entry.arguments.emplace_back(name, valueText(value));
        }
    }
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
    for (auto& argument : entry.arguments) maskAll(argument.second, secrets);

    try {
        auto& codePage = ansi();
        const KeepsCharacter keeps = [&codePage](std::string_view character) {
            return codePage.toUtf8(codePage.fromUtf8(character)) == character;
        };
        const auto line = activityLine(entry, keeps);
        std::unique_ptr<platform::MachineLock::Held> held;
        if (services_.machineLock) held = services_.machineLock->acquire(kLogLockWait);
        auto fso = server().createObject("Scripting.FileSystemObject");
        auto& files = toolkit::use(fso);
        auto system = files.call("GetSpecialFolder", {1});
        if (system.type() != automation::VarType::Object)
            automation::raise(automation::errors::kTypeMismatch);
        std::string folder = automation::toText(toolkit::use(system.object()).get("Path"));
        for (const auto& name : automation::split(kLogFolder, "\\")) {
            folder += "\\" + name;
            if (!automation::toBoolean(files.call("FolderExists", {folder}))) {
                files.call("CreateFolder", {folder});
            }
        }
        const std::string path = folder + "\\" + activityFileName(when);
        const bool fresh = !automation::toBoolean(files.call("FileExists", {path}));
        auto stream = files.call("OpenTextFile", {path, 8, true});
        if (stream.type() != automation::VarType::Object)
            automation::raise(automation::errors::kTypeMismatch);
        auto& text = toolkit::use(stream.object());
        text.call("Write", {(fresh ? activityFileHeader(when) : std::string()) + line + "\r\n"});
        text.call("Close");
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
