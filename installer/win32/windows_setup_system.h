// The installer's operating system on Windows: every call of SetupSystem
// goes to the Win32 function of the same name, and the directory providers,
// security calls, generator and ANSI code page are the adapters that
// Tarnwick.dll uses too.
#pragma once

#include <memory>

#include "installer/setup_system.h"

namespace tarnwick::installer::win32 {

// Needs COM initialised on the calling thread for as long as it is used.
std::unique_ptr<SetupSystem> makeWindowsSetupSystem();

}  // namespace tarnwick::installer::win32
