#include "platform/embedded/faults.h"

#include <signal.h>
#include <unistd.h>

#include <charconv>
#include <optional>
#include <string_view>

#include "automation/error.h"
#include "automation/text.h"

namespace tarnwick::platform::embedded {

namespace {

// "80070005" as the error number it prints as: one to eight hexadecimal digits, nothing else.
std::optional<int32_t> hexErrorNumber(std::string_view text) {
    if (text.empty() || text.size() > 8) return std::nullopt;
    uint32_t value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, 16);
    if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return static_cast<int32_t>(value);
}

constexpr const char* kSchema = R"sql(
CREATE TABLE IF NOT EXISTS faults (
    id INTEGER PRIMARY KEY,
    member TEXT NOT NULL,
    path_pattern TEXT NOT NULL,
    number INTEGER NOT NULL,
    once INTEGER NOT NULL,
    exit_process INTEGER NOT NULL DEFAULT 0
);
)sql";

// Stores made before a fault could end the process have no exit_process
// column: it is added (once, whichever process comes first) before the
// schema is checked.
void addExitColumn(Database& db) {
    // Only the table as such stores made it is changed; any other is left
    // for the schema check to report.
    auto isOldTable = [&db] {
        std::string columns;
        auto query = db.prepare("SELECT name FROM pragma_table_info('faults') ORDER BY cid");
        while (query.step()) columns += query.text(0) + " ";
        return columns == "id member path_pattern number once ";
    };
    if (!isOldTable()) return;
    Transaction transaction(db);
    if (isOldTable()) {
        db.execute("ALTER TABLE faults ADD COLUMN exit_process INTEGER NOT NULL DEFAULT 0");
    }
    transaction.commit();
}

void insertFault(Database& db, const Fault& fault) {
    db.prepare(
          "INSERT INTO faults(member, path_pattern, number, once, exit_process) "
          "VALUES (?, ?, ?, ?, ?)")
        .bind(1, fault.member)
        .bind(2, fault.pathPattern)
        .bind(3, static_cast<int64_t>(fault.number))
        .bind(4, fault.once ? 1 : 0)
        .bind(5, fault.exit ? 1 : 0)
        .run();
}

// The end of a process killed at this call: no handler runs, nothing is flushed.
[[noreturn]] void dieHere() {
    ::kill(::getpid(), SIGKILL);
    ::_exit(137);
}

char lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }
}  // namespace

