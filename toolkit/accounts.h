// Local Windows accounts through the WinNT directory provider. Each routine
// runs with resume-next handling: a failing step is skipped, later steps go
// on, and the result is False when any step failed. Nothing is rolled back.
//
// `computer` is called anew for every path, as each path takes the computer
// name afresh; when it fails, the step that builds the path fails.
#pragma once

#include <functional>
#include <string>

#include "automation/error.h"
#include "automation/variant.h"
#include "platform/advapi32.h"
#include "platform/directory.h"
#include "platform/system.h"

namespace tarnwick::toolkit {

using ComputerName = std::function<std::string()>;
using automation::Variant;

// Makes the account with a password that never expires. The account is
// stored only when the password and every setting were taken.
bool CreateNtUser(platform::Directory& directory, const ComputerName& computer,
                  const Variant& UserName, const Variant& PassWord, const Variant& FullName,
                  const Variant& Info);
bool AddUserToGroup(platform::Directory& directory, const ComputerName& computer,
                    const Variant& strUsername, const Variant& strGroupname);
// Deletes the user account of that name (an object of another class is not deleted).
bool DeleteNtUser(platform::Directory& directory, const ComputerName& computer,
                  const Variant& UserName);
// The same, leaving the failing step's error in `err`.
bool DeleteNtUser(platform::Directory& directory, const ComputerName& computer,
                  const Variant& UserName, automation::ErrorState& err);

// What deleting a site may do with the account the site names.
enum class AccountStanding {
    Absent,     // no local user of that name: nothing to delete
    Protected,  // an account no hosted site owns: never deleted for one
    Deletable,  // a local user that a hosted site may own
};
// Judges an account name (without the computer's prefix). Protected are the
// built-in accounts (any SID but a machine account's with a relative id from
// 1000: Administrator, Guest and the system's own), the web server's
// IUSR_<computer> and IWAM_<computer>, every member of Administrators, and a
// name that qualifies another domain ("DOMAIN\name"). Raises the platform's
// error when it cannot tell.
AccountStanding judgeAccount(platform::Directory& directory, platform::Advapi32& api,
                             platform::AnsiCodePage& ansi, const ComputerName& computer,
                             std::string_view name);

// The flag word of a new account: the password never expires.
inline constexpr int32_t kDontExpirePassword = 0x10000;

}  // namespace tarnwick::toolkit
