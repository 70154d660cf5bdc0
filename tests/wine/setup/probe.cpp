// SetupProbe.dll: loaded into Setup.exe by the window hooks of the Setup
// driver (WH_CALLWNDPROC and WH_CALLWNDPROCRET on Setup's window thread). In
// the installer's process it
//   - points Setup.exe's LookupAccountNameA at the accounts double
//     (TarnwickDoubles.dll beside the probe), since Wine cannot know the
//     administrator account that the double creates, and its ShellExecuteA
//     at a recorder, so that the maker's web page is recorded, not opened;
//   - selects the folder that the driver asks for in the open folder picker;
//   - writes every caption of the Setup window into the transcript, in the
//     order the window receives them;
//   - signals the driver when a click on the window has been handled;
//   - answers report requests (a registered message; the request in a file
//     beside the probe) by binding directory paths in
//     Setup's own process, where the doubles keep the machine's state, and
//     writing the properties asked for into the transcript.
#include <shlobj.h>
#include <windows.h>

#include <string>

#include "automation/error.h"
#include "automation/variant.h"
#include "installer/win32/form_layout.h"
#include "platform/win32/com_values.h"
#include "platform/win32/services.h"
#include "tests/wine/import_patch.h"
#include "tests/wine/setup/probe_protocol.h"

namespace {

namespace win32 = tarnwick::platform::win32;
namespace automation = tarnwick::automation;
namespace protocol = tarnwick::tests::wine::setup;

HMODULE g_module = nullptr;
bool g_started = false;
int g_clickDepth = 0;

std::wstring besideProbe(const wchar_t* name) {
    wchar_t path[MAX_PATH];
    DWORD length = GetModuleFileNameW(g_module, path, MAX_PATH);
    std::wstring folder(path, length);
    return folder.substr(0, folder.find_last_of(L'\\') + 1) + name;
}

void record(const std::string& line) {
    static const std::wstring transcript = besideProbe(protocol::kTranscriptName);
    protocol::appendLine(transcript.c_str(), line.data(), line.size());
}

bool isSetupWindow(HWND window);

std::string orNull(LPCSTR text) { return text ? "'" + std::string(text) + "'" : "null"; }

// Setup.exe's ShellExecuteA: records the call and reports success.
HINSTANCE WINAPI recordShellExecute(HWND owner, LPCSTR verb, LPCSTR file, LPCSTR parameters,
                                    LPCSTR directory, INT show) {
    record("shell: owner " + std::string(isSetupWindow(owner) ? "Form1" : "other") + ", verb " +
           orNull(verb) + ", file " + orNull(file) + ", parameters " + orNull(parameters) +
           ", directory " + orNull(directory) + ", show " + std::to_string(show));
    return reinterpret_cast<HINSTANCE>(static_cast<INT_PTR>(33));
}

// Once, in Setup.exe: stay loaded for the process's life and put the
// accounts double and the ShellExecuteA recorder in place.
void start() {
    if (g_started) return;
    g_started = true;
    HMODULE pinned;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_PIN | GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                       reinterpret_cast<LPCWSTR>(&start), &pinned);
    HMODULE setup = GetModuleHandleW(nullptr);
    HMODULE doubles = LoadLibraryW(besideProbe(L"TarnwickDoubles.dll").c_str());
    FARPROC lookup = doubles ? GetProcAddress(doubles, "DoubleLookupAccountNameA") : nullptr;
    bool accounts =
        lookup && tarnwick::tests::wine::replaceImport(setup, "advapi32.dll", "LookupAccountNameA",
                                                       reinterpret_cast<void*>(lookup));
    bool shell = tarnwick::tests::wine::replaceImport(setup, "shell32.dll", "ShellExecuteA",
                                                      reinterpret_cast<void*>(&recordShellExecute));
    if (!accounts) record("probe: the accounts double could not be put in place");
    if (!shell) record("probe: the ShellExecuteA recorder could not be put in place");
    if (accounts && shell) record("probe: ready");
}

bool isSetupWindow(HWND window) {
    if (GetParent(window) != nullptr) return false;
    wchar_t name[64];
    int length = GetClassNameW(window, name, 64);
    return std::wstring_view(name, static_cast<size_t>(length)) ==
           tarnwick::installer::win32::kWindowClass;
}

bool isClick(const CWPSTRUCT& message) {
    return message.message == WM_COMMAND && HIWORD(message.wParam) == 0 && message.lParam != 0 &&
           isSetupWindow(message.hwnd);
}

