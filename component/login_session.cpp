// The panel login kept in the visitor's ASP session: three values written and
// cleared together. Nothing here verifies what is stored.
#include "component/control.h"
#include "component/messages.h"

namespace tarnwick::component {

namespace {
constexpr std::string_view kLoginUser = "kavro_loginuser";
constexpr std::string_view kLoginPass = "kavro_loginpass";
constexpr std::string_view kAdminUser = "kavro_admin_user";
constexpr std::string_view kLoginPage = "index.asp";
}  // namespace

Variant Control::login(const Variant& ologinuser, const Variant& ologinpass,
                       const Variant& oadmin_user) {
    ChkUser();
    if (automation::equalsEmptyString(ologinuser) || automation::equalsEmptyString(ologinpass) ||
        automation::equalsEmptyString(oadmin_user)) {
        ShowErr(messages::kLoginArgumentError);
        return {};
    }
    auto& visitor = session();
    visitor.setValue(kLoginUser, ologinuser);
    visitor.setValue(kLoginPass, ologinpass);
    visitor.setValue(kAdminUser, oadmin_user);
    return {};
}

Variant Control::logout() {
    auto& visitor = session();
    visitor.setValue(kLoginUser, "");
    visitor.setValue(kLoginPass, "");
    visitor.setValue(kAdminUser, "");
    return {};
}

Variant Control::IsAdmin() {
    auto& visitor = session();
    Variant user = visitor.value(kLoginUser);
    Variant pass = visitor.value(kLoginPass);
    Variant admin = visitor.value(kAdminUser);
    // A Null value (a database field that is Null) counts as no login, as "" does.
    auto missing = [](const Variant& value) {
        return value.isNull() || automation::equalsEmptyString(value);
    };
    if (missing(user) || missing(pass) || missing(admin)) {
        logout();
        response().redirect(kLoginPage);
    }
    return {};
}

Variant Control::GetCache() { return session().sessionId(); }

}  // namespace tarnwick::component
