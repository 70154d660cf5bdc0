#include "platform/embedded/store.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <nlohmann/json.hpp>
#include <vector>

namespace tarnwick::platform::embedded {

namespace fs = std::filesystem;

namespace {
constexpr const char* kDatabaseName = "platform.db";
constexpr int kSchemaVersion = 1;

constexpr const char* kSchema = R"sql(
CREATE TABLE IF NOT EXISTS settings (
    name TEXT PRIMARY KEY,
    value TEXT NOT NULL
);
CREATE TABLE IF NOT EXISTS sessions (
    id TEXT PRIMARY KEY,
    created TEXT NOT NULL DEFAULT CURRENT_TIMESTAMP
);
CREATE TABLE IF NOT EXISTS session_values (
    session_id TEXT NOT NULL REFERENCES sessions(id) ON DELETE CASCADE,
    key TEXT NOT NULL COLLATE NOCASE,
    value TEXT NOT NULL,
    PRIMARY KEY (session_id, key)
);
)sql";

// The files SQLite and the change counter keep beside a database.
constexpr std::array<const char*, 4> kSideFiles = {"-wal", "-shm", "-journal", "-changes"};

std::string messageStart(const fs::path& folder) {
    return folder.empty() ? std::string("the platform store ")
                          : "state folder " + folder.string() + ": " + kDatabaseName + " ";
}

// A store the command cannot use: says so, and how to replace it.
[[noreturn]] void refuse(const fs::path& folder, const std::string& problem) {
    throw StoreError(messageStart(folder) + problem +
                     (folder.empty() ? "" : "; `tarnwick platform init --force` replaces it"));
}

// The system refused to read or write the store's file.
[[noreturn]] void failOn(const fs::path& folder, const std::string& doing, int error) {
    throw StoreError(messageStart(folder) + doing + ": " + std::strerror(error));
}

// A path given as "state/" names the folder "state".
fs::path folderItself(const fs::path& folder) {
    return folder.has_filename() ? folder : folder.parent_path();
}

void checkFolder(const fs::path& folder) {
    std::error_code error;
    auto status = fs::status(folder, error);
    if (fs::exists(status) && !fs::is_directory(status)) {
        throw StoreError("state folder " + folder.string() + " is not a folder");
    }
}

// Makes the state folder when it is missing, owner-only: it will hold every
// site account's password. A folder that exists keeps its permissions.
void makeFolder(const fs::path& folder) {
    checkFolder(folder);
    auto target = folderItself(folder);
    std::error_code error;
    if (fs::is_directory(target, error)) return;
    if (target.has_parent_path()) fs::create_directories(target.parent_path(), error);
    if (!error && ::mkdir(target.c_str(), 0700) != 0 && errno != EEXIST) {
        error = std::error_code(errno, std::system_category());
    }
    if (error) {
        throw StoreError("state folder " + folder.string() + " cannot be made: " + error.message());
    }
    checkFolder(folder);
}

// What must be true of an existing database file before SQLite opens it: a
// file, not empty, with SQLite's header. An empty file would otherwise be
// taken for a new database and filled.
void checkFile(const fs::path& folder, const fs::path& database) {
    std::error_code error;
    auto status = fs::status(database, error);
    if (!fs::is_regular_file(status)) refuse(folder, "is not a file");
    if (fs::file_size(database, error) == 0 && !error) refuse(folder, "is empty");
    std::ifstream in(database, std::ios::binary);
    if (!in.is_open()) failOn(folder, "cannot be read", errno);
    constexpr char kHeader[] = "SQLite format 3";  // with its terminating zero: 16 bytes
    std::array<char, sizeof kHeader> header{};
    if (!in.read(header.data(), header.size()) ||
        std::memcmp(header.data(), kHeader, sizeof kHeader) != 0) {
        refuse(folder, "is not an SQLite database");
    }
}

// A database being built under a temporary name: removed with its side files
// when it goes, unless it was moved into place.
class TemporaryDatabase {
public:
    explicit TemporaryDatabase(const fs::path& folder) {
        static std::atomic<unsigned> serial{0};
        path_ = folder / (std::string(kDatabaseName) + ".new-" + std::to_string(::getpid()) + "-" +
                          std::to_string(serial++));
        // Made here, owner-only: SQLite gives its journal and WAL files the
        // database's permissions.
        int fd = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd < 0) failOn(folder, "cannot be made", errno);
        ::close(fd);
    }
    ~TemporaryDatabase() {
        std::error_code ignored;
        fs::remove(path_, ignored);
        for (const char* side : kSideFiles) fs::remove(path_.string() + side, ignored);
    }
    TemporaryDatabase(const TemporaryDatabase&) = delete;
    TemporaryDatabase& operator=(const TemporaryDatabase&) = delete;

