// `tarnwick platform diff`: the differences between two state documents (as
// `platform dump` writes them). It compares documents, never stores: nothing
// is opened in a state folder.
#pragma once

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>
#include <stdexcept>
#include <string>
#include <vector>

namespace tarnwick::cli {

// A document that is valid JSON but not a state document; the message names
// the place (`metabase.keys[3].path must be a string`).
class StateShapeError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// One difference: a thing (a metabase key, an account, a folder, a setting)
// added or removed, or one field of a thing present in both added, removed or
// changed. `before` and `after` are what is shown of the field's values: a
// secret as {"type": "secret"}, a file's content as null (never shown).
struct Difference {
    enum class Change { Added, Removed, Changed };
    std::string group;  // "settings", "metabase", "accounts", "files"
    Change change = Change::Changed;
    std::string kind;   // "key", "user", "group", "folder", "file"; empty for a setting
    std::string name;   // the key path, account name or file path
    std::string field;  // empty for the thing itself
    nlohmann::json before, after;
};

// The differences from `before` to `after`, in the order of the groups, then
// of the names (letter case ignored, numbers by their value). Throws
// StateShapeError for a document that is not a state document.
std::vector<Difference> compareStates(const nlohmann::json& before, const nlohmann::json& after);

// One line of the text form (`~ key /LM/W3SVC/1 ServerComment: "a" -> "b"`).
std::string differenceLine(const Difference& difference);

// The JSON form: {"same": ..., "settings": [...], "metabase": [...], ...}.
nlohmann::json differencesToJson(const std::vector<Difference>& differences);

// Adds `diff` to the `platform` subcommand; it runs in the parse and stores its
// exit code (0 the same, 1 different, 2 a document that cannot be used) in
// `exitCode`.
void addPlatformDiffCommand(CLI::App& platform, int& exitCode);

}  // namespace tarnwick::cli
