// Paths on the embedded drives: a drive letter and the names below its root,
// written "C:\Inetpub\wwwroot". Both "\" and "/" separate names, repeated
// separators count as one, "." and ".." are resolved, and trailing blanks and
// dots are dropped from each name, as Windows normalises a full path. A name
// that Windows keeps for a device ("CON", "nul.txt") names no file or folder:
// such a path is an invalid name.
//
// Only absolute paths name an entry. A path without a drive ("a.txt",
// "\a.txt"), a drive-relative path ("C:a.txt") and a network path
// ("\\server\share") are refused: the platform runs no process with a
// current folder, so nothing could resolve them. "C:" alone is the root.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarnwick::platform::embedded::files {

struct FilePath {
    char drive = 'C';                // upper case
    std::vector<std::string> names;  // below the root; empty for the root itself

    bool isRoot() const { return names.empty(); }
    // "C:\" for a root, else "C:\a\b".
    std::string text() const;
    // The last name; "" for a root.
    std::string name() const;
    // The folder that holds this path; a root is its own parent.
    FilePath parent() const;
    FilePath child(std::string_view name) const;
    // True when this path is `other` or lies below it (names compared ignoring case).
    bool isWithin(const FilePath& other) const;
};

enum class PathProblem {
    Relative,     // no drive, drive-relative or network path
    InvalidName,  // a character no name may hold, a name of only blanks and dots, a device
};

struct ParsedPath {
    std::optional<FilePath> path;
    PathProblem problem = PathProblem::Relative;  // when path is empty
};

ParsedPath parseFilePath(std::string_view text);

// True when `c` separates names ("\" or "/").
inline bool isSeparator(char c) { return c == '\\' || c == '/'; }

// The drive letter of "X:" (upper case) when the text starts with one.
std::optional<char> driveLetterOf(std::string_view text);

}  // namespace tarnwick::platform::embedded::files
