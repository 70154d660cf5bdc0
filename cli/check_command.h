// `tarnwick check [--json] [--repair]`: what a process that died left behind.
#pragma once

#include <CLI/CLI.hpp>
#include <filesystem>
#include <functional>

namespace tarnwick::cli {

// Adds `check` to `app`; see addSiteCommands for `folder` and `exitCode`.
void addCheckCommand(CLI::App& app, std::function<std::filesystem::path()> folder, int& exitCode);

}  // namespace tarnwick::cli
