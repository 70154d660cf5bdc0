// The installer window, Form1, on Windows: a top-level window with the
// labels, text boxes and buttons of form_layout.h, placed in pixels of the
// screen, that passes its clicks to the form model (SetupForm) and serves
// the model as its FormView: caption, message boxes, folder picker and
// ShellExecuteA.
//
// Window texts go through the wide (W) functions, converted from the form
// model's UTF-8: the Chinese captions show the same whatever the system's
// ANSI code page. The folder picker and ShellExecuteA are the ANSI calls of
// the installer; their texts pass through the ANSI code page.
#pragma once

#include <windows.h>

#include <memory>

#include "installer/form.h"
#include "installer/win32/form_layout.h"

namespace tarnwick::installer::win32 {

class SetupWindow final : public FormView {
public:
    explicit SetupWindow(SetupSystem& system);
    SetupWindow(const SetupWindow&) = delete;
    SetupWindow& operator=(const SetupWindow&) = delete;
    ~SetupWindow() override;

    // Creates the window centred on the screen, runs Form_Load and shows it.
    void create(HINSTANCE instance, int showCommand);
    HWND handle() const { return window_; }

    void setCaption(std::string_view text) override;
    void messageBox(std::string_view text) override;
    std::optional<std::string> browseForFolder(std::string_view title, uint32_t flags) override;
    void shellExecute(std::string_view verb, std::string_view file, std::string_view parameters,
                      std::string_view directory, int showCommand) override;

private:
    static LRESULT CALLBACK windowProcedure(HWND window, UINT message, WPARAM wParam,
                                            LPARAM lParam);
    LRESULT onMessage(UINT message, WPARAM wParam, LPARAM lParam);

    void createControls();
    void click(int id);
    void runClick(int id);
    // The text boxes into the form model's fields, and back.
    void readFields();
    void showFields();

    struct FontDeleter {
        void operator()(HFONT font) const { DeleteObject(font); }
    };

    SetupSystem& system_;
    SetupForm form_;
    ATOM class_ = 0;
    HINSTANCE instance_ = nullptr;
    HWND window_ = nullptr;
    int dpi_ = 96;
    std::unique_ptr<std::remove_pointer_t<HFONT>, FontDeleter> font_;
    // A click runs to its end before the next is served.
    bool busy_ = false;
};

}  // namespace tarnwick::installer::win32
