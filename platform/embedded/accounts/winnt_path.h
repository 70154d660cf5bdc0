// Paths of the WinNT directory provider on this machine:
//
//   WinNT://COMPUTER                      the computer, the container of its accounts
//   WinNT://COMPUTER/name                 the account of that name, whatever its class
//   WinNT://COMPUTER/name,user            a user (",group" a group)
//   WinNT://WORKGROUP/COMPUTER[/name...]  the same with the workgroup in front, the form
//                                         of the objects' own ADsPath and Parent
//
// The prefix, names and class ignore case; COMPUTER is this machine's name,
// "localhost" or ".". A container may also carry ",computer".
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/embedded/accounts/account_storage.h"

namespace tarnwick::platform::embedded {

struct WinNTTarget {
    std::string computer;             // as the path writes it
    std::string name;                 // empty for the computer itself
    std::optional<AccountKind> kind;  // from the class suffix
};

// Reads `path`. Raises kBadPathName for a path the provider cannot read (an
// unknown class included) and kBadNetPath for a path that names another
// computer or workgroup.
WinNTTarget resolveWinNTPath(std::string_view path, std::string_view computerName,
                             std::string_view workgroup);

bool isThisComputer(std::string_view name, std::string_view computerName);

}  // namespace tarnwick::platform::embedded