    const fs::path& path() const { return path_; }

private:
    fs::path path_;
};

struct Column {
    std::string name;
    std::string type;
    bool operator==(const Column&) const = default;
};

// The columns of `table` with their declared types; none when it is missing.
std::vector<Column> columnsOf(Database& db, const std::string& table) {
    auto query = db.prepare("SELECT name, type FROM pragma_table_info(?) ORDER BY cid");
    query.bind(1, table);
    std::vector<Column> columns;
    while (query.step()) columns.push_back({query.text(0), query.text(1)});
    return columns;
}

std::string listed(const std::vector<Column>& columns) {
    std::string text;
    for (const auto& column : columns) text += (text.empty() ? "" : ", ") + column.name;
    return text;
}

std::string existingAlready(const fs::path& folder) {
    return "a platform already exists in " + folder.string() + " (use --force to replace it)";
}

}  // namespace

Store::Store(Made, fs::path folder, const std::string& databasePath, Database::Opening opening)
    : folder_(std::move(folder)), db_(databasePath, opening) {
    db_.reportDamageWith([this](std::string_view problem) { return damaged(problem); });
    if (opening == Database::Opening::ExistingUnchanged) {
        checkExisting();
        db_.useWriteAheadLog();
    }
    ensureSchema(kSchema);
    if (opening == Database::Opening::ExistingUnchanged) return;
    Transaction transaction(db_);
    db_.prepare("INSERT OR IGNORE INTO settings(name, value) VALUES ('schema_version', ?)")
        .bind(1, std::to_string(kSchemaVersion))
        .run();
    transaction.commit();
}

void Store::checkExisting() {
    auto read = [&](auto&& reading) {
        try {
            return reading();
        } catch (const StoreError& error) {
            // SQLite's own verdict on a file it cannot read ("file is not a database").
            std::string what = error.what();
            refuse(folder_, "cannot be read: " + what.substr(what.find(": ") + 2));
        }
    };
    bool anyTable = read([&] { return db_.prepare("SELECT 1 FROM sqlite_master").step(); });
    if (!anyTable) refuse(folder_, "holds no platform store (it has no tables)");
    bool hasSettings = read([&] {
        return db_.prepare("SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = 'settings'")
            .step();
    });
    if (!hasSettings) refuse(folder_, "holds no platform store (it has no settings table)");
    auto version = read([&]() -> std::optional<std::string> {
        auto query = db_.prepare("SELECT value FROM settings WHERE name = 'schema_version'");
        if (!query.step()) return std::nullopt;
        return query.text(0);
    });
    // Every store is made with its schema version, in the same transaction as its settings table.
    if (!version) refuse(folder_, "holds no platform store (its settings have no schema_version)");
    if (*version != std::to_string(kSchemaVersion)) {
        refuse(folder_, "has schema version " + storedValueText(*version) + ", not " +
                            std::to_string(kSchemaVersion));
    }
    whole_ =
        read([&] { return db_.prepare("SELECT 1 FROM settings WHERE name = 'seeded'").step(); });
}

void Store::ensureSchema(std::string_view schema) {
    Database described(":memory:");
    described.execute(schema);
    std::vector<std::string> missing;
    auto tables =
        described.prepare("SELECT name FROM sqlite_master WHERE type = 'table' ORDER BY rowid");
    while (tables.step()) {
        auto table = tables.text(0);
        auto want = columnsOf(described, table);
        auto have = columnsOf(db_, table);
        if (have.empty()) {
            missing.push_back(table);
        } else if (have != want) {
            throw damaged("table " + table + " has the columns (" + listed(have) + "), not (" +
                          listed(want) + ")");
        }
    }
    if (missing.empty()) return;
    if (whole_) throw damaged("table " + missing.front() + " is missing");
    Transaction transaction(db_);
    db_.execute(schema);
    transaction.commit();
}

StoreError Store::damaged(std::string_view problem) const {
    return StoreError(messageStart(folder_) + "is damaged: " + std::string(problem) +
                      (folder_.empty() ? "" : "; `tarnwick platform init --force` replaces it"));
}

