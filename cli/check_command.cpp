#include "cli/check_command.h"

#include <iostream>

#include "cli/operation_check.h"

namespace tarnwick::cli {

void addCheckCommand(CLI::App& app, ControlRunner withControl, int& exitCode) {
    auto* check = app.add_subcommand(
        "check",
        "Find what a process that died left behind: operations that started and never ended. "
        "Exit code 0 when nothing is found, 1 when something is (after --repair: when "
        "something remains)");
    struct Options {
        bool json = false, repair = false;
    };
    auto options = std::make_shared<Options>();
    check->add_flag("--json", options->json, "One JSON document of the findings");
    check->add_flag("--repair", options->repair,
                    "Finish or undo each unfinished operation, printing what it does");
    check->callback([withControl, options, &exitCode] {
        withControl([&](component::Control& control) {
            auto records = control.unfinishedOperations();
            nlohmann::ordered_json document = {{"unfinished", nlohmann::ordered_json::array()}};
            for (const auto& record : records) {
                document["unfinished"].push_back(recordJson(record));
                if (!options->json) std::cout << recordText(record) << "\n";
            }
            if (options->repair && !records.empty()) {
                document["repairs"] = nlohmann::ordered_json::array();
                for (const auto& repair : repairOperations(control, records)) {
                    document["repairs"].push_back({{"id", repair.record.id},
                                                   {"repaired", repair.repaired},
                                                   {"done", repair.done}});
                    if (options->json) continue;
                    std::cout << (repair.repaired ? "repaired " : "not repaired ")
                              << repair.record.id << ":\n";
                    for (const auto& line : repair.done) std::cout << "    " << line << "\n";
                }
                records = control.unfinishedOperations();
                document["remaining"] = records.size();
            }
            if (options->json) {
                std::cout << document.dump(2, ' ', false, nlohmann::json::error_handler_t::replace)
                          << "\n";
            } else if (records.empty() && document["unfinished"].empty()) {
                std::cout << "Nothing found.\n";
            }
            exitCode = records.empty() ? 0 : 1;
        });
    });
}

}  // namespace tarnwick::cli
