// `tarnwick check [--json] [--repair]`: what a process that died left behind.
#pragma once

#include <CLI/CLI.hpp>
#include <functional>

#include "component/control.h"

namespace tarnwick::cli {

// Runs the work it is given on a Control that a page of the master control
// site has started, on the platform the command works on.
using ControlRunner = std::function<void(const std::function<void(component::Control&)>&)>;

// Adds `check` to `app`; `exitCode` is set to 0 when nothing is found (or
// nothing remains after --repair), else 1.
void addCheckCommand(CLI::App& app, ControlRunner withControl, int& exitCode);

}  // namespace tarnwick::cli
