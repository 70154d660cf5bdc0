// tarnwick.exe platform export: this server's state (IIS metabase under
// W3SVC, local accounts, the sites' root folders with their access) as the
// state document that `tarnwick platform load` takes on any machine; see
// cli/state_export.h. It only reads: nothing on the server changes.
#pragma once

#include <CLI/CLI.hpp>
#include <functional>

#include "cli/win32/site_program.h"

namespace tarnwick::cli::win32 {

// Adds `platform export [--output FILE]` to `app`. `requireAdministrator`
// throws when the user lacks the rights that reading the metabase needs.
// The document goes to standard output (UTF-8) or to FILE; what it leaves
// out is listed on standard error. Exit code 1 when FILE cannot be written
// or the server's state cannot be read.
void addPlatformCommands(CLI::App& app, const ProgramSettings& settings,
                         std::function<void()> requireAdministrator, int& exitCode);

}  // namespace tarnwick::cli::win32
