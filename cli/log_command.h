// `tarnwick log`: the activity log of the embedded platform read back.
#pragma once

#include <CLI/CLI.hpp>
#include <filesystem>
#include <functional>

namespace tarnwick::cli {

// Adds `log` to `app`; see addSiteCommands for `folder` and `exitCode`.
void addLogCommand(CLI::App& app, std::function<std::filesystem::path()> folder, int& exitCode);

}  // namespace tarnwick::cli
