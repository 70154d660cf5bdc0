#include "cli/state_diff.h"

#include <iostream>
#include <map>
#include <memory>

#include "automation/text.h"
#include "cli/documents.h"

namespace tarnwick::cli {

using nlohmann::json;

namespace {

// ---- The things a state document holds -------------------------------------

// Orders names as an administrator reads them: letter case ignored, a run of
// digits by its value (site 2 before site 10).
struct NaturalLess {
    static int compare(const std::string& a, const std::string& b) {
        auto digit = [](char c) { return c >= '0' && c <= '9'; };
        size_t i = 0, j = 0;
        while (i < a.size() && j < b.size()) {
            if (digit(a[i]) && digit(b[j])) {
                while (i + 1 < a.size() && a[i] == '0' && digit(a[i + 1])) ++i;
                while (j + 1 < b.size() && b[j] == '0' && digit(b[j + 1])) ++j;
                size_t endA = i, endB = j;
                while (endA < a.size() && digit(a[endA])) ++endA;
                while (endB < b.size() && digit(b[endB])) ++endB;
                if (endA - i != endB - j) return endA - i < endB - j ? -1 : 1;
                if (int order = a.compare(i, endA - i, b, j, endB - j); order != 0) return order;
                i = endA;
                j = endB;
            } else {
                if (a[i] != b[j])
                    return static_cast<unsigned char>(a[i]) < static_cast<unsigned char>(b[j]) ? -1
                                                                                               : 1;
                ++i;
                ++j;
            }
        }
        return (i < a.size()) - (j < b.size());
    }
    bool operator()(const std::string& a, const std::string& b) const {
        int order = compare(a, b);
        return order != 0 ? order < 0 : a < b;  // "02" and "2" stay apart
    }
};

// One field of a thing: `value` is compared, `shown` is what a difference
// shows of it (null: nothing, only that it differs).
struct Field {
    std::string name;
    json value, shown;
    bool listedWhenAdded = true;  // shown on its own line under an added thing
};

struct Thing {
    std::string kind, name;
    std::vector<Field> fields;  // in the document's order

