// `log`: the activity log read back, for `tarnwick` on the embedded platform
// and `tarnwick.exe` on a server alike.
#pragma once

#include <CLI/CLI.hpp>
#include <functional>
#include <vector>

#include "cli/activity_reader.h"

namespace tarnwick::cli {

// Adds `log` to `app`; `files` reads the daily files when the command runs,
// and `exitCode` is set to 0 once they are printed.
void addLogCommand(CLI::App& app, std::function<std::vector<LogFile>()> files, int& exitCode);

}  // namespace tarnwick::cli
