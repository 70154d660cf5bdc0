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
// Destinations follow the real object's rules: one that ends in "\" is an
// existing folder that receives the source under its own name, any other is
// the path of the copy; a folder copied onto an existing folder merges into
// it; copies and deletions stop at the first failure and keep what was done.
// DeleteFolder and DeleteFile take their last name as a pattern, so a path
// that ends in "\" matches nothing (76 and 53), while GetFolder(path).Delete
// accepts it. Wildcards in patterns are not supported: "*" and "?" are
// invalid in names (52).
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

//   auto fso = makeFileSystemObject(files, ansi, faults);
//   fso->call("CreateFolder", {"D:\\Web"});
// `faults` may be null: no call then fails on purpose.
automation::ObjectRef makeFileSystemObject(std::shared_ptr<FileSystem> files,
                                           std::shared_ptr<AnsiCodePage> ansi,
                                           std::shared_ptr<FaultInjector> faults,
                                           FileSystemObjectOptions options = {});

}  // namespace tarnwick::platform::embedded::files
