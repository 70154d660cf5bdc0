#include "platform/embedded/files/file_system_object.h"

#include "platform/embedded/faults.h"
#include "platform/embedded/files/file_path.h"
#include "platform/embedded/files/fso_objects.h"

namespace tarnwick::platform::embedded::files {

namespace {

using namespace fso;

class FileSystemObject : public automation::Dispatch {
public:
    explicit FileSystemObject(ContextRef context) : context_(std::move(context)) {}

    Variant invoke(std::string_view name, InvokeKind kind, std::span<Variant> args) override {
        return dispatch(*this, kMembers, name, kind, args);
    }

private:
    // The absolute form of path argument `index`, after the fault check.
    std::string pathArgument(const MemberCall& call, size_t index = 0) {
        auto text = call.text(index);
        context_->check(call.name, text);
        return context_->absolute(text);
    }

    Variant folderExists(const MemberCall& call) {
        call.expectArguments(1, 1);
        return context_->files->folderExists(pathArgument(call));
    }

    Variant fileExists(const MemberCall& call) {
        call.expectArguments(1, 1);
        auto path = pathArgument(call);
        // A trailing separator names a folder, never a file.
        return !endsWithSeparator(path) && context_->files->fileExists(path);
    }

    Variant driveExists(const MemberCall& call) {
        call.expectArguments(1, 1);
        auto text = call.text(0);
        context_->check(call.name, text);
        auto drive = driveLetterOf(text.size() == 1 ? text + ":" : text);
        return drive.has_value() && context_->files->hasDrive(*drive);
    }

    Variant createFolder(const MemberCall& call) {
        call.expectArguments(1, 1);
        auto path = pathArgument(call);
        auto folder =
            guarded(Looking::ForFolder, [&] { return context_->files->createFolder(path); });
        return makeFolder(context_, folder.pathText());
    }

    // DeleteFile, DeleteFolder, CopyFile and CopyFolder take the wildcards *
    // and ? in the last name of their source: the files (or folders) of that
    // folder whose names match, letter case ignored. When none matches, the
    // call fails as for a missing file (53) or path (76). Nothing when the
    // last name holds no wildcard.
    std::optional<std::vector<std::string>> matching(const std::string& path, bool folders) {
        auto separator = path.find_last_of('\\');
        if (separator == std::string::npos) return std::nullopt;
        const std::string pattern = path.substr(separator + 1);
        if (pattern.find_first_of("*?") == std::string::npos) return std::nullopt;
        // A pattern right below a drive ("D:\*") looks in the drive root.
        std::string parent = path.substr(0, separator);
        if (parent.size() == 2) parent += "\\";
        const auto missing = folders ? numbers::kPathNotFound : numbers::kFileNotFound;
        if (!context_->files->folderExists(parent)) raiseScriptError(numbers::kPathNotFound);
        std::vector<std::string> matches;
        for (const auto& child : context_->files->children(parent)) {
            if (child.folder == folders && matchesPattern(pattern, child.name())) {
                matches.push_back(child.pathText());
            }
        }
        if (matches.empty()) raiseScriptError(missing);
        return matches;
    }
    // The destination of a wildcard copy is a folder that the matches go into.
    static std::string intoFolder(std::string destination) {
        if (!endsWithSeparator(destination)) destination += "\\";
        return destination;
    }

    Variant deleteFolder(const MemberCall& call) {
        call.expectArguments(1, 2);
        auto path = pathArgument(call);
        if (auto matches = matching(path, true)) {
            for (const auto& match : *matches) {
                guarded(Looking::ForFolder,
                        [&] { context_->files->deleteFolder(match, call.flag(1, false)); });
            }
            return {};
        }
        // The last name is a pattern of folders to delete; after a trailing
        // separator it is empty and matches nothing.
        if (endsWithSeparator(path)) raiseScriptError(numbers::kPathNotFound);
        requireFolder(*context_, path);
        guarded(Looking::ForFolder,
                [&] { context_->files->deleteFolder(path, call.flag(1, false)); });
        return {};
    }

    Variant deleteFile(const MemberCall& call) {
        call.expectArguments(1, 2);
        auto path = pathArgument(call);
        if (auto matches = matching(path, false)) {
            for (const auto& match : *matches) {
                guarded(Looking::ForFile,
                        [&] { context_->files->deleteFile(match, call.flag(1, false)); });
            }
            return {};
        }
        if (endsWithSeparator(path)) raiseScriptError(numbers::kFileNotFound);
        requireFile(*context_, path);
        guarded(Looking::ForFile, [&] { context_->files->deleteFile(path, call.flag(1, false)); });
        return {};
    }

    Variant copyFile(const MemberCall& call) { return copyMatching(call, false, copyFileTo); }

    Variant copyFolder(const MemberCall& call) { return copyMatching(call, true, copyFolderTo); }

    // CopyFile and CopyFolder: a source whose last part holds wildcards
    // copies every match into the destination folder.
    template <class Copy>
    Variant copyMatching(const MemberCall& call, bool folders, Copy copy) {
        call.expectArguments(2, 3);
        auto source = pathArgument(call);
        auto destination = context_->absolute(call.text(1));
        if (auto matches = matching(source, folders)) {
            for (const auto& match : *matches) {
                copy(*context_, match, intoFolder(destination), call.flag(2, true));
            }
            return {};
        }
        copy(*context_, source, destination, call.flag(2, true));
        return {};
    }

