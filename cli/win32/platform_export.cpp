#include "cli/win32/platform_export.h"

#include <windows.h>

#include <fstream>
#include <iostream>
#include <memory>

#include "automation/text.h"
#include "cli/state_export.h"
#include "platform/win32/com_values.h"
#include "platform/win32/create_object.h"
#include "platform/win32/dispatch_object.h"
#include "platform/win32/services.h"

namespace tarnwick::cli::win32 {

namespace {

// The computer's name as the panel's pages read it (WScript.Network), so that
// WinNT:// paths name what the component names.
std::string computerName(const ProgramSettings& settings) {
    std::string progId = "WScript.Network";
    auto mapped = settings.progIdMap.find(automation::toLowerAscii(progId));
    if (mapped != settings.progIdMap.end()) progId = mapped->second;
    auto network = platform::win32::adapt(platform::win32::createInProcessObject(progId).get());
    return automation::toText(network->get("ComputerName"));
}

}  // namespace

void addPlatformCommands(CLI::App& app, const ProgramSettings& settings,
                         std::function<void()> requireAdministrator, int& exitCode) {
    auto* platform = app.add_subcommand("platform", "This server's state as a state document");
    platform->require_subcommand(1);
    auto* exportCommand = platform->add_subcommand(
        "export",
        "Write the state document of what the panel manages on this server: the metabase "
        "keys under W3SVC (passwords as secrets), the local users and groups, the sites' root "
        "folders with their access. `tarnwick platform load` takes it on any machine. Only "
        "reads: nothing on the server changes");
    auto output = std::make_shared<std::string>();
    exportCommand->add_option("--output", *output,
                              "Write the document (UTF-8) to this file, not to standard output");
    exportCommand->callback([settings, requireAdministrator, output, &exitCode] {
        if (settings.outputForm) settings.outputForm(output->empty());
        requireAdministrator();
        auto services = platform::win32::makeServices();
        ExportSource source{*services.directory, *services.advapi32, *services.ansi,
                            computerName(settings)};
        auto exported = exportState(source);
        for (const auto& line : exported.leftOut) {
            std::cerr << "tarnwick: left out: " << line << std::endl;
        }
        auto text = exported.document.dump(2, ' ', false, nlohmann::json::error_handler_t::replace);
        if (output->empty()) {
            std::cout << text << std::endl;
            return;
        }
        std::ofstream file(platform::win32::toWide(*output).c_str(),
                           std::ios::binary | std::ios::trunc);
        file << text << "\n";
        file.close();
        if (!file) {
            std::cerr << "tarnwick: cannot write " << *output << std::endl;
            exitCode = 1;
        }
    });
}

}  // namespace tarnwick::cli::win32
