// setup_driver.exe: drives Setup.exe's window under Wine the way an operator
// would, and writes what the window does into a transcript that the test
// compares with the expected one.
//
//   setup_driver step [argument]... [step [argument]...]...
//
// Steps, in the order given:
//   find                 wait for the Setup window
//   layout               check the caption, client size, centring, the controls'
//                        classes, styles, texts, places and sizes and the tab
//                        order against the layout table; print the window's
//                        and Label6's places on the screen ("window: x y w h")
//   hook PROBE           load SetupProbe.dll into Setup.exe through window
//                        hooks; from here on the transcript beside the probe
//                        receives every caption, and this program's lines too
//   set N TEXT           put TEXT into TextN (WM_SETTEXT)
//   fields               write the seven text boxes into the transcript
//   pick PATH            have the next folder picker choose PATH (through the
//                        probe) and confirm it, instead of cancelling it
//   click NAME           press Command1-3 (BM_CLICK) or click LabelN (mouse
//                        button on the label), answer every message box
//                        (recorded, then OK) and cancel the folder picker or
//                        choose the folder of `pick` (recorded) until the
//                        click has been handled
//   report PATH|PROPS    have the probe bind PATH in Setup's process and write
//                        the properties PROPS (comma-separated) into the transcript
//   close                close the window and wait for Setup.exe to end
//   version FILE         print the version resource's FileVersion,
//                        ProductVersion and OriginalFilename of FILE
// Exit code 1 on the first failed step or check.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "installer/win32/form_layout.h"
#include "platform/win32/com_values.h"
#include "tests/wine/setup/probe_protocol.h"

namespace {

namespace layout = tarnwick::installer::win32;
namespace protocol = tarnwick::tests::wine::setup;
using tarnwick::platform::win32::toUtf8;
using tarnwick::platform::win32::toWide;

HWND g_window = nullptr;
DWORD g_process = 0;
DWORD g_thread = 0;
std::wstring g_transcript;
HANDLE g_clickDone = nullptr;
std::vector<HHOOK> g_hooks;
std::string g_pick;  // the folder for the next folder picker; "" cancels it
int g_failures = 0;

void say(const std::string& line) {
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
}

void record(const std::string& line) {
    say(line);
    if (!g_transcript.empty()) protocol::appendLine(g_transcript.c_str(), line.data(), line.size());
}

void fail(const std::string& what) {
    say("FAIL: " + what);
    ++g_failures;
}

std::wstring textOf(HWND window) {
    wchar_t text[1024];
    LRESULT length = SendMessageW(window, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text));
    return std::wstring(text, static_cast<size_t>(length));
}

std::wstring classOf(HWND window) {
    wchar_t name[64];
    int length = GetClassNameW(window, name, 64);
    return std::wstring(name, static_cast<size_t>(length));
}

bool sameText(const std::wstring& a, const wchar_t* b) { return _wcsicmp(a.c_str(), b) == 0; }

const layout::ControlSpec* controlNamed(const std::string& name) {
    for (const auto& control : layout::kControls) {
        if (control.name == name) return &control;
    }
    return nullptr;
}

bool find() {
    for (int i = 0; i < 300 && !g_window; ++i) {
        g_window = FindWindowW(layout::kWindowClass.data(), nullptr);
        if (!g_window) Sleep(100);
    }
    if (!g_window) {
        fail("no Setup window appeared");
        return false;
    }
    g_thread = GetWindowThreadProcessId(g_window, &g_process);
    // Form_Load has run once the window answers.
    DWORD_PTR answer;
    SendMessageTimeoutW(g_window, WM_NULL, 0, 0, SMTO_NORMAL, 10000, &answer);
    say("found the Setup window");
    return true;
}

