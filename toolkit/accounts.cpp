#include "toolkit/accounts.h"

#include "automation/text.h"
#include "toolkit/steps.h"

namespace tarnwick::toolkit {

using automation::concatText;
using automation::ErrorState;

namespace {
std::string provider(const ComputerName& computer) { return "WinNT://" + computer(); }
}  // namespace

bool CreateNtUser(platform::Directory& directory, const ComputerName& computer,
                  const Variant& UserName, const Variant& PassWord, const Variant& FullName,
                  const Variant& Info) {
    ErrorState err;
    auto container = objectStep(err, [&] { return Variant(directory.bind(provider(computer))); });
    auto user = objectStep(err, [&] { return use(container).call("Create", {"User", UserName}); });
    err.attempt([&] { use(user).call("SetPassword", {PassWord}); });
    err.attempt([&] { use(user).put("FullName", FullName); });
    err.attempt([&] { use(user).put("Description", Info); });
    err.attempt([&] { use(user).put("UserFlags", kDontExpirePassword); });
    // An account whose password or settings were not taken is not stored:
    // it would exist without the password the site's pages are given.
    if (!err.isSet()) err.attempt([&] { use(user).call("SetInfo"); });
    return !err.isSet();
}

bool AddUserToGroup(platform::Directory& directory, const ComputerName& computer,
                    const Variant& strUsername, const Variant& strGroupname) {
    ErrorState err;
    auto user = objectStep(err, [&] {
        return Variant(
            directory.bind(provider(computer) + "/" + concatText(strUsername) + ",user"));
    });
    auto group = objectStep(err, [&] {
        return Variant(
            directory.bind(provider(computer) + "/" + concatText(strGroupname) + ",group"));
    });
    err.attempt([&] { use(group).call("Add", {use(user).get("ADsPath")}); });
    err.attempt([&] { use(group).call("SetInfo"); });
    return !err.isSet();
}

bool DeleteNtUser(platform::Directory& directory, const ComputerName& computer,
                  const Variant& UserName) {
    ErrorState err;
    return DeleteNtUser(directory, computer, UserName, err);
}

bool DeleteNtUser(platform::Directory& directory, const ComputerName& computer,
                  const Variant& UserName, ErrorState& err) {
    auto object = objectStep(err, [&] {
        return Variant(directory.bind(provider(computer) + "/" + concatText(UserName)));
    });
    if (err.isSet()) return false;
    err.clear();
    auto container = objectStep(err, [&] {
        return Variant(directory.bind(automation::toText(use(object).get("Parent"))));
    });
    err.attempt([&] { use(container).call("DELETE", {"User", use(object).get("Name")}); });
    return !err.isSet();
}

}  // namespace tarnwick::toolkit

namespace tarnwick::toolkit {

namespace {
constexpr int32_t kUserNotFound = static_cast<int32_t>(0x800708ADu);

// A machine account's SID: S-1-5-21-a-b-c-RID, RID from 1000 (below it are
// the built-in accounts Administrator 500, Guest 501 and their kind).
bool isMachineAccountSid(const std::vector<uint8_t>& sid) {
    if (sid.size() < 8 || sid[0] != 1 || sid[1] != 5) return false;
    if (sid[2] != 0 || sid[3] != 0 || sid[4] != 0 || sid[5] != 0 || sid[6] != 0 || sid[7] != 5) {
        return false;
    }
    if (sid.size() < 8 + 5 * 4) return false;
    auto subAuthority = [&](size_t i) {
        size_t at = 8 + 4 * i;
        return static_cast<uint32_t>(sid[at]) | static_cast<uint32_t>(sid[at + 1]) << 8 |
               static_cast<uint32_t>(sid[at + 2]) << 16 | static_cast<uint32_t>(sid[at + 3]) << 24;
    };
    return subAuthority(0) == 21 && subAuthority(4) >= 1000;
}

// The SID of a local account, or the Win32 error number as an HRESULT.
std::vector<uint8_t> sidOf(platform::Advapi32& api, platform::AnsiCodePage& ansi,
                           std::string_view name) {
    const std::string accountName = ansi.fromUtf8(name);
    std::vector<uint8_t> sid(256);
    uint32_t sidSize = 255;
    std::string domain(256, '\0');
    uint32_t domainSize = 255;
    uint32_t use = 0;
    if (!api.LookupAccountNameA("", accountName.c_str(), sid.data(), &sidSize, domain.data(),
                                &domainSize, &use)) {
        automation::raise(static_cast<int32_t>(0x80070000u | (api.GetLastError() & 0xFFFFu)));
    }
    sid.resize(api.GetLengthSid(sid.data()));
    return sid;
}
}  // namespace

AccountStanding judgeAccount(platform::Directory& directory, platform::Advapi32& api,
                             platform::AnsiCodePage& ansi, const ComputerName& computer,
                             std::string_view name) {
    if (name.find('\\') != std::string_view::npos) return AccountStanding::Protected;
    const std::string machine = computer();
    for (std::string_view prefix : {"IUSR_", "IWAM_"}) {
        if (automation::equalsIgnoreCase(name, std::string(prefix) + machine)) {
            return AccountStanding::Protected;
        }
    }
    automation::ObjectRef user;
    try {
        user = directory.bind(provider(computer) + "/" + std::string(name) + ",user");
    } catch (const automation::AutomationError& error) {
        if (error.number() == kUserNotFound) return AccountStanding::Absent;
        throw;
    }
    if (!isMachineAccountSid(sidOf(api, ansi, name))) return AccountStanding::Protected;
    auto administrators = directory.bind(provider(computer) + "/Administrators,group");
    const auto member = administrators->call("IsMember", {user->get("ADsPath")});
    return automation::toBoolean(member) ? AccountStanding::Protected : AccountStanding::Deletable;
}

}  // namespace tarnwick::toolkit
