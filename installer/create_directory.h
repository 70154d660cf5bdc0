// CreateDirectory of the installer window: makes a folder and every missing
// folder above it. The server part of a network path (\\server\) is never
// created; its share and the folders below it are.
#pragma once

#include <string>
#include <string_view>

#include "automation/dispatch.h"

namespace tarnwick::installer {

// Works with resume-next handling through the FileSystemObject `fileSystem`
// (FolderExists, CreateFolder). Returns "" when every step went well, else
// the description of the last error raised.
std::string CreateDirectory(automation::Dispatch& fileSystem, std::string_view vDirectory);

}  // namespace tarnwick::installer
