// The parts of the embedded Windows that the installer touches beyond the
// metabase, the accounts and the drives: the ODBC system data sources, the
// processes started through Shell (recorded in order; regsvr32 of the
// panel's component changes the COM registration table), the computer name
// that GetComputerNameA returns, and the folder of the installer program.
//
// Everything lives in the platform store and is read afresh at each call;
// every change is one transaction. Each call asks the fault injector first:
// "Shell" with the command line, "SQLConfigDataSource" with the data source
// name, "GetComputerNameA" with "".
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/embedded/faults.h"
#include "platform/embedded/files/file_system.h"
#include "platform/embedded/state_module.h"
#include "platform/embedded/store.h"

namespace tarnwick::platform::embedded::system {

// Where a fresh platform keeps the installer with its panel distribution.
inline constexpr std::string_view kDefaultInstallerFolder = "C:\\Setup";

struct DataSource {
    std::string name;
    std::string driver;
    std::vector<std::string> attributes;  // "KEY=value", in the order given
};

struct StartedProcess {
    std::string commandLine;
    int windowStyle = 1;
    std::string outcome;  // what the program did: "registered", "module not found", ...
};

struct Registration {
    std::string progId;
    std::string clsid;
    std::string server;  // the in-process server's path
};

class EmbeddedSystem : public StateModule {
public:
    EmbeddedSystem(std::shared_ptr<Store> store, std::shared_ptr<files::FileSystem> files,
                   std::shared_ptr<FaultInjector> faults);

    // A fresh machine: the installer's folder with the panel's distribution,
    // and a Serv-U installation in C:\Program Files\Serv-U.
    void seedDefaults();

    std::string installerFolder();
    void setInstallerFolder(std::string_view folder);

    // GetComputerNameA: the name set here, else the computer's own name.
    // nullopt when the call fails.
    std::optional<std::string> computerName();
    void setComputerName(std::optional<std::string> name);

    // SQLConfigDataSource with text in UTF-8: request 4 adds a system data
    // source (replacing one of the same name, as the ODBC installer does), 6
    // removes one. False for an unknown driver, a missing DSN= or another request.
    bool configDataSource(uint16_t request, std::string_view driver,
                          const std::vector<std::string>& attributes);
    std::vector<DataSource> dataSources();

    // Shell: records the start and runs what the embedded machine knows how to
    // run (regsvr32 [/u] [/s] path). Raises 53 for any other program.
    void startProcess(std::string_view commandLine, int windowStyle);
    std::vector<StartedProcess> processes();
    std::vector<Registration> registrations();

    // StateModule "system":
    //   {"installer_folder": "C:\\Setup", "computer_name": null,
    //    "data_sources": [{"name": ..., "driver": ..., "attributes": ["DSN=...", ...]}],
    //    "registrations": [{"prog_id": ..., "clsid": ..., "server": ...}],
    //    "processes": [{"command_line": ..., "window_style": 2, "outcome": ...}]}
    // Every key may be left out on load (the fresh machine's value).
    std::string_view name() const override { return "system"; }
    nlohmann::json dump() override;
    void load(const nlohmann::json& document) override;

private:
    std::string setting(std::string_view name, std::string_view fallback);
    std::string runRegsvr32(std::string_view arguments);

    std::shared_ptr<Store> store_;
    std::shared_ptr<files::FileSystem> files_;
    std::shared_ptr<FaultInjector> faults_;
};

}  // namespace tarnwick::platform::embedded::system
