// Scripting.FileSystemObject over the embedded drives, as a late-bound
// object: FileSystemObject with its Folder, File, Folders, Files and
// TextStream objects. Members are found by name ignoring case; failures
// raise the script numbers the real object raises: 52 bad file name, 53
// file not found, 58 file already exists, 70 permission denied, 76 path not
// found (54 bad file mode and 62 input past end of file on text streams).
//
// Every member call first asks the fault injector with the member's name and
// the path it works on (its first path argument, or the object's own path),
// so a test can make any call fail with a chosen number.
//
// Text files are written and read in the platform's ANSI code page (or as
// UTF-16 with a byte-order mark when opened as Unicode); WriteLine ends a
// line with CR LF, and ReadLine accepts CR LF, LF or CR.
#pragma once

#include <memory>
#include <string>

#include "automation/dispatch.h"
#include "platform/embedded/faults.h"
#include "platform/embedded/files/file_system.h"
#include "platform/system.h"

namespace tarnwick::platform::embedded::files {

struct FileSystemObjectOptions {
    // The folder that relative paths start from (a program's current
    // folder); empty: relative paths name nothing and fail as missing paths.
    std::string currentFolder;
};

// `faults` must outlive the object and every object it hands out.
automation::ObjectRef makeFileSystemObject(std::shared_ptr<FileSystem> files,
                                           std::shared_ptr<AnsiCodePage> ansi,
                                           FaultInjector& faults,
                                           FileSystemObjectOptions options = {});

}  // namespace tarnwick::platform::embedded::files
