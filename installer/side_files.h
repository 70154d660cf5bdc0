// What an installation puts in place once the master control site runs: the
// panel's files with the database page, the component's registration, the
// ODBC data source and the Serv-U domain configuration. A step that fails is
// left out; only a database that cannot take its chosen name stops the
// installation.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "automation/dispatch.h"
#include "automation/error.h"
#include "installer/setup_system.h"

namespace tarnwick::installer {

inline constexpr std::string_view kAccessDriver = "Microsoft Access Driver (*.mdb)";
inline constexpr std::string_view kDefaultDatabase = "data.mdb";

// The one line of Web\Db.asp (without its line end): the database's full path in MDB.
std::string databasePageLine(std::string_view siteFolder, std::string_view databaseName);

// The attributes of the data source: each "KEY=value" ended by a NUL, and one
// more NUL at the end of the list.
std::string dataSourceAttributes(std::string_view dataSourceName, std::string_view siteFolder,
                                 std::string_view databaseName);

// The lines of ServUDaemon.txt: one Serv-U domain on port 21 whose users come
// from the data source's Tarnuser table.
std::vector<std::string> servUConfiguration(std::string_view dataSourceName);

// Writes `lines`, each ended by CR LF, into a text file in the ANSI code page
// (created when missing, emptied when present).
void writeTextFile(automation::ErrorState& err, automation::Dispatch& fileSystem,
                   const std::string& path, const std::vector<std::string>& lines);

// The panel's files: Web, Data, 404.htm, the database under its name,
// Db.asp. False when the site's Data folder holds data.mdb but it could not
// be copied under the chosen name; data.mdb is kept then and Db.asp is not
// written. A Data folder that was not copied leaves the database out.
bool copyPanelFiles(automation::ErrorState& err, automation::Dispatch& fileSystem,
                    const std::string& installerFolder, const std::string& siteFolder,
                    const std::string& databaseName);
// The component: unregisters an earlier copy, copies Tarnwick.Dll into the system
// folder and registers it; neither regsvr32 is waited for.
void registerComponent(automation::ErrorState& err, SetupSystem& system,
                       automation::Dispatch& fileSystem, const std::string& installerFolder);
// The system data source; its result is not read.
void createDataSource(SetupSystem& system, std::string_view dataSourceName,
                      std::string_view siteFolder, std::string_view databaseName);
// ServUDaemon.txt in the Serv-U folder (ServUDaemon.ini stays as it is).
void writeServUConfiguration(automation::ErrorState& err, automation::Dispatch& fileSystem,
                             const std::string& servUFolder, std::string_view dataSourceName);

}  // namespace tarnwick::installer