    const Field* find(const std::string& field) const {
        for (const auto& f : fields) {
            if (automation::equalsIgnoreCase(f.name, field)) return &f;
        }
        return nullptr;
    }
    void add(std::string field, json value, json shown, bool listedWhenAdded = true) {
        fields.push_back({std::move(field), std::move(value), std::move(shown), listedWhenAdded});
    }
    void add(std::string field, const json& value) { add(std::move(field), value, value); }
};

using Things = std::map<std::string, Thing, NaturalLess>;  // by lower-case name

struct State {
    Thing settings;
    Things keys, users, groups, members, files;
};

const json kSecret = {{"type", "secret"}};

// A metabase property whose value is a password: the ones the metabase keeps
// encrypted (AnonymousUserPass, WAMUserPass, UNCPassword, LogOdbcPassword, ...)
// all end so, and a document may mark any property as a secret by its type.
bool isSecret(const std::string& name, const json& entry) {
    auto lower = automation::toLowerAscii(name);
    auto endsWith = [&](std::string_view tail) { return lower.ends_with(tail); };
    if (endsWith("pass") || endsWith("password")) return true;
    return entry.is_object() && entry.contains("type") && entry.at("type").is_string() &&
           automation::equalsIgnoreCase(entry.at("type").get<std::string>(), "secret");
}

// ---- Reading a state document ----------------------------------------------

[[noreturn]] void notState(const std::string& where, const std::string& problem) {
    throw StateShapeError(where + " " + problem);
}

const json* optionalPart(const json& parent, const char* key, json::value_t type,
                         const std::string& where) {
    if (!parent.contains(key)) return nullptr;
    const auto& part = parent.at(key);
    if (part.type() != type) {
        notState(where + key,
                 type == json::value_t::object ? "must be an object" : "must be a list");
    }
    return &part;
}

std::string textAt(const json& entry, const char* key, const std::string& where) {
    if (!entry.is_object()) notState(where, "must be an object");
    if (!entry.contains(key) || !entry.at(key).is_string()) {
        notState(where + "." + key, "must be a string");
    }
    return entry.at(key).get<std::string>();
}

Thing& insert(Things& things, Thing thing, const std::string& where) {
    auto [it, inserted] = things.emplace(automation::toLowerAscii(thing.name), std::move(thing));
    if (!inserted) notState(where, "names " + it->second.name + " twice");
    return it->second;
}

void readMetabase(const json& metabase, State& state) {
    const auto* keys = optionalPart(metabase, "keys", json::value_t::array, "metabase.");
    if (!keys) return;
    for (size_t i = 0; i < keys->size(); ++i) {
        const auto& entry = (*keys)[i];
        auto where = "metabase.keys[" + std::to_string(i) + "]";
        Thing key{"key", textAt(entry, "path", where), {}};
        key.add("class", textAt(entry, "class", where));
        if (entry.contains("state")) {
            key.add("ServerState", json{{"type", "Number"}, {"value", entry.at("state")}});
        }
        if (const auto* properties =
                optionalPart(entry, "properties", json::value_t::object, where + ".")) {
            for (const auto& [name, value] : properties->items()) {
                key.add(name, value, isSecret(name, value) ? kSecret : value);
            }
        }
        insert(state.keys, std::move(key), where + ".path");
    }
}

void readAccounts(const json& accounts, State& state) {
    for (const char* machineField : {"workgroup", "machineSid"}) {
        if (accounts.contains(machineField)) {
            state.settings.add(machineField, accounts.at(machineField));
        }
    }
    if (const auto* users = optionalPart(accounts, "users", json::value_t::array, "accounts.")) {
        for (size_t i = 0; i < users->size(); ++i) {
            const auto& entry = (*users)[i];
            auto where = "accounts.users[" + std::to_string(i) + "]";
            Thing user{"user", textAt(entry, "name", where), {}};
            for (const char* field : {"sid", "flags", "fullName", "description"}) {
                if (entry.contains(field)) user.add(field, entry.at(field));
            }
            // Only whether the password changed, never its hash.
            bool passwordSet = entry.contains("password") ||
                               (entry.contains("passwordSet") && entry.at("passwordSet") == true);
            if (passwordSet) user.add("password", entry.value("password", json()), kSecret);
            insert(state.users, std::move(user), where + ".name");
        }
    }
    if (const auto* groups = optionalPart(accounts, "groups", json::value_t::array, "accounts.")) {
        for (size_t i = 0; i < groups->size(); ++i) {
            const auto& entry = (*groups)[i];
            auto where = "accounts.groups[" + std::to_string(i) + "]";
            Thing group{"group", textAt(entry, "name", where), {}};
            for (const char* field : {"sid", "description"}) {
                if (entry.contains(field)) group.add(field, entry.at(field));
            }
            Thing members{"member", group.name, {}};
            if (const auto* list =
                    optionalPart(entry, "members", json::value_t::array, where + ".")) {
                for (const auto& member : *list) {
                    if (!member.is_string()) notState(where + ".members", "must list names");
                    members.add(member.get<std::string>(), true, nullptr);
                }
            }
            insert(state.groups, std::move(group), where + ".name");
            state.members.emplace(automation::toLowerAscii(members.name), std::move(members));
        }
    }
}

// A folder's or file's security and attributes; of a new one only its DACL is
// shown on a line of its own.
Thing fileThing(const char* kind, std::string path, const json& entry) {
    Thing item{kind, std::move(path), {}};
    for (const char* field : {"dacl", "security_hex"}) {
        if (entry.contains(field)) item.add(field, entry.at(field));
    }
    for (const char* field : {"owner", "group", "control", "attributes"}) {
        if (entry.contains(field)) item.add(field, entry.at(field), entry.at(field), false);
    }
    for (const char* content : {"text", "ansi", "base64"}) {
        if (entry.contains(content)) {
            item.add("content", json{{content, entry.at(content)}}, nullptr, false);
        }
    }
    return item;
}

void readFiles(const json& files, State& state) {
    if (const auto* folders = optionalPart(files, "folders", json::value_t::array, "files.")) {
        for (size_t i = 0; i < folders->size(); ++i) {
            auto where = "files.folders[" + std::to_string(i) + "]";
            auto path = textAt((*folders)[i], "path", where);
            insert(state.files, fileThing("folder", path, (*folders)[i]), where + ".path");
        }
    }
    if (const auto* list = optionalPart(files, "files", json::value_t::object, "files.")) {
        for (const auto& [path, entry] : list->items()) {
            auto where = "files.files[" + json(path).dump() + "]";
            if (!entry.is_object()) notState(where, "must be an object");
            insert(state.files, fileThing("file", path, entry), where);
        }
    }
}

State readState(const json& document) {
    if (!document.is_object()) throw StateShapeError("it is not a JSON object");
    State state;
    bool anyPart = false;
    if (const auto* settings = optionalPart(document, "settings", json::value_t::object, "")) {
        for (const auto& [name, value] : settings->items()) state.settings.add(name, value);
        anyPart = true;
    }
    using Reader = void (*)(const json&, State&);
    for (auto [part, read] : {std::pair<const char*, Reader>{"metabase", readMetabase},
                              {"accounts", readAccounts},
                              {"files", readFiles}}) {
        if (const auto* found = optionalPart(document, part, json::value_t::object, "")) {
            read(*found, state);
            anyPart = true;
        }
    }
    if (!anyPart) {
        throw StateShapeError("it holds none of settings, metabase, accounts and files");
    }
    return state;
}

// ---- Comparing ---------------------------------------------------------------

class Comparer {
public:
    Comparer(std::string group, std::vector<Difference>& out)
        : group_(std::move(group)), out_(out) {}

