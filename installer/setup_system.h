// The operating system as the installer reaches it, beyond the window: the
// directory providers, the security calls, the generator, the ANSI code page
// and FileSystemObject that the toolkit already uses, and the few Win32 calls
// of the installer itself, in the shape of those calls. The embedded platform
// implements it over its state; a Windows build forwards each call to the
// function of the same name.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "automation/dispatch.h"
#include "platform/advapi32.h"
#include "platform/directory.h"
#include "platform/system.h"

namespace tarnwick::installer {

// SQLConfigDataSource requests.
inline constexpr uint16_t kAddSystemDataSource = 4;  // ODBC_ADD_SYS_DSN

// Window styles of Shell.
inline constexpr int kMinimizedFocus = 2;  // vbMinimizedFocus
inline constexpr int kNormalNoFocus = 4;   // vbNormalNoFocus

class SetupSystem {
public:
    virtual ~SetupSystem() = default;

    virtual platform::Directory& directory() = 0;
    virtual platform::Advapi32& advapi32() = 0;
    virtual platform::RandomSource& random() = 0;
    virtual platform::AnsiCodePage& ansi() = 0;
    // CreateObject("Scripting.FileSystemObject"); raises 429 for a class it cannot make.
    virtual automation::ObjectRef createObject(std::string_view progId) = 0;

    // kernel32 GetComputerNameA: on success `buffer` holds the name in the
    // ANSI code page, NUL-terminated, and *size its length without the NUL.
    // On failure (the buffer too small included) false.
    virtual bool GetComputerNameA(char* buffer, uint32_t* size) = 0;

    // The folder that holds the running program (Setup.exe), without a
    // trailing "\". The panel's distribution and the install log live there.
    virtual std::string programFolder() = 0;

    // Shell: starts the command line in a window of `windowStyle` and returns
    // without waiting. Raises 53 "File not found" when the program cannot be
    // started.
    virtual void shell(std::string_view commandLine, int windowStyle) = 0;

    // odbccp32 SQLConfigDataSource. `driver` and `attributes` are lists of
    // NUL-terminated strings in the ANSI code page, ended by one more NUL.
    virtual bool SQLConfigDataSource(void* parentWindow, uint16_t request, const char* driver,
                                     const char* attributes) = 0;
};

}  // namespace tarnwick::installer
