// A platform dump without the activity log: a call that the log records
// leaves its line there, which a comparison of states before and after the
// call (or of two runs, whose times differ) leaves out.
#pragma once

#include <nlohmann/json.hpp>
#include <string>

namespace tarnwick::testing {

// `document` is a whole dump or its "files" part.
inline nlohmann::json withoutActivityLog(nlohmann::json document) {
    auto& files = document.contains("files") && document["files"].contains("folders")
                      ? document["files"]
                      : document;
    auto isLog = [](const std::string& path) {
        return path.starts_with("C:\\WINDOWS\\system32\\LogFiles");
    };
    if (files.contains("files")) {
        for (auto it = files["files"].begin(); it != files["files"].end();) {
            it = isLog(it.key()) ? files["files"].erase(it) : std::next(it);
        }
    }
    if (files.contains("folders")) {
        auto& folders = files["folders"];
        for (auto it = folders.begin(); it != folders.end();) {
            it = isLog((*it)["path"].get<std::string>()) ? folders.erase(it) : std::next(it);
        }
    }
    return document;
}

}  // namespace tarnwick::testing
