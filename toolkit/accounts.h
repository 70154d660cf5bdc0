// Local Windows accounts through the WinNT directory provider. Each routine
// runs with resume-next handling: a failing step is skipped, later steps go
// on, and the result is False when any step failed. Nothing is rolled back.
//
// `computer` is called anew for every path, as each path takes the computer
// name afresh; when it fails, the step that builds the path fails.
#pragma once

#include <functional>
#include <string>

#include "automation/variant.h"
#include "platform/directory.h"

namespace tarnwick::toolkit {

using ComputerName = std::function<std::string()>;
using automation::Variant;

// Makes the account with a password that never expires.
bool CreateNtUser(platform::Directory& directory, const ComputerName& computer,
                  const Variant& UserName, const Variant& PassWord, const Variant& FullName,
                  const Variant& Info);
bool AddUserToGroup(platform::Directory& directory, const ComputerName& computer,
                    const Variant& strUsername, const Variant& strGroupname);
// Deletes the user account of that name (an object of another class is not deleted).
bool DeleteNtUser(platform::Directory& directory, const ComputerName& computer,
                  const Variant& UserName);

// The flag word of a new account: the password never expires.
inline constexpr int32_t kDontExpirePassword = 0x10000;

}  // namespace tarnwick::toolkit
