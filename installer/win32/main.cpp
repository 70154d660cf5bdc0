// Setup.exe: the installer of the panel's master control site. One window,
// Form1, on the program's one thread, with COM in a single-threaded
// apartment for the program's whole life (the directory providers, the
// FileSystemObject and the folder picker all need it).

// windows.h comes first, objbase.h builds on it.
// clang-format off
#include <windows.h>
#include <objbase.h>
// clang-format on

#include <exception>

#include "installer/win32/setup_window.h"
#include "installer/win32/windows_setup_system.h"
#include "platform/win32/com_values.h"

namespace {

class ComApartment {
public:
    ComApartment() : result_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;
    ~ComApartment() {
        if (SUCCEEDED(result_)) CoUninitialize();
    }
    HRESULT result() const { return result_; }

private:
    HRESULT result_;
};

int run(HINSTANCE instance, int showCommand) {
    auto system = tarnwick::installer::win32::makeWindowsSetupSystem();
    tarnwick::installer::win32::SetupWindow window(*system);
    window.create(instance, showCommand);
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        // Tab and Shift+Tab move through the controls in their tab order.
        if (window.handle() && IsDialogMessageW(window.handle(), &message)) continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return static_cast<int>(message.wParam);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
    ComApartment apartment;
    if (FAILED(apartment.result())) {
        MessageBoxW(nullptr, L"COM could not be initialised.", L"Setup", MB_OK | MB_ICONERROR);
        return 1;
    }
    try {
        return run(instance, showCommand);
    } catch (const std::exception& error) {
        MessageBoxW(nullptr, tarnwick::platform::win32::toWide(error.what()).c_str(), L"Setup",
                    MB_OK | MB_ICONERROR);
        return 1;
    }
}
