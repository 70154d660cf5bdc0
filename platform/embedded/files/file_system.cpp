#include "platform/embedded/files/file_system.h"

#include <algorithm>

#include "automation/text.h"
#include "platform/embedded/files/security_descriptor.h"
#include "platform/embedded/files/short_names.h"

namespace tarnwick::platform::embedded::files {

namespace {

std::string describe(FileErrorKind kind) {
    switch (kind) {
        case FileErrorKind::NotFound: return "not found";
        case FileErrorKind::PathNotFound: return "path not found";
        case FileErrorKind::AlreadyExists: return "already exists";
        case FileErrorKind::AccessDenied: return "access denied";
        case FileErrorKind::InvalidName: return "invalid name";
    }
    return "error";
}

[[noreturn]] void fail(FileErrorKind kind, std::string_view path) {
    throw FileError(kind, std::string(path));
}

Entry entryOf(const EntryRow& row, FilePath path) {
    return Entry{row.id, std::move(path), row.folder, row.attributes};
}

}  // namespace

FileError::FileError(FileErrorKind kind, std::string path)
    : std::runtime_error(path + ": " + describe(kind)), kind_(kind), path_(std::move(path)) {}

struct FileSystem::Resolution {
    std::optional<FilePath> path;          // as the caller wrote it, normalised
    std::optional<FileErrorKind> problem;  // the path itself is not usable
    std::optional<Entry> entry;            // the entry, when it exists
    std::optional<Entry> parent;           // the folder that holds (or would hold) it
};

FileSystem::FileSystem(std::shared_ptr<Store> store)
    : store_(std::move(store)), table_(store_->db()) {
    store_->ensureSchema(EntryTable::schema());
    // Looked for first without the write lock, which opening a made store never needs.
    if (table_.root('C')) return;
    Transaction transaction(store_->db());
    if (!table_.root('C')) addSystemFolders();
    transaction.commit();
}

void FileSystem::addSystemFolders() {
    Transaction transaction(store_->db());
    addDrive('C');
    for (const char* path : {"C:\\WINDOWS", "C:\\WINDOWS\\system32", "C:\\WINDOWS\\Temp",
                             "C:\\Documents and Settings", "C:\\Inetpub", "C:\\Inetpub\\wwwroot"}) {
        if (!find(path)) createFolder(path);
    }
    // The system's own folders at the drive's root, hidden as Windows keeps them.
    for (const char* path : {"C:\\System Volume Information", "C:\\RECYCLER"}) {
        if (!find(path)) {
            table_.setAttributes(createFolder(path).id, attributes::kDirectory |
                                                            attributes::kHidden |
                                                            attributes::kSystem);
        }
    }
    transaction.commit();
}

std::vector<char> FileSystem::drives() {
    std::vector<char> letters;
    for (const auto& row : table_.roots()) letters.push_back(row.name.front());
    return letters;
}

bool FileSystem::hasDrive(char letter) {
    auto drive = driveLetterOf(std::string{letter, ':'});
    return drive && table_.root(*drive).has_value();
}

void FileSystem::addDrive(char letter) {
    auto drive = driveLetterOf(std::string{letter, ':'});
    if (!drive) fail(FileErrorKind::InvalidName, std::string{letter, ':'});
    Transaction transaction(store_->db());
    if (!table_.root(*drive)) {
        // IIS 5 runs on Windows 2000, IIS 6 on Windows Server 2003.
        const auto release = store_->settings().iisVersion == 5 ? WindowsRelease::Windows2000
                                                                : WindowsRelease::Windows2003;
        table_.insert(std::nullopt, std::string{*drive, ':'}, true, attributes::kDriveRoot, {},
                      defaultRootDescriptor(release));
    }
    transaction.commit();
}

FileSystem::Resolution FileSystem::resolve(std::string_view text) {
    Resolution result;
    auto parsed = parseFilePath(text);
    if (!parsed.path) {
        result.problem = parsed.problem == PathProblem::InvalidName ? FileErrorKind::InvalidName
                                                                    : FileErrorKind::PathNotFound;
        return result;
    }
    result.path = parsed.path;
    auto root = table_.root(parsed.path->drive);
    if (!root) return result;
    Entry current = entryOf(*root, FilePath{parsed.path->drive, {}});
    std::optional<Entry> holder;
    const auto& names = parsed.path->names;
    // The path from here on names the entries found by their stored names,
    // whichever name or alias the caller used, and the rest as given.
    auto foundSoFar = [&](size_t rest) {
        FilePath path = current.path;
        path.names.insert(path.names.end(), names.begin() + static_cast<ptrdiff_t>(rest),
                          names.end());
        return path;
    };
    for (size_t i = 0; i < names.size(); ++i) {
        if (!current.folder) return result;
        auto row = table_.child(current.id, names[i]);
        if (!row && names[i].find('~') != std::string::npos) {
            row = childByShortName(current.id, names[i]);
        }
        if (!row) {
            if (i + 1 == names.size()) result.parent = current;
            result.path = foundSoFar(i);
            return result;
        }
        holder = current;
        current = entryOf(*row, current.path.child(row->name));
    }
    result.path = current.path;
    result.entry = current;
    result.parent = holder;
    return result;
}

std::vector<std::pair<EntryRow, std::string>> FileSystem::withShortNames(int64_t folderId) {
    auto rows = table_.children(folderId);
    std::sort(rows.begin(), rows.end(),
              [](const EntryRow& a, const EntryRow& b) { return a.id < b.id; });
    std::vector<std::string> names;
    for (const auto& row : rows) names.push_back(row.name);
    auto aliases = shortNamesOf(names);
    std::vector<std::pair<EntryRow, std::string>> named;
    for (size_t i = 0; i < rows.size(); ++i) named.emplace_back(rows[i], std::move(aliases[i]));
    return named;
}

std::optional<EntryRow> FileSystem::childByShortName(int64_t folderId, std::string_view alias) {
    for (auto& [row, shortName] : withShortNames(folderId)) {
        if (!shortName.empty() && automation::equalsIgnoreCase(shortName, alias)) return row;
    }
    return std::nullopt;
}

std::string FileSystem::shortPath(std::string_view path) {
    const auto entry = require(path);
    FilePath shortened{entry.path.drive, {}};
    int64_t folderId = table_.root(entry.path.drive)->id;
    for (const auto& name : entry.path.names) {
        for (auto& [row, shortName] : withShortNames(folderId)) {
            if (row.name != name) continue;
            shortened.names.push_back(shortName.empty() ? row.name : shortName);
            folderId = row.id;
            break;
        }
    }
    return shortened.text();
}

std::string FileSystem::longPathName(std::string_view path) {
    // Aliases hold "~", and "." and ".." follow a separator: a path with
    // neither names its folders by their names, and is answered as given
    // without a look at the drives.
    const bool plain = path.find('~') == std::string_view::npos &&
                       path.find("\\.") == std::string_view::npos &&
                       path.find("/.") == std::string_view::npos;
    if (plain) return std::string(path);
    auto parsed = parseFilePath(path);
    if (!parsed.path) return std::string(path);
    return resolve(path).path->text();
}

Entry FileSystem::require(std::string_view path) {
    auto resolution = resolve(path);
    if (resolution.problem) fail(*resolution.problem, path);
    if (resolution.entry) return *resolution.entry;
    fail(resolution.parent ? FileErrorKind::NotFound : FileErrorKind::PathNotFound, path);
}

std::pair<Entry, FilePath> FileSystem::parentFor(std::string_view path) {
    auto resolution = resolve(path);
    if (resolution.problem) fail(*resolution.problem, path);
    if (resolution.path->isRoot()) fail(FileErrorKind::AccessDenied, path);
    if (resolution.parent) return {*resolution.parent, *resolution.path};
    if (resolution.entry) fail(FileErrorKind::AccessDenied, path);
    fail(FileErrorKind::PathNotFound, path);
}

Entry FileSystem::insertChild(const Entry& parent, const std::string& name, bool folder,
                              uint32_t attributes, std::string_view content) {
    auto security = inheritedDescriptor(table_.security(parent.id), folder);
    if (folder) attributes |= attributes::kDirectory;
    auto id = table_.insert(parent.id, name, folder, attributes, content, security);
    return Entry{id, parent.path.child(name), folder, attributes};
}

std::optional<Entry> FileSystem::find(std::string_view path) { return resolve(path).entry; }

Entry FileSystem::entry(std::string_view path) { return require(path); }

bool FileSystem::folderExists(std::string_view path) {
    auto found = find(path);
    return found && found->folder;
}

bool FileSystem::fileExists(std::string_view path) {
    auto found = find(path);
    return found && !found->folder;
}

std::vector<Entry> FileSystem::children(std::string_view folder) {
    auto parent = require(folder);
    if (!parent.folder) fail(FileErrorKind::PathNotFound, folder);
    std::vector<Entry> entries;
    for (const auto& row : table_.children(parent.id)) {
        entries.push_back(entryOf(row, parent.path.child(row.name)));
    }
    return entries;
}

uint64_t FileSystem::size(std::string_view path) { return table_.size(require(path).id); }

Entry FileSystem::createFolder(std::string_view path) {
    Transaction transaction(store_->db());
    auto resolution = resolve(path);
    if (resolution.problem) fail(*resolution.problem, path);
    if (resolution.entry) fail(FileErrorKind::AlreadyExists, path);
    if (!resolution.parent) fail(FileErrorKind::PathNotFound, path);
    auto created =
        insertChild(*resolution.parent, resolution.path->name(), true, attributes::kDirectory, {});
    transaction.commit();
    return created;
}

void FileSystem::writeFile(std::string_view path, std::string_view bytes, WriteMode mode) {
    Transaction transaction(store_->db());
    auto resolution = resolve(path);
    if (resolution.problem) fail(*resolution.problem, path);
    if (auto& existing = resolution.entry) {
        if (existing->folder) fail(FileErrorKind::AccessDenied, path);
        if (mode == WriteMode::CreateNew) fail(FileErrorKind::AlreadyExists, path);
        if (existing->readOnly()) fail(FileErrorKind::AccessDenied, path);
        std::string content = mode == WriteMode::Append
                                  ? table_.content(existing->id) + std::string(bytes)
                                  : std::string(bytes);
        table_.setContent(existing->id, content);
        table_.setAttributes(existing->id, existing->attributes | attributes::kArchive);
    } else {
        if (!resolution.parent) fail(FileErrorKind::PathNotFound, path);
        insertChild(*resolution.parent, resolution.path->name(), false, attributes::kArchive,
                    bytes);
    }
    transaction.commit();
}

std::string FileSystem::readFile(std::string_view path) {
    auto file = require(path);
    if (file.folder) fail(FileErrorKind::AccessDenied, path);
    return table_.content(file.id);
}

void FileSystem::copyOneFile(const Entry& source, const Entry& targetFolder,
                             const std::string& name, bool overwrite) {
    const uint32_t copied = (source.attributes & attributes::kChangeable) | attributes::kArchive;
    auto targetPath = targetFolder.path.child(name).text();
    if (auto existing = table_.child(targetFolder.id, name)) {
        if (existing->folder || existing->id == source.id) {
            fail(FileErrorKind::AccessDenied, targetPath);
        }
        if (!overwrite) fail(FileErrorKind::AlreadyExists, targetPath);
        if (existing->attributes & attributes::kReadOnly) {
            fail(FileErrorKind::AccessDenied, targetPath);
        }
        // An overwritten file keeps its name's spelling and its own descriptor.
        table_.setContent(existing->id, table_.content(source.id));
        table_.setAttributes(existing->id, copied);
        return;
    }
    insertChild(targetFolder, name, false, copied, table_.content(source.id));
}

void FileSystem::copyFile(std::string_view source, std::string_view target, bool overwrite) {
    Transaction transaction(store_->db());
    auto file = require(source);
    if (file.folder) fail(FileErrorKind::NotFound, source);
    auto [folder, path] = parentFor(target);
    copyOneFile(file, folder, path.name(), overwrite);
    transaction.commit();
}

void FileSystem::copyTree(const Entry& source, const Entry& target, bool overwrite) {
    for (const auto& row : table_.children(source.id)) {
        Entry child = entryOf(row, source.path.child(row.name));
        if (!child.folder) {
            copyOneFile(child, target, row.name, overwrite);
            continue;
        }
        auto existing = table_.child(target.id, row.name);
        if (existing && !existing->folder) {
            fail(FileErrorKind::AlreadyExists, target.path.child(existing->name).text());
        }
        Entry folder = existing ? entryOf(*existing, target.path.child(existing->name))
                                : insertChild(target, row.name, true,
                                              child.attributes & attributes::kChangeable, {});
        copyTree(child, folder, overwrite);
    }
}

void FileSystem::copyFolder(std::string_view source, std::string_view target, bool overwrite) {
    Transaction transaction(store_->db());
    auto folder = require(source);
    if (!folder.folder) fail(FileErrorKind::NotFound, source);
    auto resolution = resolve(target);
    if (resolution.problem) fail(*resolution.problem, target);
    if (resolution.entry && !resolution.entry->folder) fail(FileErrorKind::AlreadyExists, target);
    if (!resolution.entry && !resolution.parent) fail(FileErrorKind::PathNotFound, target);
    // A tree copied into itself would never end.
    if (resolution.path->isWithin(folder.path)) fail(FileErrorKind::AccessDenied, target);

    Entry destination = resolution.entry
                            ? *resolution.entry
                            : insertChild(*resolution.parent, resolution.path->name(), true,
                                          folder.attributes & attributes::kChangeable, {});
    try {
        copyTree(folder, destination, overwrite);
    } catch (const FileError&) {
        transaction.commit();  // what was copied stays, as on Windows
        throw;
    }
    transaction.commit();
}

void FileSystem::move(std::string_view source, std::string_view target) {
    Transaction transaction(store_->db());
    auto entry = require(source);
    if (entry.path.isRoot()) fail(FileErrorKind::AccessDenied, source);
    auto [folder, path] = parentFor(target);
    if (auto existing = table_.child(folder.id, path.name());
        existing && existing->id != entry.id) {
        fail(FileErrorKind::AlreadyExists, target);
    }
    // A folder cannot move into itself or below itself.
    if (entry.folder && folder.path.isWithin(entry.path)) fail(FileErrorKind::AccessDenied, target);
    // The new name as given: a move may change only the letter case.
    table_.move(entry.id, folder.id, parseFilePath(target).path->name());
    transaction.commit();
}

void FileSystem::deleteFile(std::string_view path, bool force) {
    Transaction transaction(store_->db());
    auto file = require(path);
    if (file.folder) fail(FileErrorKind::NotFound, path);
    if (file.readOnly() && !force) fail(FileErrorKind::AccessDenied, path);
    table_.remove(file.id);
    transaction.commit();
}

void FileSystem::deleteTree(const Entry& folder, bool force) {
    for (const auto& row : table_.children(folder.id)) {
        Entry child = entryOf(row, folder.path.child(row.name));
        if (child.folder) {
            deleteTree(child, force);
        } else {
            if (child.readOnly() && !force) fail(FileErrorKind::AccessDenied, child.pathText());
            table_.remove(child.id);
        }
    }
    if (folder.readOnly() && !force) fail(FileErrorKind::AccessDenied, folder.pathText());
    table_.remove(folder.id);
}

void FileSystem::deleteFolder(std::string_view path, bool force) {
    Transaction transaction(store_->db());
    auto folder = require(path);
    if (!folder.folder) fail(FileErrorKind::NotFound, path);
    if (folder.path.isRoot()) fail(FileErrorKind::AccessDenied, path);
    try {
        deleteTree(folder, force);
    } catch (const FileError&) {
        transaction.commit();  // what was deleted stays deleted, as on Windows
        throw;
    }
    transaction.commit();
}

void FileSystem::setAttributes(std::string_view path, uint32_t value) {
    Transaction transaction(store_->db());
    auto entry = require(path);
    table_.setAttributes(entry.id, (entry.attributes & ~attributes::kChangeable) |
                                       (value & attributes::kChangeable));
    transaction.commit();
}

Bytes FileSystem::securityDescriptor(std::string_view path) {
    return table_.security(require(path).id);
}

void FileSystem::setSecurityDescriptor(std::string_view path, ByteView descriptor) {
    if (!parseSelfRelative(descriptor)) {
        throw std::invalid_argument("not a self-relative security descriptor");
    }
    Transaction transaction(store_->db());
    table_.setSecurity(require(path).id, descriptor);
    transaction.commit();
}

}  // namespace tarnwick::platform::embedded::files
