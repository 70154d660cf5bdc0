// Operation records: before a member call that changes something makes its
// first change, a record of it exists in the panel's log folder
// (%SystemRoot%\system32\LogFiles\Tarnwick, beside the activity log), and it
// gains a line before each thing the call makes or removes, with what taking
// it back needs. A call that ends removes its record, so a record that stays
// while its process is gone is an operation that was cut short: `check`
// lists it and `check --repair` finishes or undoes it from the record.
//
// A record is a plain text file "op-<id>.rec" in the system's ANSI code
// page, one line each, CRLF: a key, a blank, and values escaped as the
// activity log's fields are (activity_log.h), so that no value can break a
// line:
//   #Tarnwick operation record
//   id 20261208T014512Z-3F9A1C2B
//   started 2026-12-08 01:45:12
//   process 4711/123456789          the process mark (platform::Processes)
//   actor alice
//   member CreateSite
//   arguments HostUser=bob&HostPath=D:\Web\bob&...   (passwords as ***)
//   <step> <value> [<value>]        one line before each change, see below
//   end <outcome>                   only when the record could not be removed
// Steps: "folder <site folder> <topmost folder the call makes, or ->",
// "account <name>", "access <folder> <its DACL before the grant, hex>",
// "site <number>", "pool <name>". A step is written before its change, so a
// record may name something that was never made; undoing checks first.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "automation/dispatch.h"
#include "automation/variant.h"
#include "component/activity_log.h"

namespace tarnwick::component {

struct RecordStep {
    std::string kind;
    std::vector<std::string> values;
};

struct OperationRecord {
    std::string file;  // the record's full path
    std::string id;
    std::string started;
    std::string process;
    std::string actor;
    std::string member;
    std::vector<std::pair<std::string, std::string>> arguments;
    std::vector<RecordStep> steps;
    std::optional<std::string> end;

    // The value of argument `name`, "" when the record has none.
    std::string argument(std::string_view name) const;
    // The values of the first step of `kind`; nothing when there is none.
    const std::vector<std::string>* step(std::string_view kind) const;
};

// The text of a record's opening lines, and of one more line.
std::string recordHeader(const OperationRecord& record, const KeepsCharacter& keeps);
std::string recordLine(std::string_view key, const std::vector<std::string>& values,
                       const KeepsCharacter& keeps);
// A record read back; lines it cannot read are skipped. An empty text (a
// record cut short before its first line) gives a record without a member.
OperationRecord parseRecord(std::string_view text);

// The file name of a new record: "op-" + id + ".rec".
std::string recordFileName(std::string_view id);
bool isRecordFileName(std::string_view name);
// A new record's id from its UTC start and eight random hex digits.
std::string recordId(std::chrono::system_clock::time_point when, uint32_t random);

// The folder of the records and the activity log, reached through a page's
// Scripting.FileSystemObject: GetSpecialFolder(1) (system32) +
// "\LogFiles\Tarnwick". Each call raises the platform's automation error.
class LogFolder {
public:
    // `fileSystem` is a Scripting.FileSystemObject; `limitAccess` is called
    // with the folder's path when this object creates it, to leave it to
    // Administrators and SYSTEM.
    LogFolder(automation::ObjectRef fileSystem,
              std::function<void(const std::string&)> limitAccess = {});

    // The folder's path, made (with LogFiles) when missing.
    const std::string& path();
    // The folder's path as it would be, without making it.
    std::string pathIfAny();
    // Writes a new file, which must not exist yet.
    void create(std::string_view name, std::string_view text);
    // Appends to a file, making it when `create` is set.
    void append(std::string_view name, std::string_view text, bool create = false);
    bool exists(std::string_view name);
    void remove(std::string_view name);
    std::string read(std::string_view name);
    // The names of the folder's files; none when the folder is missing.
    std::vector<std::string> fileNames();

private:
    automation::ObjectRef fileSystem_;
    std::function<void(const std::string&)> limitAccess_;
    std::optional<std::string> path_;
};

}  // namespace tarnwick::component
