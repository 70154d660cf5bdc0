// Where a hosted site's folder may lie. The folder of a site is created,
// handed to the site's account with read and write access, filled with
// templates and, when the site is deleted, removed with everything in it; so
// it must be a folder that belongs to that site alone.
//
// A site folder is an absolute local path below a drive root ("D:\Web\bob",
// "/" and "\" alike) that Windows can make (fitsFolderLimits). It is refused
// when it
//   - is a drive root, relative, a UNC path, or has an element that climbs
//     ("." or ".."), a wildcard, a stream name, a control character or a
//     device name ("CON", "nul.txt": Windows makes no folder of that name);
//   - is the Windows folder (WINDOWS or WINNT), the Program Files folder
//     ("Program Files", "Program Files (x86)"), System Volume Information or
//     RECYCLER of any drive, or lies inside one: these are the operating
//     system's, whatever the machine calls them in its settings;
//   - is, contains or lies inside one of the protected folders the caller
//     names: the system folders the platform reports, the installer's folder,
//     the master control site's folder, the root folders of other sites.
// A path is judged by the folder it names, not by its spelling: the platform
// gives the full, long name of each path (the 8.3 alias "PROGRA~1" names
// Program Files), and those names are compared as the file system compares
// them: letter case ignored, trailing blanks and dots dropped ("C:\WINDOWS."
// is the Windows folder), a trailing separator ignored.
#pragma once

#include <functional>
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
    // The Windows, Program Files, System Volume Information or RECYCLER
    // folder of its drive, or inside one.
    bool isSystemFolder() const;

private:
    char drive_ = 0;                     // upper case
    std::vector<std::string> elements_;  // as the file system resolves them
};

// The platform's answer to what a path names: its full, long name
// (platform::SystemFolders::longPathName). Without one, paths are judged as
// they are written. Its failures reach the caller.
using PathResolver = std::function<std::string(std::string_view)>;

// The longest folder path Windows makes: CreateDirectory takes at most 248
// characters with the ending zero (MAX_PATH less room for an 8.3 file name).
inline constexpr size_t kLongestFolderPath = 247;
// The longest name of one folder or file (NTFS, FAT32).
inline constexpr size_t kLongestName = 255;

// True when a folder path fits what Windows can make: at most
// kLongestFolderPath characters, and no element longer than kLongestName.
bool fitsFolderLimits(std::string_view path);

// True when `path` may be a hosted site's folder: a folder below a drive
// root, outside the system folders, that neither is, contains nor lies inside
// any of `protectedFolders` (entries that name no local folder are skipped).
bool mayHoldSite(std::string_view path, const std::vector<std::string>& protectedFolders = {},
                 const PathResolver& resolve = {});

// True when both paths are local folders and name the same one.
bool isSameFolder(std::string_view path, std::string_view other, const PathResolver& resolve = {});

// True for a name that names a file in the folder it is used in, and nothing
// beyond: not empty, no "\", "/" or ":", not "." or "..", no wildcard or
// control character, no device name ("CON", "com1.asp": a copy to it would
// write to the device). Default documents and the index template's name are such
// names.
bool isPlainFileName(std::string_view name);

}  // namespace tarnwick::toolkit
