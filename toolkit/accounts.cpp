#include "toolkit/accounts.h"

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
    err.attempt([&] { use(user).call("SetInfo"); });
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