std::string textOf(const automation::Variant& value) {
    if (value.type() == automation::VarType::Array) {
        std::string joined = "[";
        for (const auto& item : value.array()) {
            if (joined.size() > 1) joined += ", ";
            joined += textOf(item);
        }
        return joined + "]";
    }
    return automation::toText(value);
}

std::string hex(int32_t number) {
    char text[16];
    wsprintfA(text, "%08X", static_cast<unsigned>(number));
    return text;
}

UINT reportMessage() {
    static const UINT message = RegisterWindowMessageW(protocol::kReportMessage);
    return message;
}

UINT selectFolderMessage() {
    static const UINT message = RegisterWindowMessageW(protocol::kSelectFolderMessage);
    return message;
}

// A request that the driver left beside the probe.
std::string readRequest(const wchar_t* name) {
    HANDLE file =
        CreateFileW(besideProbe(name).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return "";
    std::string request(GetFileSize(file, nullptr), '\0');
    DWORD read = 0;
    ReadFile(file, request.data(), static_cast<DWORD>(request.size()), &read, nullptr);
    CloseHandle(file);
    request.resize(read);
    return request;
}

// "path|property,Method(argument)": the object at path, or the error of
// binding it, and each property's value or method's result, or its error.
void report(const std::string& request) {
    auto directory = win32::makeDirectory();
    size_t start = 0;
    while (start < request.size()) {
        size_t end = request.find('\n', start);
        if (end == std::string::npos) end = request.size();
        std::string line = request.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty()) continue;
        auto bar = line.find('|');
        std::string path = line.substr(0, bar);
        automation::ObjectRef object;
        try {
            object = directory->bind(path);
            record("report: " + path + " exists");
        } catch (const automation::AutomationError& error) {
            record("report: " + path + " error " + hex(error.number()));
            continue;
        }
        if (bar == std::string::npos) continue;
        std::string properties = line.substr(bar + 1);
        size_t from = 0;
        while (from <= properties.size()) {
            size_t comma = properties.find(',', from);
            if (comma == std::string::npos) comma = properties.size();
            std::string name = properties.substr(from, comma - from);
            from = comma + 1;
            if (name.empty()) continue;
            try {
                // "Method(argument)" calls a method with one text argument.
                auto open = name.find('(');
                automation::Variant value =
                    open != std::string::npos && name.back() == ')'
                        ? object->call(name.substr(0, open),
                                       {name.substr(open + 1, name.size() - open - 2)})
                        : object->get(name);
                record("report:   " + name + " = " + textOf(value));
            } catch (const automation::AutomationError& error) {
                record("report:   " + name + " error " + hex(error.number()));
            }
        }
    }
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        g_module = instance;
        DisableThreadLibraryCalls(instance);
    }
    return TRUE;
}

extern "C" __declspec(dllexport) LRESULT CALLBACK
    ProbeCallWndProc(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HC_ACTION) {
        const auto& message = *reinterpret_cast<const CWPSTRUCT*>(lParam);
        start();
        if (message.message == WM_SETTEXT && isSetupWindow(message.hwnd) && message.lParam) {
            record("caption: " + win32::toUtf8(reinterpret_cast<const wchar_t*>(message.lParam)));
        } else if (isClick(message)) {
            ++g_clickDepth;
        } else if (message.message == reportMessage() && isSetupWindow(message.hwnd)) {
            report(readRequest(protocol::kReportRequestName));
        } else if (message.message == selectFolderMessage()) {
            std::string path = readRequest(protocol::kFolderRequestName);
            while (!path.empty() && (path.back() == '\n' || path.back() == '\r')) path.pop_back();
            SendMessageW(message.hwnd, BFFM_SETSELECTIONW, TRUE,
                         reinterpret_cast<LPARAM>(win32::toWide(path).c_str()));
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

extern "C" __declspec(dllexport) LRESULT CALLBACK
    ProbeCallWndRetProc(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HC_ACTION) {
        const auto& message = *reinterpret_cast<const CWPRETSTRUCT*>(lParam);
        if (message.message == WM_COMMAND && HIWORD(message.wParam) == 0 && message.lParam != 0 &&
            isSetupWindow(message.hwnd) && g_clickDepth > 0 && --g_clickDepth == 0) {
            HANDLE done = OpenEventW(EVENT_MODIFY_STATE, FALSE, protocol::kClickDoneEvent);
            if (done) {
                SetEvent(done);
                CloseHandle(done);
            }
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}
