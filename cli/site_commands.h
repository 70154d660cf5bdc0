// The `tarnwick site` subcommands: what a person uses to manage hosted sites
// on the embedded platform. Each operation runs as a page of the master
// control site would run it, through Control; listing reads the metabase.
#pragma once

#include <CLI/CLI.hpp>
#include <filesystem>
#include <functional>
#include <iosfwd>

namespace tarnwick::cli {

// Adds `site` with its subcommands to `app`. `folder` gives the state folder
// once the options are parsed; the command's exit code is stored in `exitCode`.
void addSiteCommands(CLI::App& app, std::function<std::filesystem::path()> folder, int& exitCode);

// Adds `check [--json] [--repair]` over the embedded platform (site_check.h).
void addCheckCommand(CLI::App& app, std::function<std::filesystem::path()> folder, int& exitCode);

}  // namespace tarnwick::cli
