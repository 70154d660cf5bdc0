#include "platform/embedded/files/fso_objects.h"

namespace tarnwick::platform::embedded::files::fso {

namespace {
std::string targetOf(std::string_view destination, const Entry& source) {
    if (endsWithSeparator(destination)) return std::string(destination) + source.name();
    return std::string(destination);
}
}  // namespace

Entry requireFile(const Context& context, std::string_view path) {
    auto entry = guarded(Looking::ForFile, [&] { return context.files->entry(path); });
    if (entry.folder) raiseScriptError(numbers::kFileNotFound);
    return entry;
}

Entry requireFolder(const Context& context, std::string_view path) {
    auto entry = guarded(Looking::ForFolder, [&] { return context.files->entry(path); });
    if (!entry.folder) raiseScriptError(numbers::kPathNotFound);
    return entry;
}

void copyFileTo(const Context& context, std::string_view source, std::string_view destination,
                bool overwrite) {
    auto file = requireFile(context, source);
    auto target = targetOf(destination, file);
    guarded(Looking::ForFile, [&] { context.files->copyFile(file.pathText(), target, overwrite); });
}

void copyFolderTo(const Context& context, std::string_view source, std::string_view destination,
                  bool overwrite) {
    auto folder = requireFolder(context, source);
    auto target = targetOf(destination, folder);
    guarded(Looking::ForFolder,
            [&] { context.files->copyFolder(folder.pathText(), target, overwrite); });
}

void moveTo(const Context& context, const Entry& source, std::string_view destination) {
    auto target = targetOf(destination, source);
    guarded(source.folder ? Looking::ForFolder : Looking::ForFile,
            [&] { context.files->move(source.pathText(), target); });
}

}  // namespace tarnwick::platform::embedded::files::fso
