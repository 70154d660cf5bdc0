// Where a hosted site's folder may lie. The folder of a site is created,
// handed to the site's account with read and write access, filled with
// templates and, when the site is deleted, removed with everything in it; so
// it must be a folder that belongs to that site alone.
//
// A site folder is an absolute local path below a drive root ("D:\Web\bob",
// "/" and "\" alike). It is refused when it
//   - is a drive root, relative, a UNC path, or has an element that climbs
//     ("." or ".."), a wildcard, a stream name or a control character;
//   - is the Windows folder (WINDOWS or WINNT) or the Program Files folder
//     ("Program Files", "Program Files (x86)") of any drive, or lies inside
//     one: these are the operating system's, whatever the machine calls them
//     in its settings;
//   - is, contains or lies inside one of the protected folders the caller
//     names: the system folders the platform reports, the installer's folder,
//     the master control site's folder, the root folders of other sites.
// Names are compared as the file system resolves them: letter case ignored,
// trailing blanks and dots dropped ("C:\WINDOWS." is the Windows folder), a
// trailing separator ignored.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarnwick::toolkit {

class LocalFolder {
public:
    // The folder a path names, or nothing for a path that is not an absolute
    // local path with plain element names. A drive root parses (as a folder
    // with no elements): a protected folder may be one.
    static std::optional<LocalFolder> parse(std::string_view path);

    bool isDriveRoot() const { return elements_.empty(); }
    bool isSameAs(const LocalFolder& other) const;
    // Strictly below `outer`.
    bool isInside(const LocalFolder& outer) const;
    // The same folder, inside it, or containing it.
    bool overlaps(const LocalFolder& other) const;
    // The Windows or Program Files folder of its drive, or inside one.
    bool isSystemFolder() const;

private:
    char drive_ = 0;                     // upper case
    std::vector<std::string> elements_;  // as the file system resolves them
};

// True when `path` may be a hosted site's folder: a folder below a drive
// root, outside the system folders, that neither is, contains nor lies inside
// any of `protectedFolders` (entries that name no local folder are skipped).
bool mayHoldSite(std::string_view path, const std::vector<std::string>& protectedFolders = {});

// True for a name that names a file in the folder it is used in, and nothing
// beyond: not empty, no "\", "/" or ":", not "." or "..", no wildcard or
// control character. Default documents and the index template's name are such
// names.
bool isPlainFileName(std::string_view name);

}  // namespace tarnwick::toolkit
