// The `tarnwick setup` command: the installer window driven from options on
// the embedded platform. Fields not given keep what Form_Load put in them;
// every caption change and message box is printed as it happens.
#pragma once

#include <CLI/CLI.hpp>
#include <filesystem>
#include <functional>

namespace tarnwick::cli {

// Adds `setup` to `app`. `folder` gives the state folder once the options are
// parsed; the exit code (1 when the installation or uninstallation stopped)
// is stored in `exitCode`.
void addSetupCommand(CLI::App& app, std::function<std::filesystem::path()> folder, int& exitCode);

}  // namespace tarnwick::cli
