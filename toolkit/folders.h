// Folder creation: makes sure a folder exists, creating every missing folder
// along its path, and reports whether that went without any failure.
#pragma once

#include <functional>

#include "automation/variant.h"

namespace tarnwick::toolkit {

// Creates the FileSystemObject (through the page's Server object in the component).
using FileSystemFactory = std::function<automation::ObjectRef()>;

// "/" and "\" are both separators; one trailing separator is dropped. Every
// prefix of the path, drive root first, is tested with FolderExists and
// created with CreateFolder when missing. The error state is not cleared
// between elements: one failure makes the result False, the later folders
// are still tried, and folders already created stay.
bool ChkFolder(const FileSystemFactory& createFileSystem, const automation::Variant& sFolder);

}  // namespace tarnwick::toolkit
