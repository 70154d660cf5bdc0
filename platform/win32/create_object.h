// Creating an in-process automation object by its ProgID, for the programs
// that play the ASP server's part (tarnwick.exe and the Wine test host). It
// stands in a file of its own so that the DLL, which never creates objects
// itself, does not import what it takes.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <string_view>

#include "platform/win32/com_ptr.h"

namespace tarnwick::platform::win32 {

// The in-process object registered under `progId`, asked for IDispatch;
// error 429 ("ActiveX component can't create object") when the ProgID is
// unknown or the object cannot be made.
ComPtr<IDispatch> createInProcessObject(std::string_view progId);

}  // namespace tarnwick::platform::win32