bool Store::create(const fs::path& folder, const PlatformSettings& settings, bool replace) {
    makeFolder(folder);
    auto database = folder / kDatabaseName;
    TemporaryDatabase made(folder);
    // Closing the store folds its WAL into the file, which then holds everything.
    std::make_shared<Store>(Made{}, folder, made.path().string(),
                            Database::Opening::CreateIfMissing)
        ->saveSettings(settings);
    if (replace) {
        // The old database's journal and WAL must not be taken for the new
        // one's, and its change counter goes with it.
        std::error_code ignored;
        for (const char* side : kSideFiles) fs::remove(database.string() + side, ignored);
        if (::rename(made.path().c_str(), database.c_str()) != 0) {
            failOn(folder, "cannot be replaced", errno);
        }
        return true;
    }
    // Linked under its name only now that it is whole: whoever opens the
    // folder finds no store or a whole one, and of two processes making one
    // at once, one store stays.
    if (::link(made.path().c_str(), database.c_str()) == 0) return true;
    if (errno == EEXIST) return false;
    failOn(folder, "cannot be made", errno);
}

std::shared_ptr<Store> Store::open(const fs::path& folder) {
    checkFolder(folder);
    auto database = folder / kDatabaseName;
    std::error_code error;
    if (!fs::exists(fs::symlink_status(database, error))) create(folder, PlatformSettings{}, false);
    checkFile(folder, database);
    return std::make_shared<Store>(Made{}, folder, database.string(),
                                   Database::Opening::ExistingUnchanged);
}

bool Store::holdsPlatform(const fs::path& folder) {
    std::error_code error;
    return fs::exists(fs::symlink_status(folder / kDatabaseName, error));
}

std::shared_ptr<Store> Store::initialize(const fs::path& folder, const PlatformSettings& settings,
                                         bool replace) {
    checkFolder(folder);
    auto database = folder / kDatabaseName;
    if (!replace && holdsPlatform(folder)) throw StoreError(existingAlready(folder));
    if (!create(folder, settings, replace)) throw StoreError(existingAlready(folder));
    checkFile(folder, database);
    return std::make_shared<Store>(Made{}, folder, database.string(),
                                   Database::Opening::ExistingUnchanged);
}

std::shared_ptr<Store> Store::inMemory(const PlatformSettings& settings) {
    auto store =
        std::make_shared<Store>(Made{}, fs::path(), ":memory:", Database::Opening::CreateIfMissing);
    store->saveSettings(settings);
    return store;
}

fs::path Store::defaultFolder() {
    if (const char* explicitFolder = std::getenv("TARNWICK_STATE");
        explicitFolder && *explicitFolder) {
        return explicitFolder;
    }
    if (const char* xdg = std::getenv("XDG_STATE_HOME"); xdg && *xdg) {
        return fs::path(xdg) / "tarnwick";
    }
    const char* home = std::getenv("HOME");
    return fs::path(home && *home ? home : ".") / ".local" / "state" / "tarnwick";
}

const PlatformSettings& Store::settings() {
    auto generation = db_.generation();
    if (settings_ && settingsGeneration_ == generation) return *settings_;
    PlatformSettings settings;
    auto number = [&](const std::string& name, const std::string& value, int& field) {
        const char* end = value.data() + value.size();
        auto [stop, error] = std::from_chars(value.data(), end, field);
        if (value.empty() || error != std::errc() || stop != end) {
            throw damaged("settings." + name + " is " + storedValueText(value) +
                          ", not a whole number");
        }
    };
    auto query = db_.prepare("SELECT name, value FROM settings");
    while (query.step()) {
        auto name = query.text(0);
        auto value = query.text(1);
        if (name == "computer_name") settings.computerName = value;
        if (name == "iis_version") number(name, value, settings.iisVersion);
        if (name == "code_page") number(name, value, settings.codePage);
        if (name == "master_site_root") settings.masterSiteRoot = value;
        if (name == "drives") settings.drives = value;
    }
    settings_ = std::move(settings);
    settingsGeneration_ = generation;
    return *settings_;
}

void Store::saveSettings(const PlatformSettings& settings) {
    Transaction transaction(db_);
    auto write = db_.prepare("INSERT OR REPLACE INTO settings(name, value) VALUES (?, ?)");
    write.bind(1, "computer_name").bind(2, settings.computerName).run();
    write.reset();
    write.bind(1, "iis_version").bind(2, std::to_string(settings.iisVersion)).run();
    write.reset();
    write.bind(1, "code_page").bind(2, std::to_string(settings.codePage)).run();
    write.reset();
    write.bind(1, "master_site_root").bind(2, settings.masterSiteRoot).run();
    write.reset();
    write.bind(1, "drives").bind(2, settings.drives).run();
    transaction.commit();
    settings_ = settings;
    settingsGeneration_ = db_.generation();
}

}  // namespace tarnwick::platform::embedded
