// WScript.Network: the machine's network identity for scripts. Members
// ComputerName (the machine's name exactly as the platform keeps it),
// UserName ("Administrator", the account pages run under on this platform)
// and UserDomain (the computer's name, as for a local account). Every call
// first passes the CallCheck with the member's name and "WScript.Network".
#pragma once

#include <functional>
#include <string>

#include "automation/dispatch.h"
#include "platform/embedded/accounts/call_check.h"

namespace tarnwick::platform::embedded {

// `computerName` is asked at each call, so a renamed machine shows at once.
automation::ObjectRef makeNetworkObject(std::function<std::string()> computerName,
                                        CallCheck check = {});

}  // namespace tarnwick::platform::embedded
