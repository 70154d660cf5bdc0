#include "installer/win32/windows_setup_system.h"

// windows.h comes first, the others build on it.
// clang-format off
#include <windows.h>
#include <objbase.h>
#include <odbcinst.h>
// clang-format on
// The ANSI SQLConfigDataSource of odbccp32, whatever the UNICODE setting.
#undef SQLConfigDataSource

#include "automation/error.h"
#include "platform/win32/com_ptr.h"
#include "platform/win32/com_values.h"
#include "platform/win32/dispatch_object.h"
#include "platform/win32/services.h"

namespace tarnwick::installer::win32 {

namespace pw = platform::win32;

namespace {

constexpr int32_t kCannotCreateObject = 429;

// A kernel handle, closed when it goes.
class Handle {
public:
    explicit Handle(HANDLE handle) : handle_(handle) {}
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    ~Handle() {
        if (handle_) CloseHandle(handle_);
    }

private:
    HANDLE handle_;
};

class WindowsSetupSystem final : public SetupSystem {
public:
    WindowsSetupSystem()
        : directory_(pw::makeDirectory()),
          advapi32_(pw::makeAdvapi32()),
          random_(pw::makeRandomSource()),
          ansi_(pw::makeAnsiCodePage()) {}

    platform::Directory& directory() override { return *directory_; }
    platform::Advapi32& advapi32() override { return *advapi32_; }
    platform::RandomSource& random() override { return *random_; }
    platform::AnsiCodePage& ansi() override { return *ansi_; }

    automation::ObjectRef createObject(std::string_view progId) override {
        CLSID clsid;
        if (FAILED(CLSIDFromProgID(pw::toWide(progId).c_str(), &clsid))) {
            automation::raise(kCannotCreateObject, "ActiveX component can't create object");
        }
        pw::ComPtr<IDispatch> object;
        HRESULT hr =
            CoCreateInstance(clsid, nullptr, CLSCTX_SERVER, IID_IDispatch, object.putVoid());
        if (hr == REGDB_E_CLASSNOTREG || hr == CO_E_DLLNOTFOUND || hr == E_NOINTERFACE) {
            automation::raise(kCannotCreateObject, "ActiveX component can't create object");
        }
        if (FAILED(hr)) automation::raise(pw::errorNumberOf(hr));
        return pw::adapt(object.get());
    }

    bool GetComputerNameA(char* buffer, uint32_t* size) override {
        DWORD length = *size;
        if (!::GetComputerNameA(buffer, &length)) return false;
        *size = length;
        return true;
    }

    std::string programFolder() override {
        std::wstring path(MAX_PATH, L'\0');
        for (;;) {
            DWORD length =
                GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
            if (length == 0)
                automation::raise(pw::errorNumberOf(HRESULT_FROM_WIN32(GetLastError())));
            if (length < path.size()) {
                path.resize(length);
                break;
            }
            path.resize(path.size() * 2);
        }
        auto slash = path.find_last_of(L'\\');
        return pw::toUtf8(slash == std::wstring::npos ? path : path.substr(0, slash));
    }

    void shell(std::string_view commandLine, int windowStyle) override {
        // The line as written: CreateProcess takes the program's name up to
        // the first blank, so "regsvr32/u x.dll" names no program and fails
        // with 53, as Shell does on Windows.
        std::wstring line = pw::toWide(commandLine);
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESHOWWINDOW;
        startup.wShowWindow = static_cast<WORD>(windowStyle);
        PROCESS_INFORMATION process{};
        if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                            &startup, &process)) {
            automation::raise(automation::errors::kFileNotFound, "File not found");
        }
        // Started, not waited for.
        Handle processHandle(process.hProcess);
        Handle threadHandle(process.hThread);
    }

    bool SQLConfigDataSource(void* parentWindow, uint16_t request, const char* driver,
                             const char* attributes) override {
        return ::SQLConfigDataSource(static_cast<HWND>(parentWindow), request, driver,
                                     attributes) != FALSE;
    }

private:
    std::shared_ptr<platform::Directory> directory_;
    std::shared_ptr<platform::Advapi32> advapi32_;
    std::shared_ptr<platform::RandomSource> random_;
    std::shared_ptr<platform::AnsiCodePage> ansi_;
};

}  // namespace

std::unique_ptr<SetupSystem> makeWindowsSetupSystem() {
    return std::make_unique<WindowsSetupSystem>();
}

}  // namespace tarnwick::installer::win32