bool matchesPattern(std::string_view pattern, std::string_view text) {
    // Iterative glob with backtracking to the last star.
    size_t p = 0, t = 0, star = std::string_view::npos, mark = 0;
    while (t < text.size()) {
        if (p < pattern.size() && (pattern[p] == '?' || lower(pattern[p]) == lower(text[t]))) {
            ++p;
            ++t;
        } else if (p < pattern.size() && pattern[p] == '*') {
            star = p++;
            mark = t;
        } else if (star != std::string_view::npos) {
            p = star + 1;
            t = ++mark;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') ++p;
    return p == pattern.size();
}

void FaultInjector::check(std::string_view member, std::string_view path) {
    if (auto number = take(member, path)) {
        automation::raise(*number,
                          "Injected fault in " + std::string(member) + " on " + std::string(path));
    }
}

// Whether the store holds any fault, as last read on this connection: most
// calls meet no fault at all, and they learn it without a query.
struct StoredFaults::Presence {
    uint64_t generation = 0;
    std::optional<bool> any;
};

StoredFaults::StoredFaults(std::shared_ptr<Store> store)
    : store_(std::move(store)), presence_(store_->shared<Presence>()) {
    addExitColumn(store_->db());
    store_->ensureSchema(kSchema);
}

void StoredFaults::add(const Fault& fault) {
    auto& db = store_->db();
    Transaction transaction(db);
    insertFault(db, fault);
    transaction.commit();
    forget();
}

void StoredFaults::clear() {
    Transaction transaction(store_->db());
    store_->db().execute("DELETE FROM faults");
    transaction.commit();
    forget();
}

void StoredFaults::forget() { presence_.any.reset(); }

std::vector<Fault> StoredFaults::list() {
    std::vector<Fault> faults;
    auto query = store_->db().prepare(
        "SELECT member, path_pattern, number, once, exit_process FROM faults ORDER BY id");
    while (query.step()) {
        faults.push_back({query.text(0), query.text(1), static_cast<int32_t>(query.integer(2)),
                          query.integer(3) != 0, query.integer(4) != 0});
    }
    return faults;
}

void StoredFaults::startRecording() { recorded_.emplace(); }

std::vector<PlatformCall> StoredFaults::stopRecording() {
    auto calls = std::move(recorded_).value_or(std::vector<PlatformCall>{});
    recorded_.reset();
    return calls;
}

bool StoredFaults::armed() {
    if (recorded_) return true;  // every call must reach take() to be noted
    auto generation = store_->db().generation();
    if (!presence_.any || presence_.generation != generation) {
        presence_.any = store_->db().prepare("SELECT 1 FROM faults LIMIT 1").step();
        presence_.generation = generation;
    }
    return *presence_.any;
}

std::optional<int32_t> StoredFaults::take(std::string_view member, std::string_view path) {
    if (recorded_) recorded_->push_back({std::string(member), std::string(path)});
    if (!armed()) return std::nullopt;
    auto& db = store_->db();
    Transaction transaction(db);
    auto query = db.prepare(
        "SELECT id, member, path_pattern, number, once, exit_process FROM faults "
        "ORDER BY id");
    while (query.step()) {
        if (!automation::equalsIgnoreCase(query.text(1), member) ||
            !matchesPattern(query.text(2), path)) {
            continue;
        }
        auto number = static_cast<int32_t>(query.integer(3));
        const bool exit = query.integer(5) != 0;
        if (query.integer(4) != 0) {
            db.prepare("DELETE FROM faults WHERE id = ?").bind(1, query.integer(0)).run();
            transaction.commit();
            forget();
            if (exit) dieHere();
            return number;
        }
        if (exit) {
            transaction.commit();
            dieHere();
        }
        transaction.commit();  // nothing changed; a rollback would age every cache
        return number;
    }
    transaction.commit();
    return std::nullopt;
}

nlohmann::json StoredFaults::dump() {
    auto document = nlohmann::json::array();
    for (const auto& fault : list()) {
        document.push_back({{"member", fault.member},
                            {"path", fault.pathPattern},
                            {"number", fault.number},
                            {"hex", automation::hexNumber(fault.number)},
                            {"once", fault.once}});
        if (fault.exit) document.back()["exit"] = true;
    }
    return document;
}

void StoredFaults::load(const nlohmann::json& document) {
    if (!document.is_array()) throw LoadError("faults: must be a list");
    auto& db = store_->db();
    forget();
    db.execute("DELETE FROM faults");
    for (size_t i = 0; i < document.size(); ++i) {
        const auto& entry = document[i];
        auto where = "faults[" + std::to_string(i) + "]";
        if (!entry.is_object() || !entry.contains("member") || !entry.at("member").is_string()) {
            throw LoadError(where + ": needs \"member\"");
        }
        Fault fault{entry.at("member").get<std::string>(), "*", 0, false};
        if (entry.contains("path")) {
            if (!entry.at("path").is_string()) throw LoadError(where + ".path: must be a string");
            fault.pathPattern = entry.at("path").get<std::string>();
        }
        if (entry.contains("once")) {
            if (!entry.at("once").is_boolean())
                throw LoadError(where + ".once: must be true or false");
            fault.once = entry.at("once").get<bool>();
        }
        if (entry.contains("exit")) {
            if (!entry.at("exit").is_boolean())
                throw LoadError(where + ".exit: must be true or false");
            fault.exit = entry.at("exit").get<bool>();
        }
        if (fault.exit && !entry.contains("number") && !entry.contains("hex")) {
            // A process that dies at the call reports no number: any will do.
            fault.number = static_cast<int32_t>(0x80004005u);
        } else if (entry.contains("number") && entry.at("number").is_number_integer()) {
            auto number = entry.at("number").get<int64_t>();
            if (number < INT32_MIN || number > UINT32_MAX)
                throw LoadError(where + ".number: out of range");
            fault.number = static_cast<int32_t>(static_cast<uint32_t>(number & 0xFFFFFFFF));
        } else if (entry.contains("hex") && entry.at("hex").is_string()) {
            auto number = hexErrorNumber(entry.at("hex").get<std::string>());
            if (!number)
                throw LoadError(where + ".hex: not a hexadecimal number of at most 8 digits");
            fault.number = *number;
        } else {
            throw LoadError(where + ": needs \"number\" or \"hex\"");
        }
        if (fault.number == 0) throw LoadError(where + ": the error number must not be 0");
        insertFault(db, fault);
    }
}

}  // namespace tarnwick::platform::embedded
