#include "cli/activity_reader.h"

#include <algorithm>

#include "automation/text.h"

namespace tarnwick::cli {

using component::ActivityEntry;

std::optional<std::chrono::system_clock::time_point> parseLogDate(std::string_view text, bool end) {
    std::string date(text.substr(0, std::min<size_t>(text.size(), 10)));
    std::string time = end ? "23:59:59" : "00:00:00";
    if (text.size() > 10) {
        if (text[10] != ' ' && text[10] != 'T') return std::nullopt;
        time = std::string(text.substr(11));
    }
    // A line of the log at that second says whether the two texts form a time.
    auto probe = component::parseActivityLine(date + " " + time + " - x - - - 0");
    if (!probe) return std::nullopt;
    return probe->when;
}

namespace {

bool isDailyFile(std::string_view name) {
    if (name.size() != 12 || !automation::equalsIgnoreCase(name.substr(0, 2), "tw") ||
        !automation::equalsIgnoreCase(name.substr(8), ".log")) {
        return false;
    }
    return std::all_of(name.begin() + 2, name.begin() + 8,
                       [](char c) { return c >= '0' && c <= '9'; });
}

bool passes(const ActivityEntry& entry, const ActivityFilter& filter) {
    if (filter.since && entry.when < *filter.since) return false;
    if (filter.until && entry.when > *filter.until) return false;
    if (filter.site && entry.site != filter.site) return false;
    return filter.member.empty() || automation::equalsIgnoreCase(entry.member, filter.member);
}

}  // namespace

std::vector<ActivityEntry> readActivity(std::vector<LogFile> files, const ActivityFilter& filter) {
    std::erase_if(files, [](const LogFile& file) { return !isDailyFile(file.name); });
    std::sort(files.begin(), files.end(), [](const LogFile& a, const LogFile& b) {
        return automation::toLowerAscii(a.name) < automation::toLowerAscii(b.name);
    });
    std::vector<ActivityEntry> entries;
    for (const auto& file : files) {
        for (const auto& line : automation::split(file.text, "\n")) {
            auto entry = component::parseActivityLine(line);
            if (entry && passes(*entry, filter)) entries.push_back(std::move(*entry));
        }
    }
    return entries;
}

std::string activityText(const std::vector<ActivityEntry>& entries) {
    std::string text = "#Fields: " + std::string(component::kActivityFields) + "\n";
    const component::KeepsCharacter everything = [](std::string_view) { return true; };
    for (const auto& entry : entries) text += component::activityLine(entry, everything) + "\n";
    return text;
}

nlohmann::json activityJson(const std::vector<ActivityEntry>& entries) {
    auto lines = nlohmann::json::array();
    for (const auto& entry : entries) {
        auto arguments = nlohmann::json::object();
        for (const auto& [name, value] : entry.arguments) arguments[name] = value;
        lines.push_back(
            {{"date", component::utcDate(entry.when)},
             {"time", component::utcTime(entry.when)},
             {"actor", entry.actor.empty() ? nlohmann::json() : nlohmann::json(entry.actor)},
             {"member", entry.member},
             {"site", entry.site ? nlohmann::json(*entry.site) : nlohmann::json()},
             {"arguments", std::move(arguments)},
             {"outcome", entry.outcome},
             {"milliseconds", entry.milliseconds}});
    }
    return {{"lines", std::move(lines)}};
}

std::vector<LogFile> logFilesIn(component::LogFolder& folder) {
    std::vector<LogFile> files;
    for (const auto& name : folder.fileNames()) {
        if (!isDailyFile(name)) continue;
        files.push_back({name, folder.read(name)});
    }
    return files;
}

}  // namespace tarnwick::cli