    // The fields of a thing present in both documents.
    void fields(const Thing& before, const Thing& after) {
        for (const auto& field : after.fields) {
            const auto* old = before.find(field.name);
            if (!old) {
                emit(Difference::Change::Added, after, field.name, nullptr, field.shown);
            } else if (old->value != field.value) {
                emit(Difference::Change::Changed, after, field.name, old->shown, field.shown);
            }
        }
        for (const auto& field : before.fields) {
            if (!after.find(field.name)) {
                emit(Difference::Change::Removed, before, field.name, field.shown, nullptr);
            }
        }
    }

    // Things added and removed, and the fields of the others. `wholeThings`
    // false: a thing is only a set of fields (a group's members), and an added
    // or removed one is its fields added or removed.
    void things(const Things& before, const Things& after, bool wholeThings = true) {
        auto old = before.begin();
        auto now = after.begin();
        NaturalLess less;
        while (old != before.end() || now != after.end()) {
            bool onlyOld =
                now == after.end() || (old != before.end() && less(old->first, now->first));
            bool onlyNew =
                old == before.end() || (now != after.end() && less(now->first, old->first));
            if (onlyOld) {
                removed(old->second, wholeThings);
                ++old;
            } else if (onlyNew) {
                added(now->second, wholeThings);
                ++now;
            } else {
                if (old->second.kind != now->second.kind) {
                    removed(old->second, wholeThings);
                    added(now->second, wholeThings);
                } else {
                    fields(old->second, now->second);
                }
                ++old;
                ++now;
            }
        }
    }

private:
    void added(const Thing& thing, bool wholeThing) {
        if (wholeThing) emit(Difference::Change::Added, thing, "", nullptr, nullptr);
        for (const auto& field : thing.fields) {
            if (field.listedWhenAdded) {
                emit(Difference::Change::Added, thing, field.name, nullptr, field.shown);
            }
        }
    }
    void removed(const Thing& thing, bool wholeThing) {
        if (wholeThing) {
            emit(Difference::Change::Removed, thing, "", nullptr, nullptr);
            return;
        }
        for (const auto& field : thing.fields) {
            emit(Difference::Change::Removed, thing, field.name, field.shown, nullptr);
        }
    }
    void emit(Difference::Change change, const Thing& thing, const std::string& field,
              const json& before, const json& after) {
        out_.push_back({group_, change, thing.kind, thing.name, field, before, after});
    }

