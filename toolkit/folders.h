// Folder creation: makes sure a folder exists, creating every missing folder
// along its path, and reports whether that went without any failure; and
// filling a folder from a template without changing what it holds.
#pragma once

#include <functional>
#include <string>

#include "automation/variant.h"

namespace tarnwick::toolkit {

// Creates the FileSystemObject (through the page's Server object in the component).
using FileSystemFactory = std::function<automation::ObjectRef()>;

// "/" and "\" are both separators; one trailing separator is dropped. A path
// Windows cannot make (toolkit::fitsFolderLimits) gives False at once. Every
// prefix of the path, drive root first, is tested with FolderExists and
// created with CreateFolder when missing. The error state is not cleared
// between elements: one failure makes the result False, the later folders
// are still tried, and folders already created stay.
// `made`, when given, is set when the call created the last folder of the path.
bool ChkFolder(const FileSystemFactory& createFileSystem, const automation::Variant& sFolder,
               bool* made = nullptr);

// Copies the files and folders of folder `from` into folder `to` where `to`
// has nothing of that name yet, going down into folders both have: what `to`
// held before is never changed. The first copy or read that fails raises its
// automation error.
void CopyMissing(automation::Dispatch& fileSystem, const std::string& from, const std::string& to);

}  // namespace tarnwick::toolkit
