// The installer window's layout: every control of Form1 with its kind, its
// caption or design-time text, its place and size in twips and its place in
// the tab order, and the identifier the window gives it. The window builds
// itself from this table; the tests under Wine read the same table to check
// what the window shows.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "installer/messages.h"

namespace tarnwick::installer::win32 {

// The client area, in twips.
inline constexpr int kClientWidthTwips = 3615;
inline constexpr int kClientHeightTwips = 4095;

// The class of the window, for anyone who looks for it.
inline constexpr std::wstring_view kWindowClass = L"TarnwickSetupForm1";

// Label6's text colour, in the system's BGR order: blue.
inline constexpr uint32_t kNoticeColour = 0x00FF0000;

enum class ControlKind { Label, TextBox, Button };

struct ControlSpec {
    std::string_view name;  // "Label1", "Text1", "Command1", ...
    ControlKind kind;
    int id;                        // control identifier in the window
    std::string_view text;         // caption, or a text box's design-time text (UTF-8)
    int left, top, width, height;  // twips
    int tabIndex;
    int number;  // 1 for Label1, Text1, Command1, ...
};

// Identifiers: labels 101-108, text boxes 201-207, buttons 301-303.
inline constexpr int labelId(int number) { return 100 + number; }
inline constexpr int textId(int number) { return 200 + number; }
inline constexpr int commandId(int number) { return 300 + number; }

// In tab order.
inline constexpr std::array<ControlSpec, 18> kControls{{
    {"Text1", ControlKind::TextBox, textId(1), "", 1200, 200, 2000, 270, 0, 1},
    {"Label1", ControlKind::Label, labelId(1), "计算机名", 300, 240, 800, 255, 1, 1},
    {"Label2", ControlKind::Label, labelId(2), "绑定域名", 300, 640, 800, 255, 2, 2},
    {"Text2", ControlKind::TextBox, textId(2), "", 1200, 600, 2000, 270, 3, 2},
    {"Label3", ControlKind::Label, labelId(3), "安装目录", 300, 1060, 800, 255, 4, 3},
    {"Text3", ControlKind::TextBox, textId(3), "", 1200, 1000, 2000, 270, 5, 3},
    {"Label4", ControlKind::Label, labelId(4), "进 程 池", 300, 1460, 800, 255, 6, 4},
    {"Text4", ControlKind::TextBox, textId(4), "", 1200, 1400, 2000, 270, 7, 4},
    {"Command1", ControlKind::Button, commandId(1), "安装主控端", 300, 3100, 1400, 340, 8, 1},
    {"Label6", ControlKind::Label, labelId(6), messages::kMakerNotice, 340, 3700, 3015, 255, 9, 6},
    {"Text5", ControlKind::TextBox, textId(5), "d:\\", 1200, 1800, 1350, 270, 10, 5},
    {"Text6", ControlKind::TextBox, textId(6), "", 1200, 2200, 2000, 275, 11, 6},
    {"Text7", ControlKind::TextBox, textId(7), "", 1200, 2600, 2000, 270, 12, 7},
    {"Label5", ControlKind::Label, labelId(5), "SERV-U", 300, 1860, 800, 255, 13, 5},
    {"Label7", ControlKind::Label, labelId(7), "数据库名", 300, 2260, 800, 255, 14, 7},
    {"Label8", ControlKind::Label, labelId(8), "数据源名", 300, 2660, 800, 255, 15, 8},
    {"Command2", ControlKind::Button, commandId(2), "选择", 2660, 1800, 530, 270, 16, 2},
    {"Command3", ControlKind::Button, commandId(3), "卸载本系统", 1800, 3100, 1400, 340, 17, 3},
}};

// Twips to pixels of a screen with `dpi` pixels per inch (1440 twips an
// inch), rounded to the nearest pixel as MulDiv does.
inline constexpr int twipsToPixels(int twips, int dpi) {
    int64_t scaled = static_cast<int64_t>(twips) * dpi;
    return static_cast<int>((scaled + (scaled >= 0 ? 720 : -720)) / 1440);
}

}  // namespace tarnwick::installer::win32
