#include "platform/embedded/files/fso_support.h"

#include "automation/variant.h"
#include "platform/embedded/files/file_path.h"

namespace tarnwick::platform::embedded::files::fso {

void checkSingleName(std::string_view name) {
    for (char c : name) {
        if (c == '\\' || c == '/' || c == ':') raiseScriptError(numbers::kBadFileName);
    }
}

void raiseScriptError(int32_t number) {
    switch (number) {
        case numbers::kBadFileName: automation::raise(number, "Bad file name or number");
        case numbers::kBadFileMode: automation::raise(number, "Bad file mode");
        case numbers::kInputPastEnd: automation::raise(number, "Input past end of file");
        default: automation::raise(number);
    }
}

void raiseFileError(const FileError& error, Looking looking) {
    switch (error.kind()) {
        case FileErrorKind::NotFound:
            raiseScriptError(looking == Looking::ForFile ? numbers::kFileNotFound
                                                         : numbers::kPathNotFound);
        case FileErrorKind::PathNotFound: raiseScriptError(numbers::kPathNotFound);
        case FileErrorKind::AlreadyExists: raiseScriptError(numbers::kFileAlreadyExists);
        case FileErrorKind::AccessDenied: raiseScriptError(numbers::kPermissionDenied);
        case FileErrorKind::InvalidName: raiseScriptError(numbers::kBadFileName);
    }
    raiseScriptError(numbers::kPathNotFound);
}

std::string Context::absolute(std::string_view path) const {
    if (currentFolder.empty()) return std::string(path);
    auto drive = driveLetterOf(path);
    if (drive && (path.size() == 2 || isSeparator(path[2]))) return std::string(path);
    if (path.size() >= 2 && isSeparator(path[0]) && isSeparator(path[1])) {
        return std::string(path);  // a network path stays what it is
    }
    auto current = driveLetterOf(currentFolder);
    if (drive) {
        // "D:name": relative to the current folder on that drive, which is
        // the current folder when it is on D: and the root otherwise.
        std::string base = current == drive ? currentFolder : std::string{*drive, ':', '\\'};
        return buildPath(base, path.substr(2));
    }
    if (!path.empty() && isSeparator(path[0])) {
        return currentFolder.substr(0, 2) + std::string(path);
    }
    return buildPath(currentFolder, path);
}

void MemberCall::expectArguments(size_t min, size_t max) const {
    if (args.size() < min || args.size() > max) {
        automation::raise(automation::errors::kWrongArgumentCount);
    }
}

std::string MemberCall::text(size_t index) const {
    if (index >= args.size()) automation::raise(automation::errors::kWrongArgumentCount);
    return automation::toText(args[index]);
}

bool MemberCall::flag(size_t index, bool fallback) const {
    return index < args.size() ? automation::toBoolean(args[index]) : fallback;
}

int32_t MemberCall::number(size_t index, int32_t fallback) const {
    return index < args.size() ? automation::toLong(args[index]) : fallback;
}

const Variant& MemberCall::putValue() const {
    if (args.empty()) automation::raise(automation::errors::kWrongArgumentCount);
    return args.back();
}

Variant sizeValue(uint64_t bytes) {
    if (bytes <= 0x7FFFFFFF) return static_cast<int32_t>(bytes);
    return static_cast<double>(bytes);
}

// ---- Path text ---------------------------------------------------------------

namespace {

// The end of the path once trailing separators are dropped.
size_t trimmedEnd(std::string_view path) {
    size_t end = path.size();
    while (end > 0 && isSeparator(path[end - 1])) --end;
    return end;
}

size_t lastSeparator(std::string_view path, size_t end) {
    for (size_t i = end; i > 0; --i) {
        if (isSeparator(path[i - 1])) return i - 1;
    }
    return std::string_view::npos;
}

}  // namespace

bool endsWithSeparator(std::string_view path) { return !path.empty() && isSeparator(path.back()); }

std::string parentFolderName(std::string_view path) {
    size_t end = trimmedEnd(path);
    size_t separator = lastSeparator(path, end);
    if (separator == std::string_view::npos) return {};
    size_t parentEnd = separator;
    while (parentEnd > 0 && isSeparator(path[parentEnd - 1])) --parentEnd;
    if (parentEnd == 0) return std::string(path.substr(0, 1));  // "\name"
    // The parent of "C:\name" is the root "C:\", not the drive-relative "C:".
    if (parentEnd == 2 && path[1] == ':') return std::string(path.substr(0, 3));
    return std::string(path.substr(0, parentEnd));
}

std::string fileName(std::string_view path) {
    size_t end = trimmedEnd(path);
    size_t separator = lastSeparator(path, end);
    size_t start = separator == std::string_view::npos ? 0 : separator + 1;
    auto name = path.substr(start, end - start);
    if (name.size() == 2 && name[1] == ':' && start == 0) return {};  // "C:" names a drive
    return std::string(name);
}

std::string baseName(std::string_view path) {
    auto name = fileName(path);
    auto dot = name.rfind('.');
    return dot == std::string::npos ? name : name.substr(0, dot);
}

std::string extensionName(std::string_view path) {
    auto name = fileName(path);
    auto dot = name.rfind('.');
    return dot == std::string::npos ? std::string() : name.substr(dot + 1);
}

std::string driveName(std::string_view path) {
    return driveLetterOf(path) ? std::string(path.substr(0, 2)) : std::string();
}

std::string buildPath(std::string_view path, std::string_view name) {
    if (path.empty()) return std::string(name);
    bool pathEnds = isSeparator(path.back()) || path.back() == ':';
    bool nameStarts = !name.empty() && isSeparator(name.front());
    if (pathEnds && nameStarts && path.back() != ':')
        return std::string(path) + std::string(name.substr(1));
    if (pathEnds || nameStarts) return std::string(path) + std::string(name);
    return std::string(path) + "\\" + std::string(name);
}

}  // namespace tarnwick::platform::embedded::files::fso
