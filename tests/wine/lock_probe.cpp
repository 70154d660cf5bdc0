// Takes the machine-wide lock of platform/win32 for the tests under Wine:
//   lock_probe hold MS   takes it, says "held", keeps it MS milliseconds, lets go
//   lock_probe take MS   waits at most MS milliseconds: "taken" or "timeout <number>"
//   lock_probe die       takes it, says "held" and ends the process without letting go
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

#include "automation/error.h"
#include "platform/win32/services.h"

int wmain(int argc, wchar_t** argv) {
    using namespace tarnwick;
    if (argc < 2) return 64;
    const std::wstring mode = argv[1];
    const long milliseconds = argc > 2 ? std::wcstol(argv[2], nullptr, 10) : 30000;
    auto lock = platform::win32::makeMachineLock();
    try {
        auto held =
            lock->acquire(std::chrono::milliseconds(mode == L"take" ? milliseconds : 30000));
        std::puts(mode == L"take" ? "taken" : "held");
        std::fflush(stdout);
        if (mode == L"die") ExitProcess(3);
        if (mode == L"hold") Sleep(static_cast<DWORD>(milliseconds));
    } catch (const automation::AutomationError& error) {
        std::printf("%s %08X\n",
                    error.number() == platform::MachineLock::kTimeout ? "timeout" : "error",
                    static_cast<unsigned>(error.number()));
        return 1;
    }
    if (mode == L"hold") std::puts("released");
    return 0;
}
