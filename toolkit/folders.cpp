#include "toolkit/folders.h"

#include "automation/text.h"
#include "toolkit/steps.h"

namespace tarnwick::toolkit {

bool ChkFolder(const FileSystemFactory& createFileSystem, const automation::Variant& sFolder) {
    automation::ErrorState err;
    if (automation::equalsEmptyString(sFolder)) return false;
    std::string path;
    err.attempt([&] { path = automation::replaceAll(automation::toText(sFolder), "/", "\\"); });
    if (!path.empty() && path.back() == '\\') path.pop_back();
    auto fso = objectStep(err, [&] { return automation::Variant(createFileSystem()); });

    if (path.empty()) return !err.isSet();
    std::string prefix;
    for (const auto& element : automation::split(path, "\\")) {
        prefix += element + "\\";
        // A failed existence test counts as "missing": the creation is tried.
        auto exists = err.attempt([&] { return automation::toBoolean(use(fso).call("FolderExists", {prefix})); });
        if (!exists || !*exists) err.attempt([&] { use(fso).call("CreateFolder", {prefix}); });
    }
    return !err.isSet();
}

}  // namespace tarnwick::toolkit
