// The panel's distribution as the installer's folder holds it on a fresh
// embedded machine, and the image of the component that regsvr32 registers.
#pragma once

#include <string_view>
#include <utility>

namespace tarnwick::platform::embedded::system {

inline constexpr std::string_view kComponentProgId = "Tarnwick.Control";
inline constexpr std::string_view kComponentClsid = "{29FC1B48-12F0-4CFE-B77A-668BD75A084E}";

// The embedded stand-in for Tarnwick.dll: regsvr32 registers a file that
// begins with this signature and refuses any other.
inline constexpr std::string_view kComponentSignature = "MZ Tarnwick.dll";
inline constexpr std::string_view kComponentImage =
    "MZ Tarnwick.dll 2.01.0001: in-process server of Tarnwick.Control "
    "{29FC1B48-12F0-4CFE-B77A-668BD75A084E}, apartment threaded\r\n";

// Folders and files below the installer's folder, parents first; a file
// entry has content, a folder entry has none.
struct DistributionEntry {
    std::string_view path;
    bool folder;
    std::string_view content;
};

inline constexpr DistributionEntry kDistribution[] = {
    {"Web", true, {}},
    {"Web\\Index.asp", false,
     "<!--#include file=\"Db.asp\"-->\r\n"
     "<%\r\nSet Panel = Server.CreateObject(\"Tarnwick.Control\")\r\nPanel.IsAdmin\r\n%>\r\n"
     "<html><head><title>Tarnwick</title></head><body></body></html>\r\n"},
    {"Web\\Login.asp", false,
     "<!--#include file=\"Db.asp\"-->\r\n<html><head><title>Login</title></head>"
     "<body><form method=\"post\"></form></body></html>\r\n"},
    {"Web\\Template", true, {}},
    {"Web\\Template\\Index.htm", false,
     "<html><head><title>Welcome</title></head>\r\n<body><h1>This site is "
     "ready.</h1></body></html>\r\n"},
    {"Web\\Template\\Error.htm", false,
     "<html><head><title>404</title></head>\r\n<body><h1>Page not found</h1></body></html>\r\n"},
    {"Web\\Template\\Other", true, {}},
    {"Web\\Template\\Other\\ReadMe.txt", false, "Put the site's pages in this folder.\r\n"},
    {"Data", true, {}},
    {"Data\\data.mdb", false, "Standard Jet DB: Tarnuser, Hosts, Admins\r\n"},
    {"Tarnwick.Dll", false, kComponentImage},
    {"setup.exe", false, "MZ Setup.exe 1.03.0002\r\n"},
};

inline constexpr std::string_view kServUFolder = "C:\\Program Files\\Serv-U";
inline constexpr std::string_view kServUDaemonIni =
    "[GLOBAL]\r\nVersion=6.0.0.2\r\nProcessID=1\r\n[DOMAINS]\r\n";

}  // namespace tarnwick::platform::embedded::system
