// The folders and files of the embedded drives, kept in the platform store
// (see entry_table.h for why), with the rules of the Windows file system
// that the core can observe:
//
// - Paths as file_path.h describes them; names are found ignoring case and
//   keep the spelling they were created with. An entry whose name is not a
//   valid 8.3 name is found by its alias too (short_names.h); the aliases
//   follow from a folder's names in the order they were made, so they are
//   not stored.
// - Drive C: exists on every platform, with the system folders that
//   addSystemFolders names; addDrive (or a state load) adds others. A path on a drive that does not
//   exist is a missing path.
// - Every new folder and file receives its security descriptor by
//   inheritance from its parent folder (security_descriptor.h); a drive root
//   gets the default root descriptor. Copies are new entries and inherit in
//   their new place; a file overwritten by a copy keeps its own descriptor;
//   a move keeps the descriptor it had.
// - Attributes: read-only 0x1, hidden 0x2, system 0x4, directory 0x10,
//   archive 0x20. New files are marked archive, as Windows marks them.
//   Read-only entries refuse to be written, overwritten or deleted unless the
//   deletion is forced.
//
// Every change is one transaction, and every call reads the store afresh,
// since another process may have changed it. Where Windows gives up half way
// through a tree (a copy that meets a file it may not overwrite, a deletion
// that meets a read-only file), the work done before that point is kept, as
// on Windows, and the error is raised.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "platform/embedded/files/entry_table.h"
#include "platform/embedded/files/file_path.h"
#include "platform/embedded/store.h"

namespace tarnwick::platform::embedded::files {

namespace attributes {
inline constexpr uint32_t kReadOnly = 0x1;
inline constexpr uint32_t kHidden = 0x2;
inline constexpr uint32_t kSystem = 0x4;
inline constexpr uint32_t kDirectory = 0x10;
inline constexpr uint32_t kArchive = 0x20;
// What a caller may change.
inline constexpr uint32_t kChangeable = kReadOnly | kHidden | kSystem | kArchive;
// A drive root, as Windows reports it: hidden, system, directory.
inline constexpr uint32_t kDriveRoot = kHidden | kSystem | kDirectory;
}  // namespace attributes

enum class FileErrorKind {
    NotFound,       // the last name is missing in an existing folder
    PathNotFound,   // a folder on the way, or the drive, is missing; or the path is relative
    AlreadyExists,  // the target name is taken
    AccessDenied,   // read-only, a folder where a file is needed, a tree into itself, a root
    InvalidName,    // a character no name may hold
};

class FileError : public std::runtime_error {
public:
    FileError(FileErrorKind kind, std::string path);
    FileErrorKind kind() const { return kind_; }
    const std::string& path() const { return path_; }

private:
    FileErrorKind kind_;
    std::string path_;
};

struct Entry {
    int64_t id = 0;
    FilePath path;  // with the stored spelling of every name
    bool folder = false;
    uint32_t attributes = 0;

    std::string pathText() const { return path.text(); }
    std::string name() const { return path.name(); }
    bool readOnly() const { return (attributes & attributes::kReadOnly) != 0; }
};

enum class WriteMode {
    CreateNew,  // the file must not exist yet
    Replace,    // create, or empty an existing file first
    Append,     // create, or add to the end of an existing file
};

class FileSystem {
public:
    // Creates the table when missing and makes sure drive C: exists.
    explicit FileSystem(std::shared_ptr<Store> store);

    Store& store() { return *store_; }

    std::vector<char> drives();
    bool hasDrive(char letter);
    // Adds a drive with the default root descriptor; nothing when it exists.
    void addDrive(char letter);
    // Adds drive C: and its system folders (C:\WINDOWS, C:\WINDOWS\system32,
    // C:\WINDOWS\Temp, C:\Documents and Settings, C:\Inetpub\wwwroot, and
    // the hidden C:\System Volume Information and C:\RECYCLER) where they are
    // missing.
    void addSystemFolders();

    // The entry at `path`, or nullopt when it is missing or the path is not valid.
    std::optional<Entry> find(std::string_view path);
    // The entry at `path`; raises FileError (NotFound, PathNotFound, InvalidName).
    Entry entry(std::string_view path);
    bool folderExists(std::string_view path);
    bool fileExists(std::string_view path);
    // The folder's entries, ordered by name.
    std::vector<Entry> children(std::string_view folder);
    // A file's length, or the total length of the files below a folder.
    uint64_t size(std::string_view path);

    // Creates one folder; its parent must exist.
    Entry createFolder(std::string_view path);
    void writeFile(std::string_view path, std::string_view bytes, WriteMode mode);
    std::string readFile(std::string_view path);
    // Copies one file to the file path `target` (its folder must exist).
    void copyFile(std::string_view source, std::string_view target, bool overwrite);
    // Copies a folder tree to the folder path `target`: created when missing
    // (its parent must exist), merged when it exists. A file that exists in
    // the target is replaced only with `overwrite`.
    void copyFolder(std::string_view source, std::string_view target, bool overwrite);
    // Renames or moves a file or folder; the target must not exist.
    void move(std::string_view source, std::string_view target);
    void deleteFile(std::string_view path, bool force);
    // Deletes a folder with everything below it; `force` deletes read-only
    // entries too. A drive root cannot be deleted.
    void deleteFolder(std::string_view path, bool force);
    // Sets the changeable attributes (kChangeable); the others stay.
    void setAttributes(std::string_view path, uint32_t value);

    // The path of an existing entry with each name replaced by its 8.3 alias,
    // where it has one (short_names.h): "C:\PROGRA~1\Serv-U".
    std::string shortPath(std::string_view path);
    // The full, long form of a path: "." and ".." resolved, and the aliases of
    // the entries that exist replaced by their names; the rest as given. A
    // path that names no entry on the drives is returned as it is.
    std::string longPathName(std::string_view path);

    Bytes securityDescriptor(std::string_view path);
    void setSecurityDescriptor(std::string_view path, ByteView descriptor);

private:
    struct Resolution;
    Resolution resolve(std::string_view path);
    // A folder's entries in the order they were made, each with its alias.
    std::vector<std::pair<EntryRow, std::string>> withShortNames(int64_t folderId);
    std::optional<EntryRow> childByShortName(int64_t folderId, std::string_view alias);
    Entry require(std::string_view path);
    // The folder that will hold `path` and the path itself; raises when the
    // folder is missing or the path is invalid.
    std::pair<Entry, FilePath> parentFor(std::string_view path);
    Entry insertChild(const Entry& parent, const std::string& name, bool folder,
                      uint32_t attributes, std::string_view content);
    void copyTree(const Entry& source, const Entry& target, bool overwrite);
    void copyOneFile(const Entry& source, const Entry& targetFolder, const std::string& name,
                     bool overwrite);
    void deleteTree(const Entry& entry, bool force);

    std::shared_ptr<Store> store_;
    EntryTable table_;
};

}  // namespace tarnwick::platform::embedded::files
