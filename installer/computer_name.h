// The computer name as the system reports it (kernel32 GetComputerNameA).
#pragma once

#include <string>
#include <string_view>

#include "installer/setup_system.h"

namespace tarnwick::installer {

// The characters of `text` before its first NUL; all of it when it has none.
std::string TrimAtNull(std::string_view text);

// The name read into a buffer of 200 characters, converted from the ANSI
// code page; "" when the call fails.
std::string GetLocalComputerName(SetupSystem& system);

}  // namespace tarnwick::installer
