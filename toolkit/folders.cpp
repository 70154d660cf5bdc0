#include "toolkit/folders.h"

#include "automation/text.h"
#include "toolkit/site_folders.h"
#include "toolkit/steps.h"

namespace tarnwick::toolkit {

bool ChkFolder(const FileSystemFactory& createFileSystem, const automation::Variant& sFolder,
               bool* made) {
    if (made) *made = false;
    automation::ErrorState err;
    if (automation::equalsEmptyString(sFolder)) return false;
    std::string path;
    err.attempt([&] { path = automation::replaceAll(automation::toText(sFolder), "/", "\\"); });
    if (!path.empty() && path.back() == '\\') path.pop_back();
    // A path Windows cannot make is refused at once, before any folder of it is made.
    if (!fitsFolderLimits(path)) return false;
    auto fso = objectStep(err, [&] { return automation::Variant(createFileSystem()); });

    if (path.empty()) return !err.isSet();
    std::string prefix;
    for (const auto& element : automation::split(path, "\\")) {
        prefix += element + "\\";
        // A failed existence test counts as "missing": the creation is tried.
        auto exists = err.attempt(
            [&] { return automation::toBoolean(use(fso).call("FolderExists", {prefix})); });
        if (exists && *exists) continue;
        try {
            use(fso).call("CreateFolder", {prefix});
            if (made) *made = true;
        } catch (const automation::AutomationError& failure) {
            // Two pages making folders below the same new parent both find it
            // missing and both create it; the one that comes second has its
            // folder all the same, so a failed creation counts only when the
            // folder is still not there.
            automation::ErrorState recheck;
            auto madeMeanwhile = recheck.attempt(
                [&] { return automation::toBoolean(use(fso).call("FolderExists", {prefix})); });
            if (!madeMeanwhile || !*madeMeanwhile) err.record(failure);
            if (made) *made = false;
        }
    }
    return !err.isSet();
}

void CopyMissing(automation::Dispatch& fileSystem, const std::string& from, const std::string& to) {
    auto exists = [&](const std::string& path) {
        return automation::toBoolean(fileSystem.call("FileExists", {path})) ||
               automation::toBoolean(fileSystem.call("FolderExists", {path}));
    };
    auto source = fileSystem.call("GetFolder", {from});
    for (const auto& file :
         childrenOf(automation::objectOf(automation::objectOf(source).get("Files")))) {
        const std::string target = to + "\\" + automation::toText(file->get("Name"));
        if (!exists(target)) fileSystem.call("CopyFile", {file->get("Path"), target, false});
    }
    for (const auto& folder :
         childrenOf(automation::objectOf(automation::objectOf(source).get("SubFolders")))) {
        const std::string target = to + "\\" + automation::toText(folder->get("Name"));
        const std::string path = automation::toText(folder->get("Path"));
        if (automation::toBoolean(fileSystem.call("FolderExists", {target}))) {
            CopyMissing(fileSystem, path, target);
        } else if (!automation::toBoolean(fileSystem.call("FileExists", {target}))) {
            fileSystem.call("CopyFolder", {path, target, false});
        }
    }
}

}  // namespace tarnwick::toolkit
