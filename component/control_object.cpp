#include "component/control_object.h"

#include <vector>

#include "automation/error.h"

namespace tarnwick::component {

namespace errors = automation::errors;

MemberKind memberKindOf(automation::InvokeKind kind) {
    switch (kind) {
        case automation::InvokeKind::Method: return MemberKind::Method;
        case automation::InvokeKind::PropertyGet: return MemberKind::PropertyGet;
        case automation::InvokeKind::PropertyPut: return MemberKind::PropertyPut;
    }
    return MemberKind::Method;
}

Variant ControlObject::invoke(std::string_view name, automation::InvokeKind kind,
                              std::span<Variant> args) {
    const Member* member = findMember(name, memberKindOf(kind));
    if (!member) automation::raise(errors::kMemberNotFound);
    return invokeMember(*member, args);
}

namespace {
std::shared_ptr<platform::ScriptingContext> scriptingContextOf(const Variant& value) {
    if (value.type() != automation::VarType::Object || !value.object()) {
        automation::raise(errors::kObjectNotSet);
    }
    auto context = std::dynamic_pointer_cast<platform::ScriptingContext>(value.object());
    if (!context) automation::raise(errors::kTypeMismatch);
    return context;
}
}  // namespace

Variant ControlObject::invokeMember(const Member& member, std::span<Variant> args) {
    if (args.size() != member.parameters.size()) automation::raise(errors::kWrongArgumentCount);
    if (member.kind != MemberKind::Method) return run(member, args);
    // A method works with the values of object arguments. The caller's
    // arguments stay as they are: the by-reference ones (DefaultDoc's) are
    // never changed, so the page keeps its objects.
    std::vector<Variant> values(args.begin(), args.end());
    for (size_t i = 0; i < values.size(); ++i) {
        if (member.parameters[i].type == ValueType::Variant) values[i] = argumentValue(values[i]);
    }
    return run(member, values);
}

Variant ControlObject::run(const Member& member, std::span<Variant> args) {
    auto& c = control_;
    auto& a = args;
    switch (member.slot) {
        case 1: return c.IsChkUser();
        case 2: c.putIsChkUser(automation::toBoolean(a[0])); return {};
        case 3: return c.System();
        case 4: c.putSystem(a[0]); return {};
        case 5: return c.ShowIP();
        case 6: c.putShowIP(a[0]); return {};
        case 7: c.OnStartPage(scriptingContextOf(a[0])); return {};
        case 8: c.OnEndPage(); return {};
        case 9: return c.ChkUser();
        case 10: return c.ShowErr(a[0]);
        case 11: return c.CreateSite(a[0], a[1], a[2], a[3], a[4], a[5], a[6]);
        case 12: return c.ModifySite(a[0], a[1], a[2], a[3], a[4], a[5]);
        case 13: return c.DefaultDoc(a[0], a[1]);
        case 14: return c.DeleteSite(a[0], a[1]);
        case 15: return c.SiteStatus(a[0], a[1]);
        case 16: return c.Computer();
        case 17: return c.ChkFolder(a[0]);
        case 18: return c.AddUserToGroup(a[0], a[1]);
        case 19: return c.CreateNtUser(a[0], a[1], a[2], a[3]);
        case 20: return c.DeleteNtUser(a[0]);
        case 21: return c.RndStr(a[0]);
        case 22: return c.GetNtPass();
        case 23: return c.CreatePool(a[0]);
        case 24: return c.login(a[0], a[1], a[2]);
        case 25: return c.logout();
        case 26: return c.IsAdmin();
        case 27: return c.GetCache();
        default: automation::raise(errors::kMemberNotFound);
    }
}

}  // namespace tarnwick::component
