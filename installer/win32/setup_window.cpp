#include "installer/win32/setup_window.h"

#include <shellapi.h>
#include <shlobj.h>

#include <cstddef>
#include <stdexcept>

#include "automation/error.h"
#include "platform/win32/com_values.h"

namespace tarnwick::installer::win32 {

using platform::win32::toUtf8;
using platform::win32::toWide;

namespace {

// A message box's title: the program's name, as no title is given.
constexpr wchar_t kMessageBoxTitle[] = L"Setup";

const ControlSpec* controlWithId(int id) {
    for (const auto& control : kControls) {
        if (control.id == id) return &control;
    }
    return nullptr;
}

std::string& fieldOf(FormFields& fields, int number) {
    switch (number) {
        case 1: return fields.Text1;
        case 2: return fields.Text2;
        case 3: return fields.Text3;
        case 4: return fields.Text4;
        case 5: return fields.Text5;
        case 6: return fields.Text6;
        default: return fields.Text7;
    }
}

std::wstring windowText(HWND window) {
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(
        static_cast<size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return text;
}

// The screen's device context, released when it goes.
class ScreenDc {
public:
    ScreenDc() : dc_(GetDC(nullptr)) {}
    ScreenDc(const ScreenDc&) = delete;
    ScreenDc& operator=(const ScreenDc&) = delete;
    ~ScreenDc() {
        if (dc_) ReleaseDC(nullptr, dc_);
    }
    HDC get() const { return dc_; }

private:
    HDC dc_;
};

// The screen's pixels per inch, horizontally.
int screenDpi() {
    ScreenDc screen;
    int dpi = screen.get() ? GetDeviceCaps(screen.get(), LOGPIXELSX) : 0;
    return dpi > 0 ? dpi : 96;
}

// The item list of the folder picker, freed with the shell's allocator.
struct ItemListDeleter {
    void operator()(ITEMIDLIST* list) const { CoTaskMemFree(list); }
};

}  // namespace

SetupWindow::SetupWindow(SetupSystem& system) : system_(system), form_(system, *this) {}

SetupWindow::~SetupWindow() {
    if (window_) DestroyWindow(window_);
    if (class_) UnregisterClassW(MAKEINTATOM(class_), instance_);
}

void SetupWindow::create(HINSTANCE instance, int showCommand) {
    instance_ = instance;
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = &SetupWindow::windowProcedure;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    windowClass.hIcon = LoadIconW(nullptr, reinterpret_cast<LPCWSTR>(IDI_APPLICATION));
    windowClass.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
    windowClass.lpszClassName = kWindowClass.data();
    class_ = RegisterClassExW(&windowClass);
    if (!class_) throw std::runtime_error("RegisterClassExW failed");

    // The client area's size in pixels of this screen, centred on it.
    dpi_ = screenDpi();
    const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
    RECT frame{0, 0, twipsToPixels(kClientWidthTwips, dpi_),
               twipsToPixels(kClientHeightTwips, dpi_)};
    AdjustWindowRectEx(&frame, style, FALSE, 0);
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    const int x = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
    const int y = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;

    window_ = CreateWindowExW(0, kWindowClass.data(), toWide(messages::kWindowCaption).c_str(),
                              style, x, y, width, height, nullptr, nullptr, instance, this);
    if (!window_) throw std::runtime_error("CreateWindowExW failed");
    createControls();
    form_.Form_Load();
    showFields();
    ShowWindow(window_, showCommand);
    UpdateWindow(window_);
    SetFocus(GetDlgItem(window_, kControls.front().id));
}

void SetupWindow::createControls() {
    // The message font of the system's dialogs, in the size of the structure
    // that Windows 2000 and 2003 know (later systems accept it too).
    NONCLIENTMETRICSW metrics{};
#if WINVER >= 0x0600
    metrics.cbSize = offsetof(NONCLIENTMETRICSW, iPaddedBorderWidth);
#else
    metrics.cbSize = sizeof metrics;
#endif
    if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) {
        font_.reset(CreateFontIndirectW(&metrics.lfMessageFont));
    }
    HFONT font = font_ ? font_.get() : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));

    // Created in tab order: the order of the children is the order of Tab.
    for (const auto& control : kControls) {
        const wchar_t* windowClass = L"STATIC";
        DWORD style = WS_CHILD | WS_VISIBLE;
        DWORD extended = 0;
        switch (control.kind) {
            case ControlKind::Label:
                // The maker's notice spans the window's width: centred.
                style |= (control.number == 6 ? SS_CENTER : SS_LEFT) | SS_NOTIFY;
                break;
            case ControlKind::TextBox:
                windowClass = L"EDIT";
                style |= WS_TABSTOP | ES_AUTOHSCROLL;
                extended = WS_EX_CLIENTEDGE;
                break;
            case ControlKind::Button:
                windowClass = L"BUTTON";
                style |= WS_TABSTOP | BS_PUSHBUTTON;
                break;
        }
        HWND child = CreateWindowExW(
            extended, windowClass, toWide(control.text).c_str(), style,
            twipsToPixels(control.left, dpi_), twipsToPixels(control.top, dpi_),
            twipsToPixels(control.width, dpi_), twipsToPixels(control.height, dpi_), window_,
            reinterpret_cast<HMENU>(static_cast<INT_PTR>(control.id)), instance_, nullptr);
        if (!child) throw std::runtime_error("CreateWindowExW failed for a control");
        SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    }
}