    Variant moveFile(const MemberCall& call) {
        call.expectArguments(2, 2);
        auto source = requireFile(*context_, pathArgument(call));
        moveTo(*context_, source, context_->absolute(call.text(1)));
        return {};
    }

    Variant moveFolder(const MemberCall& call) {
        call.expectArguments(2, 2);
        auto source = requireFolder(*context_, pathArgument(call));
        moveTo(*context_, source, context_->absolute(call.text(1)));
        return {};
    }

    Variant getFolder(const MemberCall& call) {
        call.expectArguments(1, 1);
        return makeFolder(context_, requireFolder(*context_, pathArgument(call)).pathText());
    }

    Variant getFile(const MemberCall& call) {
        call.expectArguments(1, 1);
        return makeFile(context_, requireFile(*context_, pathArgument(call)).pathText());
    }

    Variant getSpecialFolder(const MemberCall& call) {
        call.expectArguments(1, 1);
        auto which = call.number(0, 0);
        context_->check(call.name, std::to_string(which));
        static constexpr const char* kFolders[] = {"C:\\WINDOWS", "C:\\WINDOWS\\system32",
                                                   "C:\\WINDOWS\\Temp"};
        if (which < 0 || which > 2) raiseScriptError(numbers::kInvalidProcedureCall);
        return makeFolder(context_, requireFolder(*context_, kFolders[which]).pathText());
    }

    Variant createTextFile(const MemberCall& call) {
        call.expectArguments(1, 3);
        auto path = pathArgument(call);
        return fso::createTextFile(context_, path, call.flag(1, false), call.flag(2, false));
    }

    Variant openTextFile(const MemberCall& call) {
        call.expectArguments(1, 4);
        auto path = pathArgument(call);
        auto mode = call.number(1, 1);
        auto format = call.number(3, 0);
        if ((mode != 1 && mode != 2 && mode != 8) || format < -2 || format > 0) {
            raiseScriptError(numbers::kInvalidProcedureCall);
        }
        return openTextStream(context_, path, static_cast<StreamMode>(mode), call.flag(2, false),
                              format == -1);
    }

    // Path text only: these never look at the drives.
    template <std::string (*Function)(std::string_view)>
    Variant textFunction(const MemberCall& call) {
        call.expectArguments(1, 1);
        auto text = call.text(0);
        context_->check(call.name, text);
        return Function(text);
    }

    Variant buildPathMember(const MemberCall& call) {
        call.expectArguments(2, 2);
        auto path = call.text(0);
        context_->check(call.name, path);
        return buildPath(path, call.text(1));
    }

    Variant absolutePathName(const MemberCall& call) {
        call.expectArguments(1, 1);
        auto path = pathArgument(call);
        auto parsed = parseFilePath(path);
        return parsed.path ? parsed.path->text() : path;
    }

    static constexpr std::array<Member<FileSystemObject>, 22> kMembers{{
        {"BuildPath", &FileSystemObject::buildPathMember},
        {"CopyFile", &FileSystemObject::copyFile},
        {"CopyFolder", &FileSystemObject::copyFolder},
        {"CreateFolder", &FileSystemObject::createFolder},
        {"CreateTextFile", &FileSystemObject::createTextFile},
        {"DeleteFile", &FileSystemObject::deleteFile},
        {"DeleteFolder", &FileSystemObject::deleteFolder},
        {"DriveExists", &FileSystemObject::driveExists},
        {"FileExists", &FileSystemObject::fileExists},
        {"FolderExists", &FileSystemObject::folderExists},
        {"GetAbsolutePathName", &FileSystemObject::absolutePathName},
        {"GetBaseName", &FileSystemObject::textFunction<&baseName>},
        {"GetDriveName", &FileSystemObject::textFunction<&driveName>},
        {"GetExtensionName", &FileSystemObject::textFunction<&extensionName>},
        {"GetFile", &FileSystemObject::getFile},
        {"GetFileName", &FileSystemObject::textFunction<&fileName>},
        {"GetFolder", &FileSystemObject::getFolder},
        {"GetParentFolderName", &FileSystemObject::textFunction<&parentFolderName>},
        {"GetSpecialFolder", &FileSystemObject::getSpecialFolder},
        {"MoveFile", &FileSystemObject::moveFile},
        {"MoveFolder", &FileSystemObject::moveFolder},
        {"OpenTextFile", &FileSystemObject::openTextFile},
    }};
    ContextRef context_;
};

}  // namespace

automation::ObjectRef makeFileSystemObject(std::shared_ptr<FileSystem> files,
                                           std::shared_ptr<AnsiCodePage> ansi,
                                           std::shared_ptr<FaultInjector> faults,
                                           FileSystemObjectOptions options) {
    auto context = std::make_shared<fso::Context>();
    context->files = std::move(files);
    context->ansi = std::move(ansi);
    context->faults = std::move(faults);
    context->currentFolder = std::move(options.currentFolder);
    return std::make_shared<FileSystemObject>(std::move(context));
}

}  // namespace tarnwick::platform::embedded::files
