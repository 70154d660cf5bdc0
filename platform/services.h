// The platform as the core sees it, beyond the page objects.
#pragma once

#include <memory>

#include "platform/advapi32.h"
#include "platform/directory.h"
#include "platform/system.h"

namespace tarnwick::platform {

struct Services {
    std::shared_ptr<Directory> directory;      // GetObject("IIS://..."), GetObject("WinNT://...")
    std::shared_ptr<Advapi32> advapi32;        // folder permissions
    std::shared_ptr<RandomSource> random;      // passwords
    std::shared_ptr<AnsiCodePage> ansi;        // text handed to the "A" functions
    std::shared_ptr<SystemFolders> folders;    // folders no site may own (optional)
    std::shared_ptr<MachineLock> machineLock;  // serialises binding host names
    std::shared_ptr<Processes> processes;      // whose operation records are orphaned
};

}  // namespace tarnwick::platform
