// The WinNT directory provider over the local accounts: GetObject on a
// "WinNT://" path (winnt_path.h) gives the computer container, a user or a
// group as late-bound objects with the provider's members.
//
// Computer: Name, Class, ADsPath, Parent; Create(class, name) gives a new
//   user or group that exists only after its SetInfo; Delete(class, name);
//   GetObject(class, name); SetInfo and GetInfo do nothing; Children lists
//   the users and groups (what For Each over the computer yields).
// User: Name, Class, ADsPath ("WinNT://WORKGROUP/COMPUTER/name"), Parent
//   ("WinNT://WORKGROUP/COMPUTER"); FullName, Description and UserFlags,
//   written on SetInfo; SetPassword (at once for a stored user, with SetInfo
//   for a new one); SetInfo, GetInfo, Get, Put.
// Group: Name, Class, ADsPath, Parent, Description; Add, Remove and IsMember
//   with a member's path; Members (the members' names as an Array); SetInfo,
//   GetInfo, Get, Put. Add and Remove take effect at once.
//
// Every call first passes the CallCheck with the member's name and the
// object's path written "WinNT://COMPUTER" for the computer and
// "WinNT://COMPUTER/name" for an account (COMPUTER as the script wrote it);
// a bind passes "GetObject" with the whole path as given.
#pragma once

#include <memory>
#include <string_view>

#include "automation/dispatch.h"
#include "platform/embedded/accounts/call_check.h"
#include "platform/embedded/accounts/local_accounts.h"

namespace tarnwick::platform::embedded {

class WinNTProvider {
public:
    explicit WinNTProvider(std::shared_ptr<LocalAccounts> accounts, CallCheck check = {});

    // Binds `path`. Raises kBadPathName, kBadNetPath (another computer),
    // kUserNotFound (a missing user, or a missing name without class) or
    // kGroupNotFound (a missing group).
    automation::ObjectRef bind(std::string_view path);

private:
    struct Context;
    std::shared_ptr<Context> context_;
};

}  // namespace tarnwick::platform::embedded
