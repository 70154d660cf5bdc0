// Reading the activity log back for `tarnwick log` (and tarnwick.exe): the
// daily files' lines, filtered by time, site and member, as text or JSON.
#pragma once

#include <chrono>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "component/activity_log.h"
#include "component/operation_record.h"

namespace tarnwick::cli {

struct ActivityFilter {
    std::optional<std::chrono::system_clock::time_point> since;  // from this second on
    std::optional<std::chrono::system_clock::time_point> until;  // up to this second
    std::optional<int64_t> site;
    std::string member;  // letter case ignored; "" for every member
};

// A DATE of --since/--until: "YYYY-MM-DD" or "YYYY-MM-DD HH:MM:SS" (or with
// "T" between them), UTC. A bare date ends at its last second when `end`.
std::optional<std::chrono::system_clock::time_point> parseLogDate(std::string_view text, bool end);

struct LogFile {
    std::string name;
    std::string text;  // UTF-8
};

// The files of the log folder that the component writes in, read through a
// FileSystemObject (the embedded platform's or the server's); none when there
// is no folder yet.
std::vector<LogFile> logFilesIn(component::LogFolder& folder);

// The lines of the daily files (twYYMMDD.log, any other file is passed over),
// oldest file first, that pass the filter. Directives and lines that are not
// the log's are left out.
std::vector<component::ActivityEntry> readActivity(std::vector<LogFile> files,
                                                   const ActivityFilter& filter);

// The text form: the #Fields directive, then one line per entry as the log
// holds it (characters beyond the code page shown as they are).
std::string activityText(const std::vector<component::ActivityEntry>& entries);
// {"lines": [{"date", "time", "actor", "member", "site", "arguments", "outcome",
// "milliseconds"}, ...]}; an empty actor and a missing site are null.
nlohmann::json activityJson(const std::vector<component::ActivityEntry>& entries);

}  // namespace tarnwick::cli
