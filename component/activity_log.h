// The activity log: one line per finished member call that changes
// something, in the W3C extended log file format that IIS writes, in daily
// files twYYMMDD.log. This file holds the line's fields and their escaping;
// Control writes the lines (activity_call.cpp) and `tarnwick log` reads them.
//
// Escaping of a field value, so that no value can end a line or a field:
//   an empty value is "-", and a value that is exactly "-" is "%2D";
//   a blank is "+", and "+" itself is "%2B";
//   "%", "&", "=", control characters (tab, CR, LF included) and DEL are
//   "%" with two upper-case hex digits of the byte;
//   a character the file's code page cannot hold is "%u" with four hex
//   digits of its UTF-16 unit (two such for a character beyond U+FFFF).
// The arguments field joins Name=value pairs with "&".
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tarnwick::component {

// The text of every password in a log line.
inline constexpr std::string_view kMaskedPassword = "***";

// The #Fields directive's names, in the order of a line's fields.
inline constexpr std::string_view kActivityFields =
    "date time cs-username x-member x-site x-arguments x-outcome time-taken";

struct ActivityEntry {
    std::chrono::system_clock::time_point when;  // UTC, whole seconds are logged
    std::string actor;                           // "" when nobody is known
    std::string member;
    std::optional<int64_t> site;
    std::vector<std::pair<std::string, std::string>> arguments;
    std::string outcome;
    int64_t milliseconds = 0;
};

// Whether the log file's code page holds one character (its UTF-8 bytes).
using KeepsCharacter = std::function<bool(std::string_view character)>;

std::string escapeLogValue(std::string_view value, const KeepsCharacter& keeps);
// The value an escaped field stands for; nullopt for a malformed escape.
std::optional<std::string> unescapeLogValue(std::string_view field);

// The daily file of `when`: "twYYMMDD.log" of its UTC date.
std::string activityFileName(std::chrono::system_clock::time_point when);
// The directives that begin a new daily file, each ending in CRLF.
std::string activityFileHeader(std::chrono::system_clock::time_point when);
// One line, without its line end.
std::string activityLine(const ActivityEntry& entry, const KeepsCharacter& keeps);
// A line read back; nullopt for a directive, a blank line or a line that is
// not one of the log's.
std::optional<ActivityEntry> parseActivityLine(std::string_view line);

// "YYYY-MM-DD" and "HH:MM:SS" of a UTC time.
std::string utcDate(std::chrono::system_clock::time_point when);
std::string utcTime(std::chrono::system_clock::time_point when);

}  // namespace tarnwick::component
