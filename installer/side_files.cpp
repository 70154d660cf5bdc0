#include "installer/side_files.h"

#include "automation/text.h"
#include "toolkit/steps.h"

namespace tarnwick::installer {

using automation::ErrorState;
using automation::Variant;
using toolkit::use;

namespace {
constexpr int kForWriting = 2;
constexpr int kAnsiFormat = 0;

// Whether a file name in Data names data.mdb itself: letter case aside, and
// trailing blanks and dots aside, as the file system drops them. Copying the
// database onto such a name and deleting data.mdb would delete the database.
bool namesDefaultDatabase(std::string_view name) {
    while (!name.empty() && (name.back() == '.' || name.back() == ' ')) name.remove_suffix(1);
    return automation::toLowerAscii(name) == kDefaultDatabase;
}
}  // namespace

std::string databasePageLine(std::string_view siteFolder, std::string_view databaseName) {
    return "<% MDB=\"" + std::string(siteFolder) + "\\Data\\" + std::string(databaseName) + "\"%>";
}

std::string dataSourceAttributes(std::string_view dataSourceName, std::string_view siteFolder,
                                 std::string_view databaseName) {
    std::string attributes;
    for (const auto& pair : {
             "DSN=" + std::string(dataSourceName),
             "DBQ=" + std::string(siteFolder) + "\\Data\\" + std::string(databaseName),
             std::string("FIL=MS Access;"),
             std::string("DESCRIPTION=tarnwick v 1.0"),
             std::string("DRIVERID=25"),
             std::string("UID="),
         }) {
        attributes += pair;
        attributes += '\0';
    }
    attributes += '\0';
    return attributes;
}

std::vector<std::string> servUConfiguration(std::string_view dataSourceName) {
    const std::string name(dataSourceName);
    const int domainNumber = 1;
    return {
        "[GLOBAL]",
        "[DOMAINS]",
        "Domain1=0.0.0.0||21|" + name + "|1|0|1",
        "[Domain" + std::to_string(domainNumber) + "]",
        "CacheTTL=60",
        "ODBCSource=" + name + "||",
        "ODBCTables=Tarnuser|||||",
        "ODBCColumns=UserName|PassWord|SKEY|DiskPath||FtpAccess|Status||LockDir|||ChangePass|"
        "Qouta|IPUser|MaxUp|MaxDown|MaxUser||||||SpaceSizeNow|SpaceSize|DelDate|FtpPower|"
        "PassType|||||Deltype",
    };
}

void writeTextFile(ErrorState& err, automation::Dispatch& fileSystem, const std::string& path,
                   const std::vector<std::string>& lines) {
    automation::ObjectRef stream = toolkit::objectStep(err, [&] {
        return fileSystem.call("OpenTextFile", {path, kForWriting, true, kAnsiFormat});
    });
    for (const auto& line : lines) err.attempt([&] { use(stream).call("WriteLine", {line}); });
    err.attempt([&] { use(stream).call("Close"); });
}

bool copyPanelFiles(ErrorState& err, automation::Dispatch& fileSystem,
                    const std::string& installerFolder, const std::string& siteFolder,
                    const std::string& databaseName) {
    // The site's two folders and its empty 404 page.
    err.attempt([&] { fileSystem.call("CreateFolder", {siteFolder + "\\Web"}); });
    err.attempt([&] { fileSystem.call("CreateFolder", {siteFolder + "\\Data"}); });
    auto page = toolkit::objectStep(err, [&] {
        return fileSystem.call("CreateTextFile", {siteFolder + "\\404.htm", true, false});
    });
    err.attempt([&] { use(page).call("Close"); });
    // The panel's pages and data from the distribution.
    err.attempt([&] {
        fileSystem.call("CopyFolder", {installerFolder + "\\Web", siteFolder + "\\Web", true});
    });
    err.attempt([&] {
        fileSystem.call("CopyFolder", {installerFolder + "\\Data", siteFolder + "\\Data", true});
    });
    // The database under the name the operator chose. data.mdb goes only once
    // its copy is in place: a failed copy must not lose the database.
    if (!namesDefaultDatabase(databaseName)) {
        const std::string database = siteFolder + "\\Data\\data.mdb";
        const bool copied = err.attempt([&] {
            fileSystem.call("CopyFile", {database, siteFolder + "\\Data\\" + databaseName, true});
        });
        if (copied) {
            err.attempt([&] {
                fileSystem.call("DeleteFile", {siteFolder + "\\data\\data.mdb", true});
            });
        } else {
            // Without data.mdb (the Data folder was not copied) there is
            // nothing to keep, and the database is left out.
            auto present = err.attempt(
                [&] { return automation::toBoolean(fileSystem.call("FileExists", {database})); });
            if (!present || *present) return false;
        }
    }
    // The database page.
    writeTextFile(err, fileSystem, siteFolder + "\\Web\\Db.asp",
                  {databasePageLine(siteFolder, databaseName)});
    return true;
}

void registerComponent(ErrorState& err, SetupSystem& system, automation::Dispatch& fileSystem,
                       const std::string& installerFolder) {
    // The system folder lies in the Windows folder.
    std::string windows;
    err.attempt([&] {
        auto folder = fileSystem.call("GetSpecialFolder", {0});
        windows = automation::toText(automation::objectOf(folder).get("Path"));
    });
    const std::string component = windows + "\\system32\\Tarnwick.dll";
    // Unregister an earlier copy, replace it and register the new one.
    err.attempt([&] { system.shell("regsvr32/u " + component, kMinimizedFocus); });
    err.attempt([&] {
        fileSystem.call("CopyFile", {installerFolder + "\\Tarnwick.Dll",
                                     windows + "\\system32\\Tarnwick.Dll", true});
    });
    err.attempt([&] { system.shell("regsvr32 " + component, kNormalNoFocus); });
}

void createDataSource(SetupSystem& system, std::string_view dataSourceName,
                      std::string_view siteFolder, std::string_view databaseName) {
    auto& ansi = system.ansi();
    std::string driver = ansi.fromUtf8(kAccessDriver);
    driver += '\0';
    // Each string goes to the code page on its own; the NULs stay where they are.
    std::string attributes;
    for (const auto& pair :
         automation::split(dataSourceAttributes(dataSourceName, siteFolder, databaseName),
                           std::string_view("\0", 1))) {
        if (pair.empty()) continue;
        attributes += ansi.fromUtf8(pair);
        attributes += '\0';
    }
    attributes += '\0';
    system.SQLConfigDataSource(nullptr, kAddSystemDataSource, driver.c_str(), attributes.c_str());
}

void writeServUConfiguration(ErrorState& err, automation::Dispatch& fileSystem,
                             const std::string& servUFolder, std::string_view dataSourceName) {
    writeTextFile(err, fileSystem, servUFolder + "\\ServUDaemon.txt",
                  servUConfiguration(dataSourceName));
}

}  // namespace tarnwick::installer
