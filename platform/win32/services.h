// The real Windows platform behind the core's seams.
#pragma once

#include "platform/services.h"

namespace tarnwick::platform::win32 {

// GetObject through the system's monikers (CoGetObject, as a script's
// GetObject binds), advapi32.dll, the system's cryptographic generator
// (CryptGenRandom), the ANSI code page of the system (GetACP) and the
// machine-wide lock (a named mutex), and the processes by id and creation time.
Services makeServices();

std::shared_ptr<Directory> makeDirectory();
std::shared_ptr<Advapi32> makeAdvapi32();
std::shared_ptr<RandomSource> makeRandomSource();
std::shared_ptr<AnsiCodePage> makeAnsiCodePage();
std::shared_ptr<MachineLock> makeMachineLock();
std::shared_ptr<Processes> makeProcesses();

}  // namespace tarnwick::platform::win32
