// The toolkit members of Control: each calls ChkUser (CreatePool does not)
// and runs the shared toolkit routine with the computer name from Computer().
//
// The routines reach the platform through the page's Server object. Outside
// OnStartPage ... OnEndPage a member fails with error 91 before its routine
// starts, instead of hiding the missing page behind a False result.
#include "automation/error.h"
#include "automation/text.h"
#include "component/control.h"
#include "toolkit/accounts.h"
#include "toolkit/app_pools.h"
#include "toolkit/folders.h"
#include "toolkit/random_text.h"

namespace tarnwick::component {

std::string Control::computerName() { return automation::toText(Computer()); }

Variant Control::RndStr(const Variant& StrLen) {
    ChkUser();
    return toolkit::RndStr(random(), StrLen);
}

Variant Control::GetNtPass() {
    ChkUser();
    std::string password = automation::toText(RndStr(6));
    password += toolkit::kPasswordPiece1;
    password += automation::toText(RndStr(8));
    password += toolkit::kPasswordPiece2;
    password += automation::toText(RndStr(6));
    password += toolkit::kPasswordPiece3;
    password += automation::toText(RndStr(6));
    return password;
}

namespace {
// Errors of the page or platform objects inside a toolkit routine are its
// own failures: they show only in its result.
template <class Routine>
bool quietly(Routine&& routine) {
    try {
        return routine();
    } catch (const automation::AutomationError&) {
        return false;
    }
}
}  // namespace

Variant Control::createNtUser(const Variant& UserName, const Variant& PassWord,
                              const Variant& FullName, const Variant& Info) {
    ChkUser();
    server();
    return quietly([&] {
        return toolkit::CreateNtUser(
            directory(), [this] { return computerName(); }, UserName, PassWord, FullName, Info);
    });
}

bool Control::addUserToGroup(const Variant& strUsername, const Variant& strGroupname) {
    ChkUser();
    server();
    return quietly([&] {
        return toolkit::AddUserToGroup(
            directory(), [this] { return computerName(); }, strUsername, strGroupname);
    });
}

// An account that no hosted site owns (built-in, the web server's own, an
// administrator's) is never deleted: the result is False and it stays.
Variant Control::deleteNtUser(const Variant& UserName) {
    ChkUser();
    server();
    return quietly([&] {
        auto computer = [this] { return computerName(); };
        const auto standing = toolkit::judgeAccount(directory(), advapi32(), ansi(), computer,
                                                    automation::concatText(UserName));
        return standing == toolkit::AccountStanding::Deletable &&
               toolkit::DeleteNtUser(directory(), computer, UserName);
    });
}

bool Control::chkFolder(const Variant& sFolder) {
    ChkUser();
    server();
    return quietly([&] {
        return toolkit::ChkFolder(
            [this] { return server().createObject("Scripting.FileSystemObject"); }, sFolder,
            &madeFolder_);
    });
}

Variant Control::createPool(const Variant& AppName) {
    server();
    quietly([&] {
        toolkit::CreatePool(
            directory(), [this] { return computerName(); }, AppName);
        return true;
    });
    return {};
}

}  // namespace tarnwick::component
