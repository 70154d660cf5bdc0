#include "platform/embedded/store.h"

#include <cstdlib>

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
}  // namespace

Store::Store(Made, fs::path folder, const std::string& databasePath)
    : folder_(std::move(folder)), db_(databasePath) {
    createSchema();
}

void Store::createSchema() {
    Transaction transaction(db_);
    db_.execute(kSchema);
    db_.prepare("INSERT OR IGNORE INTO settings(name, value) VALUES ('schema_version', ?)")
        .bind(1, std::to_string(kSchemaVersion))
        .run();
    transaction.commit();
}

std::shared_ptr<Store> Store::open(const fs::path& folder) {
    bool fresh = !fs::exists(folder / kDatabaseName);
    fs::create_directories(folder);
    auto store = std::make_shared<Store>(Made{}, folder, (folder / kDatabaseName).string());
    if (fresh) store->saveSettings(PlatformSettings(store->settings()));
    return store;
}

std::shared_ptr<Store> Store::initialize(const fs::path& folder, const PlatformSettings& settings,
                                         bool replace) {
    if (fs::exists(folder / kDatabaseName)) {
        if (!replace) {
            throw StoreError("a platform already exists in " + folder.string() +
                             " (use --force to replace it)");
        }
        fs::remove_all(folder);
    }
    fs::create_directories(folder);
    auto store = std::make_shared<Store>(Made{}, folder, (folder / kDatabaseName).string());
    store->saveSettings(settings);
    return store;
}

std::shared_ptr<Store> Store::inMemory(const PlatformSettings& settings) {
    auto store = std::make_shared<Store>(Made{}, fs::path(), ":memory:");
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
    auto query = db_.prepare("SELECT name, value FROM settings");
    while (query.step()) {
        auto name = query.text(0);
        auto value = query.text(1);
        if (name == "computer_name") settings.computerName = value;
        if (name == "iis_version") settings.iisVersion = std::stoi(value);
        if (name == "code_page") settings.codePage = std::stoi(value);
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