    std::string group_;
    std::vector<Difference>& out_;
};

std::vector<Difference> compareDocuments(const State& before, const State& after) {
    std::vector<Difference> out;
    Comparer("settings", out).fields(before.settings, after.settings);
    Comparer("metabase", out).things(before.keys, after.keys);
    Comparer accounts("accounts", out);
    accounts.things(before.users, after.users);
    accounts.things(before.groups, after.groups);
    accounts.things(before.members, after.members, false);
    Comparer("files", out).things(before.files, after.files);
    return out;
}

// ---- Showing -------------------------------------------------------------------

std::string shownValue(const json& shown) {
    if (shown == kSecret) return "(secret)";
    const json& value =
        shown.is_object() && shown.contains("type") && shown.contains("value") && shown.size() == 2
            ? shown.at("value")
            : shown;
    return value.dump(-1, ' ', false, json::error_handler_t::replace);
}

const char* changeName(Difference::Change change) {
    switch (change) {
        case Difference::Change::Added: return "added";
        case Difference::Change::Removed: return "removed";
        case Difference::Change::Changed: return "changed";
    }
    return "changed";
}

constexpr const char* kGroups[] = {"settings", "metabase", "accounts", "files"};

// Reads, checks and compares the two documents; prints the differences.
int runDiff(const std::string& beforeFile, const std::string& afterFile, bool asJson) {
    std::vector<State> states;
    for (const auto& file : {beforeFile, afterFile}) {
        auto name = file == "-" ? std::string("standard input") : file;
        auto text = readInput(file);
        if (!text) {
            std::cerr << "tarnwick: cannot read " << name << "\n";
            return 2;
        }
        try {
            states.push_back(readState(parseDocument(*text, name)));
        } catch (const DocumentError& error) {
            std::cerr << "tarnwick: " << error.what() << "\n";
            return 2;
        } catch (const StateShapeError& error) {
            std::cerr << "tarnwick: " << name << " is not a state document: " << error.what()
                      << "\n";
            return 2;
        }
    }
    auto differences = compareDocuments(states[0], states[1]);
    if (asJson) {
        std::cout
            << differencesToJson(differences).dump(2, ' ', false, json::error_handler_t::replace)
            << "\n";
    } else {
        std::string group;
        for (const auto& difference : differences) {
            if (difference.group != group) {
                group = difference.group;
                std::cout << group << ":\n";
            }
            std::cout << "  " << differenceLine(difference) << "\n";
        }
    }
    return differences.empty() ? 0 : 1;
}

}  // namespace

std::vector<Difference> compareStates(const json& before, const json& after) {
    return compareDocuments(readState(before), readState(after));
}

std::string differenceLine(const Difference& difference) {
    using enum Difference::Change;
    std::string line = difference.change == Added ? "+" : difference.change == Removed ? "-" : "~";
    if (difference.kind == "member") {
        return line + " member " + difference.field + " of " + difference.name;
    }
    for (const auto* part : {&difference.kind, &difference.name, &difference.field}) {
        if (!part->empty()) line += " " + *part;
    }
    if (difference.field.empty()) return line;
    if (difference.change == Changed) {
        if (difference.before == difference.after) return line + " changed";
        return line + ": " + shownValue(difference.before) + " -> " + shownValue(difference.after);
    }
    const auto& shown = difference.change == Added ? difference.after : difference.before;
    return shown.is_null() ? line : line + " = " + shownValue(shown);
}

json differencesToJson(const std::vector<Difference>& differences) {
    json document = {{"same", differences.empty()}};
    for (const char* group : kGroups) document[group] = json::array();
    for (const auto& difference : differences) {
        json entry = {{"change", changeName(difference.change)}, {"kind", difference.kind}};
        if (difference.kind == "member") {
            entry["group"] = difference.name;
            entry["member"] = difference.field;
        } else {
            if (!difference.name.empty()) entry["name"] = difference.name;
            if (!difference.field.empty()) entry["field"] = difference.field;
            if (!difference.before.is_null()) entry["old"] = difference.before;
            if (!difference.after.is_null()) entry["new"] = difference.after;
        }
        if (entry["kind"] == "") entry.erase("kind");
        document[difference.group].push_back(std::move(entry));
    }
    return document;
}

void addPlatformDiffCommand(CLI::App& platform, int& exitCode) {
    struct Options {
        std::string before, after;
        bool json = false;
    };
    auto options = std::make_shared<Options>();
    auto* diff = platform.add_subcommand(
        "diff",
        "Show the differences between two state documents (files written by platform dump, or "
        "- for standard input): metabase keys and properties, accounts and group members, "
        "folders and files with their DACLs; passwords show only as changed. Nothing is opened "
        "in the state folder");
    diff->footer(
        "Exit codes: 0 the same; 1 different; 2 a document that cannot be read or is no state "
        "document; 64 a wrong command line.");
    diff->add_option("OLD", options->before, "The state document before")->required();
    diff->add_option("NEW", options->after, "The state document after")->required();
    diff->add_flag("--json", options->json, "Print the differences as one JSON document");
    diff->callback([options, &exitCode] {
        if (options->before == "-" && options->after == "-") {
            throw CLI::ValidationError("OLD and NEW", "only one of them can be standard input");
        }
        exitCode = runDiff(options->before, options->after, options->json);
    });
}

}  // namespace tarnwick::cli
