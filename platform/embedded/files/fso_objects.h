// The objects a FileSystemObject hands out, and the operations that several
// of them share (FileSystemObject.CopyFile and File.Copy do the same thing).
// Paths given to these functions are absolute (Context::absolute applied).
#pragma once

#include <string>
#include <string_view>

#include "platform/embedded/files/fso_support.h"

namespace tarnwick::platform::embedded::files::fso {

ObjectRef makeFolder(ContextRef context, std::string path);
ObjectRef makeFile(ContextRef context, std::string path);

enum class StreamMode { Reading = 1, Writing = 2, Appending = 8 };

// OpenTextFile: a missing file is created only with `create`.
ObjectRef openTextStream(ContextRef context, const std::string& path, StreamMode mode, bool create,
                         bool unicode);
// CreateTextFile: an existing file is replaced only with `overwrite`.
ObjectRef createTextFile(ContextRef context, const std::string& path, bool overwrite, bool unicode);

// The entry when it is a file (else 53) or a folder (else 76).
Entry requireFile(const Context& context, std::string_view path);
Entry requireFolder(const Context& context, std::string_view path);

// A destination that ends in a separator is a folder that receives the
// source under its own name; otherwise it is the path of the copy itself (a
// folder copied onto an existing folder merges into it).
void copyFileTo(const Context& context, std::string_view source, std::string_view destination,
                bool overwrite);
void copyFolderTo(const Context& context, std::string_view source, std::string_view destination,
                  bool overwrite);
void moveTo(const Context& context, const Entry& source, std::string_view destination);

}  // namespace tarnwick::platform::embedded::files::fso
