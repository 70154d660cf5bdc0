#include "component/operation_record.h"

#include "automation/dispatch.h"
#include "automation/error.h"
#include "automation/text.h"
#include "toolkit/steps.h"

namespace tarnwick::component {

namespace {

constexpr std::string_view kRecordTitle = "#Tarnwick operation record";
constexpr std::string_view kLineEnd = "\r\n";
// The folder below the system folder (GetSpecialFolder(1)) that holds the
// records and the activity log.
constexpr std::string_view kLogFolder = "LogFiles\\Tarnwick";
// FileSystemObject's OpenTextFile modes.
constexpr int kForReading = 1;
constexpr int kForAppending = 8;

std::string joined(const std::vector<std::pair<std::string, std::string>>& pairs,
                   const KeepsCharacter& keeps) {
    std::string text;
    for (const auto& [name, value] : pairs) {
        if (!text.empty()) text += '&';
        text += escapeLogValue(name, keeps) + "=" +
                (value.empty() ? std::string() : escapeLogValue(value, keeps));
    }
    return text.empty() ? "-" : text;
}

}  // namespace

std::string OperationRecord::argument(std::string_view name) const {
    for (const auto& [key, value] : arguments) {
        if (key == name) return value;
    }
    return {};
}

const std::vector<std::string>* OperationRecord::step(std::string_view kind) const {
    for (const auto& step : steps) {
        if (step.kind == kind) return &step.values;
    }
    return nullptr;
}

std::string recordLine(std::string_view key, const std::vector<std::string>& values,
                       const KeepsCharacter& keeps) {
    std::string line(key);
    for (const auto& value : values) line += " " + escapeLogValue(value, keeps);
    return line + std::string(kLineEnd);
}

std::string recordHeader(const OperationRecord& record, const KeepsCharacter& keeps) {
    return std::string(kRecordTitle) + std::string(kLineEnd) +
           recordLine("id", {record.id}, keeps) + recordLine("started", {record.started}, keeps) +
           recordLine("process", {record.process}, keeps) +
           recordLine("actor", {record.actor}, keeps) +
           recordLine("member", {record.member}, keeps) + "arguments " +
           joined(record.arguments, keeps) + std::string(kLineEnd);
}

OperationRecord parseRecord(std::string_view text) {
    OperationRecord record;
    for (auto line : automation::split(text, "\n")) {
        while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.pop_back();
        if (line.empty() || line.front() == '#') continue;
        auto fields = automation::split(line, " ");
        std::vector<std::string> values;
        for (size_t i = 1; i < fields.size(); ++i) {
            values.push_back(unescapeLogValue(fields[i]).value_or(fields[i]));
        }
        const std::string& key = fields.front();
        const std::string value = values.empty() ? std::string() : values.front();
        if (key == "id") {
            record.id = value;
        } else if (key == "started") {
            // The time's blank is escaped as "+", so date and time are one value.
            record.started = value;
        } else if (key == "process") {
            record.process = value;
        } else if (key == "actor") {
            record.actor = value;
        } else if (key == "member") {
            record.member = value;
        } else if (key == "arguments") {
            if (fields.size() > 1 && fields[1] != "-") {
                for (const auto& pair : automation::split(fields[1], "&")) {
                    auto equals = pair.find('=');
                    if (equals == std::string::npos) continue;
                    auto name = unescapeLogValue(std::string_view(pair).substr(0, equals));
                    auto rest = std::string_view(pair).substr(equals + 1);
                    auto argument = rest.empty() ? std::optional<std::string>(std::string())
                                                 : unescapeLogValue(rest);
                    if (name && argument) record.arguments.emplace_back(*name, *argument);
                }
            }
        } else if (key == "end") {
            record.end = value;
        } else {
            record.steps.push_back({key, std::move(values)});
        }
    }
    return record;
}

std::string recordFileName(std::string_view id) { return "op-" + std::string(id) + ".rec"; }

bool isRecordFileName(std::string_view name) {
    return name.size() > 7 && automation::equalsIgnoreCase(name.substr(0, 3), "op-") &&
           automation::equalsIgnoreCase(name.substr(name.size() - 4), ".rec");
}

std::string recordId(std::chrono::system_clock::time_point when, uint32_t random) {
    std::string date = automation::replaceAll(utcDate(when), "-", "");
    std::string time = automation::replaceAll(utcTime(when), ":", "");
    constexpr char kHex[] = "0123456789ABCDEF";
    std::string suffix;
    for (int shift = 28; shift >= 0; shift -= 4) suffix += kHex[(random >> shift) & 0xF];
    return date + "T" + time + "Z-" + suffix;
}

LogFolder::LogFolder(automation::ObjectRef fileSystem,
                     std::function<void(const std::string&)> limitAccess)
    : fileSystem_(std::move(fileSystem)), limitAccess_(std::move(limitAccess)) {}

std::string LogFolder::pathIfAny() {
    if (path_) return *path_;
    auto system = fileSystem_->call("GetSpecialFolder", {1});
    return automation::toText(automation::objectOf(system).get("Path")) + "\\" +
           std::string(kLogFolder);
}

const std::string& LogFolder::path() {
    if (path_) return *path_;
    auto system = fileSystem_->call("GetSpecialFolder", {1});
    std::string folder = automation::toText(automation::objectOf(system).get("Path"));
    for (const auto& name : automation::split(kLogFolder, "\\")) {
        folder += "\\" + name;
        if (automation::toBoolean(fileSystem_->call("FolderExists", {folder}))) continue;
        try {
            fileSystem_->call("CreateFolder", {folder});
        } catch (const automation::AutomationError&) {
            // Another process may have made it meanwhile.
            if (!automation::toBoolean(fileSystem_->call("FolderExists", {folder}))) throw;
            continue;
        }
        if (name == "Tarnwick" && limitAccess_) limitAccess_(folder);
    }
    path_ = folder;
    return *path_;
}

void LogFolder::create(std::string_view name, std::string_view text) {
    auto stream = fileSystem_->call("CreateTextFile", {path() + "\\" + std::string(name), false});
    auto& file = automation::objectOf(stream);
    file.call("Write", {std::string(text)});
    file.call("Close");
}

void LogFolder::append(std::string_view name, std::string_view text, bool create) {
    auto stream = fileSystem_->call("OpenTextFile",
                                    {path() + "\\" + std::string(name), kForAppending, create});
    auto& file = automation::objectOf(stream);
    file.call("Write", {std::string(text)});
    file.call("Close");
}

bool LogFolder::exists(std::string_view name) {
    return automation::toBoolean(
        fileSystem_->call("FileExists", {path() + "\\" + std::string(name)}));
}

void LogFolder::remove(std::string_view name) {
    fileSystem_->call("DeleteFile", {path() + "\\" + std::string(name), true});
}

std::string LogFolder::read(std::string_view name) {
    const std::string file = pathIfAny() + "\\" + std::string(name);
    auto stream = fileSystem_->call("OpenTextFile", {file, kForReading, false});
    auto& text = automation::objectOf(stream);
    // ReadAll of an empty file fails with "Input past end of file" (62).
    std::string content = automation::toBoolean(text.get("AtEndOfStream"))
                              ? std::string()
                              : automation::toText(text.call("ReadAll"));
    text.call("Close");
    return content;
}

std::vector<std::string> LogFolder::fileNames() {
    const std::string folder = pathIfAny();
    if (!automation::toBoolean(fileSystem_->call("FolderExists", {folder}))) return {};
    auto files = automation::objectOf(fileSystem_->call("GetFolder", {folder})).get("Files");
    std::vector<std::string> names;
    for (const auto& file : toolkit::childrenOf(automation::objectOf(files))) {
        names.push_back(automation::toText(file->get("Name")));
    }
    return names;
}

}  // namespace tarnwick::component
