// Setup: the installation of the master control site. Creates the
// administrator account, secures the site folder, creates and starts the
// site with its root directory (and on IIS 6 its application pool), then puts
// the panel's files, registration, data source, Serv-U configuration and
// install log in place. Every stage shows itself in the status display.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "installer/setup_system.h"

namespace tarnwick::installer {

// The values of the installer window's text boxes, under their names in Setup.
struct SetupValues {
    std::string Computer;          // Text1: the computer part of every IIS:// and WinNT:// path
    std::string HostName;          // Text2: the site's host name
    std::string WebSiteDirectory;  // Text3: the site folder
    std::string AppName;           // Text4: the IIS 6 application pool; "" for none
    std::string NewDsnName;        // Text7: the data source (and Serv-U domain) name
    std::string NewDbName;         // Text6: the database's file name in Data
    std::string ServU;             // Text5: the Serv-U folder
    // Whether the install button made the site folder (it did not exist
    // before): a stop removes it again or the log names it.
    bool SiteFolderIsNew = false;
};

// The status display: the window caption.
using StatusDisplay = std::function<void(std::string_view)>;

// How many refused Create calls the site-number search accepts before it
// stops: a taken number is passed by binding it, so repeated refusals mean
// the metabase takes no new sites.
inline constexpr int kMaxRefusedSiteNumbers = 64;

// The two fixed pieces of the administrator password.
inline constexpr std::string_view kAdminPasswordPieceA = "Tw8#kQ2!n";
inline constexpr std::string_view kAdminPasswordPieceB = "Rz5$Hm9@p";

// "ADMIN_" and the host name in upper case.
std::string adminAccountName(std::string_view hostName);

// Runs the installation; a failing step is skipped, a tested one stops the
// run with its message. True when the run reached its end. A run that stops
// before the account is made leaves nothing behind; from the account on, the
// install log names what the run has made (InstallRecord), so that the
// uninstallation removes a stopped installation as it removes a finished one.
bool Setup(SetupSystem& system, const StatusDisplay& ShowErr, const SetupValues& values);

}  // namespace tarnwick::installer