LRESULT CALLBACK SetupWindow::windowProcedure(HWND window, UINT message, WPARAM wParam,
                                              LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* created = reinterpret_cast<CREATESTRUCTW*>(lParam);
        auto* self = static_cast<SetupWindow*>(created->lpCreateParams);
        self->window_ = window;
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<SetupWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!self) return DefWindowProcW(window, message, wParam, lParam);
    return self->onMessage(message, wParam, lParam);
}

LRESULT SetupWindow::onMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_COMMAND:
            // BN_CLICKED and STN_CLICKED are both 0; the text boxes' notices are not.
            if (HIWORD(wParam) == 0 && lParam != 0) {
                click(LOWORD(wParam));
                return 0;
            }
            break;
        case WM_CTLCOLORSTATIC:
            if (reinterpret_cast<HWND>(lParam) == GetDlgItem(window_, labelId(6))) {
                HDC dc = reinterpret_cast<HDC>(wParam);
                SetTextColor(dc, static_cast<COLORREF>(kNoticeColour));
                SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
                return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
            }
            break;
        case WM_CLOSE:
            // A click still running (a message box of the uninstallation
            // open) ends first.
            if (busy_) return 0;
            DestroyWindow(window_);
            return 0;
        case WM_DESTROY:
            SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
            window_ = nullptr;
            PostQuitMessage(0);
            return 0;
        default: break;
    }
    return DefWindowProcW(window_, message, wParam, lParam);
}

void SetupWindow::click(int id) {
    const ControlSpec* control = controlWithId(id);
    if (!control || control->kind == ControlKind::TextBox || busy_) return;
    busy_ = true;
    readFields();
    try {
        runClick(id);
    } catch (const automation::AutomationError& error) {
        // What the form's handlers do not catch themselves ends the click,
        // not the program.
        messageBox(error.description().empty() ? "Error " + std::to_string(error.number())
                                               : error.description());
    } catch (const std::exception& error) {
        messageBox(error.what());
    }
    showFields();
    busy_ = false;
}

void SetupWindow::runClick(int id) {
    const ControlSpec& control = *controlWithId(id);
    if (control.kind == ControlKind::Label) {
        form_.Label_Click(control.number);
        return;
    }
    switch (control.number) {
        case 1: form_.Command1_Click(); break;
        case 2: form_.Command2_Click(); break;
        default: form_.Command3_Click(); break;
    }
}

void SetupWindow::readFields() {
    for (const auto& control : kControls) {
        if (control.kind != ControlKind::TextBox) continue;
        fieldOf(form_.fields, control.number) = toUtf8(windowText(GetDlgItem(window_, control.id)));
    }
}

void SetupWindow::showFields() {
    if (!window_) return;
    for (const auto& control : kControls) {
        if (control.kind != ControlKind::TextBox) continue;
        HWND box = GetDlgItem(window_, control.id);
        std::wstring text = toWide(fieldOf(form_.fields, control.number));
        if (windowText(box) != text) SetWindowTextW(box, text.c_str());
    }
}

void SetupWindow::setCaption(std::string_view text) {
    SetWindowTextW(window_, toWide(text).c_str());
}

void SetupWindow::messageBox(std::string_view text) {
    MessageBoxW(window_, toWide(text).c_str(), kMessageBoxTitle, MB_OK);
}

std::optional<std::string> SetupWindow::browseForFolder(std::string_view title, uint32_t flags) {
    std::string ansiTitle = system_.ansi().fromUtf8(title);
    BROWSEINFOA request{};
    request.hwndOwner = window_;
    request.pidlRoot = nullptr;
    request.pszDisplayName = nullptr;
    request.lpszTitle = ansiTitle.c_str();
    request.ulFlags = flags;
    request.lpfn = nullptr;
    std::unique_ptr<ITEMIDLIST, ItemListDeleter> chosen(SHBrowseForFolderA(&request));
    if (!chosen) return std::nullopt;
    std::string path(MAX_PATH, '\0');
    SHGetPathFromIDListA(chosen.get(), path.data());
    path.resize(path.find('\0') == std::string::npos ? path.size() : path.find('\0'));
    return system_.ansi().toUtf8(path);
}

void SetupWindow::shellExecute(std::string_view verb, std::string_view file,
                               std::string_view parameters, std::string_view directory,
                               int showCommand) {
    auto& ansi = system_.ansi();
    ShellExecuteA(window_, ansi.fromUtf8(verb).c_str(), ansi.fromUtf8(file).c_str(),
                  ansi.fromUtf8(parameters).c_str(), ansi.fromUtf8(directory).c_str(), showCommand);
}

}  // namespace tarnwick::installer::win32
