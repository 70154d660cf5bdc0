// What a platform's settings must hold before a state is made or loaded with
// them: every later page relies on them, and a store with settings it cannot
// use (a code page the system cannot convert, a computer name that breaks
// every "IIS://" and "WinNT://" path) could not even be dumped again.
#pragma once

#include <optional>
#include <string>

#include "platform/embedded/store.h"

namespace tarnwick::platform::embedded {

struct SettingsProblem {
    std::string field;  // the settings document's key: "computer", "code_page", ...
    std::string message;
};

// The first problem found, or none. The rules:
// - computer: 1 to 15 characters (a NetBIOS name), none of them blank, a control character or
//   one of \ / : * ? " < > | , ; = + [ ] @, and not only dots;
// - iis: 5 or 6;
// - code_page: one this system can convert text to and from;
// - drives: letters A to Z, each once, drive C among them;
// - master_site_root: an absolute folder path "X:\..." on one of the drives.
std::optional<SettingsProblem> findSettingsProblem(const PlatformSettings& settings);

}  // namespace tarnwick::platform::embedded
