// A platform dump as two runs of the same operations leave it alike: without
// the activity log, passwords, SIDs (access entries name their account
// instead), sessions, faults and the sites' run state with the
// ServerAutoStart that Start and Stop keep beside it.
#pragma once

#include <map>
#include <nlohmann/json.hpp>
#include <regex>
#include <string>

#include "support/activity_log_state.h"

namespace tarnwick::testing {

inline nlohmann::json comparableState(const nlohmann::json& dump) {
    auto document = withoutActivityLog(dump);
    std::map<std::string, std::string> names;
    for (auto& user : document["accounts"]["users"]) {
        names[user["sid"]] = user["name"];
        user.erase("sid");
        user.erase("password");
    }
    document["accounts"].erase("nextRid");
    document["accounts"].erase("machineSid");
    for (auto& key : document["metabase"]["keys"]) {
        key["properties"].erase("AnonymousUserPass");
        key["properties"].erase("ServerAutoStart");
        key.erase("state");
    }
    auto named = [&](std::string dacl) {
        static const std::regex sid("S-1-5-21-[0-9-]+");
        std::string out;
        std::sregex_iterator it(dacl.begin(), dacl.end(), sid), end;
        size_t last = 0;
        for (; it != end; ++it) {
            out += dacl.substr(last, static_cast<size_t>(it->position()) - last);
            out += names.count(it->str()) ? names[it->str()] : "?";
            last = static_cast<size_t>(it->position() + it->length());
        }
        return out + dacl.substr(last);
    };
    for (auto& folder : document["files"]["folders"]) {
        folder["dacl"] = named(folder["dacl"]);
        folder.erase("dacl_hex");
    }
    for (auto& [path, file] : document["files"]["files"].items()) {
        file["dacl"] = named(file["dacl"]);
        file.erase("dacl_hex");
    }
    document.erase("sessions");
    document.erase("faults");
    return document;
}

}  // namespace tarnwick::testing
