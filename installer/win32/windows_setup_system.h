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

// The command line that Shell hands to CreateProcess: a switch written
// straight after the program's name ("regsvr32/u x.dll") is set apart from
// it ("regsvr32 /u x.dll"), as the command interpreter reads such a line;
// anything else is left as it is.
std::string shellCommandLine(std::string_view commandLine);

}  // namespace tarnwick::installer::win32
