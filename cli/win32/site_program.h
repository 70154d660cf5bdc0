// tarnwick.exe: the `site` subcommands of the native command for the
// administrator of a Windows server. Each operation runs through Control over
// the real platform (GetObject for IIS:// and WinNT://, CreateObject, advapi32)
// with a console page context in place of ASP: the error page becomes the
// message on standard error and exit code 1. `check` finds and repairs what
// no site accounts for (cli/site_check.h).
#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace tarnwick::cli::win32 {

struct ProgramSettings {
    // ProgIDs that Server.CreateObject replaces (lower-case key), for test
    // doubles of objects the system lacks.
    std::map<std::string, std::string> progIdMap;
    // Treats the user as lacking administrator rights, so that the refusal can
    // be tested on a system where the user has them.
    bool assumeNotAdministrator = false;
    // Told once the command line is read, before the command runs, whether
    // standard output carries JSON (`site list --json`, `site show N --json`,
    // `check --json`).
    std::function<void(bool json)> outputForm;
};

// Runs one command line (without the program's name); COM must be initialised
// on the calling thread. Returns the exit code: 0 done, 1 the operation failed,
// 2 not an administrator, 64 a wrong command line.
int runSiteProgram(const std::vector<std::string>& args, const ProgramSettings& settings = {});

}  // namespace tarnwick::cli::win32
