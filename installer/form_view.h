// The installer window as the form model drives it: its caption (the status
// display), message boxes with one OK button, the folder picker and the shell
// call of the maker's label. The embedded platform records every call in
// order; a Win32 window implements them with SetWindowTextA, MessageBoxA,
// SHBrowseForFolderA and ShellExecuteA.
//
// The text boxes themselves belong to the form model (SetupForm::fields): a
// window shows them after Form_Load and copies the operator's text into them
// before it passes a click on.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tarnwick::installer {

// BIF_RETURNONLYFSDIRS: only file-system folders may be chosen.
inline constexpr uint32_t kOnlyFileSystemFolders = 0x0001;
// SW_SHOW.
inline constexpr int kShowNormally = 5;

class FormView {
public:
    virtual ~FormView() = default;

    virtual void setCaption(std::string_view text) = 0;
    // Text only, one OK button, no title; returns once the operator confirmed it.
    virtual void messageBox(std::string_view text) = 0;
    // SHBrowseForFolderA with the window as owner, the desktop as root, no
    // display-name buffer and no callback, then SHGetPathFromIDListA into a
    // buffer of 260 characters cut at its first NUL. nullopt when cancelled.
    virtual std::optional<std::string> browseForFolder(std::string_view title, uint32_t flags) = 0;
    // ShellExecuteA with the window as owner.
    virtual void shellExecute(std::string_view verb, std::string_view file,
                              std::string_view parameters, std::string_view directory,
                              int showCommand) = 0;
};

}  // namespace tarnwick::installer
