#include "component/members.h"

#include "automation/text.h"

namespace tarnwick::component {

namespace {

constexpr Parameter kNewBoolean[] = {{"RHS", ValueType::Boolean, false}};
constexpr Parameter kNewValue[] = {{"RHS", ValueType::Variant, false}};
constexpr Parameter kOnStartPage[] = {
    {"PassedScriptingContext", ValueType::ScriptingContext, true}};
constexpr Parameter kShowErr[] = {{"Str", ValueType::Variant, false}};
constexpr Parameter kCreateSite[] = {
    {"HostUser", ValueType::Variant, false},   {"HostPath", ValueType::Variant, false},
    {"HostDomain", ValueType::Variant, false}, {"HostIIS", ValueType::Variant, false},
    {"HostBand", ValueType::Variant, false},   {"HostPool", ValueType::Variant, false},
    {"HostDoc", ValueType::Variant, false}};
constexpr Parameter kModifySite[] = {
    {"SiteSN", ValueType::Variant, false},  {"NewDomain", ValueType::Variant, false},
    {"NewBand", ValueType::Variant, false}, {"NewIIS", ValueType::Variant, false},
    {"NewDoc", ValueType::Variant, false},  {"UserName", ValueType::Variant, false}};
constexpr Parameter kDefaultDoc[] = {{"SiteNum", ValueType::Variant, true},
                                     {"Doc", ValueType::Variant, true}};
constexpr Parameter kDeleteSite[] = {{"SiteNum", ValueType::Variant, false},
                                     {"SitePath", ValueType::Variant, false}};
constexpr Parameter kSiteStatus[] = {{"SiteNum", ValueType::Variant, false},
                                     {"DoWhat", ValueType::Variant, false}};
constexpr Parameter kChkFolder[] = {{"sFolder", ValueType::Variant, false}};
constexpr Parameter kAddUserToGroup[] = {{"strUsername", ValueType::Variant, false},
                                         {"strGroupname", ValueType::Variant, false}};
constexpr Parameter kCreateNtUser[] = {{"UserName", ValueType::Variant, false},
                                       {"PassWord", ValueType::Variant, false},
                                       {"FullName", ValueType::Variant, false},
                                       {"Info", ValueType::Variant, false}};
constexpr Parameter kDeleteNtUser[] = {{"UserName", ValueType::Variant, false}};
constexpr Parameter kRndStr[] = {{"StrLen", ValueType::Variant, false}};
constexpr Parameter kCreatePool[] = {{"AppName", ValueType::Variant, false}};
constexpr Parameter kLogin[] = {{"ologinuser", ValueType::Variant, false},
                                {"ologinpass", ValueType::Variant, false},
                                {"oadmin_user", ValueType::Variant, false}};

using K = MemberKind;
using R = ResultType;

constexpr Member kMembers[] = {
    {1, "IsChkUser", 0x40030008, K::PropertyGet, {}, R::Boolean},
    {2, "IsChkUser", 0x40030008, K::PropertyPut, kNewBoolean, R::None},
    {3, "System", 0x68030001, K::PropertyGet, {}, R::Variant},
    {4, "System", 0x68030001, K::PropertyPut, kNewValue, R::None},
    {5, "ShowIP", 0x68030000, K::PropertyGet, {}, R::Variant},
    {6, "ShowIP", 0x68030000, K::PropertyPut, kNewValue, R::None},
    {7, "OnStartPage", 0x60030002, K::Method, kOnStartPage, R::None},
    {8, "OnEndPage", 0x60030003, K::Method, {}, R::None},
    {9, "ChkUser", 0x60030004, K::Method, {}, R::Variant},
    {10, "ShowErr", 0x60030005, K::Method, kShowErr, R::Variant},
    {11, "CreateSite", 0x60030006, K::Method, kCreateSite, R::Variant},
    {12, "ModifySite", 0x60030007, K::Method, kModifySite, R::Boolean},
    {13, "DefaultDoc", 0x60030008, K::Method, kDefaultDoc, R::Boolean},
    {14, "DeleteSite", 0x60030009, K::Method, kDeleteSite, R::Boolean},
    {15, "SiteStatus", 0x6003000A, K::Method, kSiteStatus, R::Boolean},
    {16, "Computer", 0x6003000B, K::Method, {}, R::Variant},
    {17, "ChkFolder", 0x6003000C, K::Method, kChkFolder, R::Boolean},
    {18, "AddUserToGroup", 0x6003000D, K::Method, kAddUserToGroup, R::Boolean},
    {19, "CreateNtUser", 0x6003000E, K::Method, kCreateNtUser, R::Variant},
    {20, "DeleteNtUser", 0x6003000F, K::Method, kDeleteNtUser, R::Variant},
    {21, "RndStr", 0x60030010, K::Method, kRndStr, R::Variant},
    {22, "GetNtPass", 0x60030011, K::Method, {}, R::Variant},
    {23, "CreatePool", 0x60030012, K::Method, kCreatePool, R::Variant},
    {24, "login", 0x60030013, K::Method, kLogin, R::Variant},
    {25, "logout", 0x60030014, K::Method, {}, R::Variant},
    {26, "IsAdmin", 0x60030015, K::Method, {}, R::Variant},
    {27, "GetCache", 0x60030016, K::Method, {}, R::Variant},
};

}  // namespace

std::span<const Member> controlMembers() { return kMembers; }

const Member* findMember(std::string_view name, MemberKind kind) {
    for (const auto& member : kMembers) {
        if (!automation::equalsIgnoreCase(member.name, name)) continue;
        bool putCall = kind == MemberKind::PropertyPut;
        if (putCall == (member.kind == MemberKind::PropertyPut)) return &member;
    }
    return nullptr;
}

automation::Variant argumentValue(const automation::Variant& value) {
    if (value.type() != automation::VarType::Object || !value.object()) return value;
    return automation::defaultValue(value);
}

}  // namespace tarnwick::component
