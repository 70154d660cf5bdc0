// The installer window, Form1, as a model: its seven text boxes, the three
// buttons, the help labels and the caption that serves as status display.
// A window (or the tarnwick command) shows `fields` after Form_Load, copies
// the operator's text into them before a click, and passes the clicks on.
#pragma once

#include <string>

#include "installer/form_view.h"
#include "installer/setup_system.h"

namespace tarnwick::installer {

struct FormFields {
    std::string Text1;  // 计算机名: the computer name
    std::string Text2;  // 绑定域名: the master control site's domain
    std::string Text3;  // 安装目录: the site folder
    std::string Text4;  // 进 程 池: the IIS 6 application pool, empty on Windows 2000
    std::string Text5;  // SERV-U: the Serv-U folder
    std::string Text6;  // 数据库名: the database's file name
    std::string Text7;  // 数据源名: the data source name
};

// The longest domain: "ADMIN_" and the domain must fit an account name.
inline constexpr size_t kMaxDomainLength = 14;
// The longest data source name ODBC takes (SQL_MAX_DSN_LENGTH).
inline constexpr size_t kMaxDataSourceNameLength = 32;

class SetupForm {
public:
    SetupForm(SetupSystem& system, FormView& view) : system_(system), view_(view) {}

    FormFields fields;

    // The caption at start; every status message replaces it.
    void Form_Load();
    // "安装主控端": checks the input, creates the site folder and installs.
    // True when the installation reached its end.
    bool Command1_Click();
    // "选择": the Serv-U folder from the folder picker.
    void Command2_Click();
    // "卸载本系统": removes what the install log names. False without a log.
    bool Command3_Click();
    // Label1 to Label8: help messages; Label6 opens the maker's web page.
    void Label_Click(int label);

    // The status display.
    void ShowErr(std::string_view message);

private:
    // The first failing input check's message, shown in the status display.
    std::optional<std::string_view> inputError() const;

    SetupSystem& system_;
    FormView& view_;
};

}  // namespace tarnwick::installer