RECT clientRectOf(HWND child) {
    RECT rect;
    GetWindowRect(child, &rect);
    MapWindowPoints(nullptr, g_window, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

// Whether some pixel of the screen area is clearly blue.
bool showsBlue(const RECT& screenRect) {
    HDC screen = GetDC(nullptr);
    bool blue = false;
    for (int y = screenRect.top; y < screenRect.bottom && !blue; ++y) {
        for (int x = screenRect.left; x < screenRect.right && !blue; ++x) {
            COLORREF pixel = GetPixel(screen, x, y);
            if (pixel == CLR_INVALID) continue;
            blue = GetBValue(pixel) >= 160 && GetRValue(pixel) < 96 && GetGValue(pixel) < 96;
        }
    }
    ReleaseDC(nullptr, screen);
    return blue;
}

void checkLayout() {
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSX);
    ReleaseDC(nullptr, screen);
    auto px = [dpi](int twips) { return layout::twipsToPixels(twips, dpi); };

    if (toUtf8(textOf(g_window)) != tarnwick::installer::messages::kWindowCaption) {
        fail("caption at start: " + toUtf8(textOf(g_window)));
    }
    RECT client;
    GetClientRect(g_window, &client);
    if (client.right != px(layout::kClientWidthTwips) ||
        client.bottom != px(layout::kClientHeightTwips)) {
        fail("client area " + std::to_string(client.right) + "x" + std::to_string(client.bottom) +
             " at " + std::to_string(dpi) + " dpi");
    }
    RECT frame;
    GetWindowRect(g_window, &frame);
    const int left = (GetSystemMetrics(SM_CXSCREEN) - (frame.right - frame.left)) / 2;
    const int top = (GetSystemMetrics(SM_CYSCREEN) - (frame.bottom - frame.top)) / 2;
    if (std::abs(frame.left - left) > 1 || std::abs(frame.top - top) > 1) {
        fail("window not centred: at " + std::to_string(frame.left) + "," +
             std::to_string(frame.top));
    }

    // The children in z-order are the controls in tab order.
    HWND child = GetWindow(g_window, GW_CHILD);
    for (const auto& control : layout::kControls) {
        const std::string name(control.name);
        if (!child) {
            fail("missing control " + name);
            return;
        }
        if (GetDlgCtrlID(child) != control.id) {
            fail("tab order: expected " + name + ", found control " +
                 std::to_string(GetDlgCtrlID(child)));
        }
        const LONG style = GetWindowLongW(child, GWL_STYLE);
        const std::wstring windowClass = classOf(child);
        bool kindRight = false;
        switch (control.kind) {
            case layout::ControlKind::Label:
                kindRight = sameText(windowClass, L"Static") && (style & SS_NOTIFY) &&
                            !(style & WS_TABSTOP);
                break;
            case layout::ControlKind::TextBox:
                kindRight = sameText(windowClass, L"Edit") && (style & WS_TABSTOP);
                break;
            case layout::ControlKind::Button:
                kindRight = sameText(windowClass, L"Button") && (style & WS_TABSTOP);
                break;
        }
        if (!kindRight) fail(name + ": class or style wrong (" + toUtf8(windowClass) + ")");
        if (control.kind != layout::ControlKind::TextBox && toUtf8(textOf(child)) != control.text) {
            fail(name + ": text '" + toUtf8(textOf(child)) + "'");
        }
        RECT rect = clientRectOf(child);
        if (rect.left != px(control.left) || rect.top != px(control.top) ||
            rect.right - rect.left != px(control.width) ||
            rect.bottom - rect.top != px(control.height)) {
            fail(name + ": at " + std::to_string(rect.left) + "," + std::to_string(rect.top) +
                 " size " + std::to_string(rect.right - rect.left) + "x" +
                 std::to_string(rect.bottom - rect.top));
        }
        child = GetWindow(child, GW_HWNDNEXT);
    }
    if (child) fail("more controls than the layout names");

    RECT notice;
    GetWindowRect(GetDlgItem(g_window, layout::labelId(6)), &notice);
    if (!showsBlue(notice)) fail("Label6 shows no blue text");
    say("window: " + std::to_string(frame.left) + " " + std::to_string(frame.top) + " " +
        std::to_string(frame.right - frame.left) + " " + std::to_string(frame.bottom - frame.top));
    say("checked the layout at " + std::to_string(dpi) + " dpi");
}

bool hook(const std::wstring& probePath) {
    HMODULE probe = LoadLibraryW(probePath.c_str());
    auto procedure = [probe](const char* name) {
        return probe ? reinterpret_cast<HOOKPROC>(
                           reinterpret_cast<void*>(GetProcAddress(probe, name)))
                     : nullptr;
    };
    HOOKPROC callProc = procedure("ProbeCallWndProc");
    HOOKPROC retProc = procedure("ProbeCallWndRetProc");
    if (!callProc || !retProc) {
        fail("cannot load the probe " + toUtf8(probePath));
        return false;
    }
    // The transcript goes on from an earlier run of the driver; the probe
    // stays in Setup.exe once loaded.
    g_transcript =
        probePath.substr(0, probePath.find_last_of(L'\\') + 1) + protocol::kTranscriptName;
    g_clickDone = CreateEventW(nullptr, FALSE, FALSE, protocol::kClickDoneEvent);
    for (auto [kind, hookProcedure] :
         {std::pair{WH_CALLWNDPROC, callProc}, std::pair{WH_CALLWNDPROCRET, retProc}}) {
        HHOOK hook = SetWindowsHookExW(kind, hookProcedure, probe, g_thread);
        if (!hook) {
            fail("cannot hook the Setup window's thread");
            return false;
        }
        g_hooks.push_back(hook);
    }
    // The first message through the hooks loads the probe into Setup.exe.
    DWORD_PTR answer;
    SendMessageTimeoutW(g_window, WM_NULL, 0, 0, SMTO_NORMAL, 10000, &answer);
    for (int i = 0; i < 100; ++i) {
        HANDLE file =
            CreateFileW(g_transcript.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                        nullptr, OPEN_EXISTING, 0, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            DWORD size = GetFileSize(file, nullptr);
            CloseHandle(file);
            if (size > 0) return true;
        }
        Sleep(100);
    }
    fail("the probe did not start in Setup.exe");
    return false;
}

std::vector<HWND> dialogsOfSetup() {
    std::vector<HWND> found;
    EnumWindows(
        [](HWND window, LPARAM list) -> BOOL {
            DWORD process;
            GetWindowThreadProcessId(window, &process);
            if (process == g_process && IsWindowVisible(window) && classOf(window) == L"#32770") {
                reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found;
}

bool hasDescendantOfClass(HWND window, const wchar_t* className) {
    struct Search {
        const wchar_t* name;
        bool found;
    } search{className, false};
    EnumChildWindows(
        window,
        [](HWND child, LPARAM data) -> BOOL {
            auto* s = reinterpret_cast<Search*>(data);
            if (sameText(classOf(child), s->name)) s->found = true;
            return !s->found;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// The texts of a dialog's static controls that show text, in order.
std::string staticTexts(HWND dialog) {
    std::string texts;
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if (!sameText(classOf(child), L"Static")) continue;
        if ((GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) continue;
        std::string text = toUtf8(textOf(child));
        if (text.empty()) continue;
        if (!texts.empty()) texts += " | ";
        texts += text;
    }
    return texts;
}

std::wstring besideTranscript(const wchar_t* name) {
    return g_transcript.substr(0, g_transcript.find_last_of(L'\\') + 1) + name;
}

// Confirms the folder of `pick` in the picker, or cancels it.
void choose(HWND picker) {
    if (g_pick.empty()) {
        record("folder picker: cancelled");
        PostMessageW(picker, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        return;
    }
    std::wstring request = besideTranscript(protocol::kFolderRequestName);
    DeleteFileW(request.c_str());
    protocol::appendLine(request.c_str(), g_pick.data(), g_pick.size());
    DWORD_PTR answer;
    SendMessageTimeoutW(picker, RegisterWindowMessageW(protocol::kSelectFolderMessage), 0, 0,
                        SMTO_NORMAL, 10000, &answer);
    record("folder picker: chose " + g_pick);
    g_pick.clear();
    PostMessageW(picker, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(picker, IDOK)));
}

void click(const std::string& name) {
    const layout::ControlSpec* control = controlNamed(name);
    if (!control || control->kind == layout::ControlKind::TextBox) {
        fail("no button or label " + name);
        return;
    }
    HWND target = GetDlgItem(g_window, control->id);
    ResetEvent(g_clickDone);
    record("click: " + name);
    if (control->kind == layout::ControlKind::Button) {
        PostMessageW(target, BM_CLICK, 0, 0);
    } else {
        PostMessageW(target, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
        PostMessageW(target, WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
    }
    std::set<HWND> answered;
    for (int waited = 0; waited < 120000; waited += 20) {
        for (HWND dialog : dialogsOfSetup()) {
            if (!answered.insert(dialog).second) continue;
            if (hasDescendantOfClass(dialog, L"SysTreeView32")) {
                record("folder picker: " + staticTexts(dialog));
                choose(dialog);
            } else {
                record("message: " + staticTexts(dialog));
                PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                             reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDOK)));
            }
        }
        if (WaitForSingleObject(g_clickDone, 20) == WAIT_OBJECT_0) {
            record("done: " + name);
            return;
        }
    }
    fail("the click on " + name + " did not end within two minutes");
}

void report(const std::string& request) {
    std::wstring file = besideTranscript(protocol::kReportRequestName);
    DeleteFileW(file.c_str());
    protocol::appendLine(file.c_str(), request.data(), request.size());
    DWORD_PTR answer;
    if (!SendMessageTimeoutW(g_window, RegisterWindowMessageW(protocol::kReportMessage), 0, 0,
                             SMTO_NORMAL, 30000, &answer)) {
        fail("no report for " + request);
    }
}

void version(const std::wstring& file) {
    DWORD ignored = 0;
    DWORD size = GetFileVersionInfoSizeW(file.c_str(), &ignored);
    std::vector<BYTE> data(size);
    if (size == 0 || !GetFileVersionInfoW(file.c_str(), 0, size, data.data())) {
        fail("no version resource in " + toUtf8(file));
        return;
    }
    for (const wchar_t* name : {L"FileVersion", L"ProductVersion", L"OriginalFilename"}) {
        std::wstring key = std::wstring(L"\\StringFileInfo\\080404B0\\") + name;
        wchar_t* value = nullptr;
        UINT length = 0;
        if (!VerQueryValueW(data.data(), key.c_str(), reinterpret_cast<void**>(&value), &length)) {
            fail("no " + toUtf8(name) + " in the version resource");
            continue;
        }
        say("version: " + toUtf8(name) + " " + toUtf8(std::wstring(value, wcsnlen(value, length))));
    }
}

void close() {
    HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, g_process);
    PostMessageW(g_window, WM_CLOSE, 0, 0);
    if (!process || WaitForSingleObject(process, 15000) != WAIT_OBJECT_0) {
        fail("Setup.exe did not end after its window was closed");
    } else {
        record("closed");
    }
    if (process) CloseHandle(process);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) args.push_back(toUtf8(argv[i]));
    for (size_t i = 0; i < args.size() && g_failures == 0;) {
        const std::string step = args[i++];
        auto argument = [&]() -> std::string {
            if (i < args.size()) return args[i++];
            fail("step " + step + " needs an argument");
            return "";
        };
        if (step == "find") {
            find();
        } else if (step == "version") {
            version(toWide(argument()));
        } else if (!g_window) {
            fail("step " + step + " before find");
        } else if (step == "layout") {
            checkLayout();
        } else if (step == "hook") {
            hook(toWide(argument()));
        } else if (step == "set") {
            int number = std::atoi(argument().c_str());
            std::string text = argument();
            SendMessageW(GetDlgItem(g_window, layout::textId(number)), WM_SETTEXT, 0,
                         reinterpret_cast<LPARAM>(toWide(text).c_str()));
            record("set: Text" + std::to_string(number) + " = " + text);
        } else if (step == "fields") {
            for (int number = 1; number <= 7; ++number) {
                record("field: Text" + std::to_string(number) + " = " +
                       toUtf8(textOf(GetDlgItem(g_window, layout::textId(number)))));
            }
        } else if (step == "pick") {
            g_pick = argument();
        } else if (step == "click") {
            click(argument());
        } else if (step == "report") {
            report(argument());
        } else if (step == "close") {
            close();
        } else {
            fail("unknown step " + step);
        }
    }
    // The probe stays in Setup.exe; its hooks go with this run.
    for (HHOOK hook : g_hooks) UnhookWindowsHookEx(hook);
    say(g_failures == 0 ? "driver: passed" : "driver: failed");
    return g_failures == 0 ? 0 : 1;
}
