#include "platform/embedded/system/embedded_system.h"

#include "automation/error.h"
#include "automation/text.h"
#include "platform/embedded/system/distribution.h"

namespace tarnwick::platform::embedded::system {

using nlohmann::json;

namespace {

constexpr const char* kSchema = R"sql(
CREATE TABLE IF NOT EXISTS system_settings (
    name TEXT PRIMARY KEY,
    value TEXT NOT NULL
);
CREATE TABLE IF NOT EXISTS odbc_data_sources (
    name TEXT PRIMARY KEY COLLATE NOCASE,
    driver TEXT NOT NULL,
    attributes TEXT NOT NULL
);
CREATE TABLE IF NOT EXISTS started_processes (
    id INTEGER PRIMARY KEY,
    command_line TEXT NOT NULL,
    window_style INTEGER NOT NULL,
    outcome TEXT NOT NULL
);
CREATE TABLE IF NOT EXISTS com_registrations (
    prog_id TEXT PRIMARY KEY COLLATE NOCASE,
    clsid TEXT NOT NULL,
    server TEXT NOT NULL
);
)sql";

constexpr uint16_t kAddSystemDataSource = 4;
constexpr uint16_t kRemoveSystemDataSource = 6;
constexpr std::string_view kAccessDriver = "Microsoft Access Driver (*.mdb)";

bool isBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view trim(std::string_view text) {
    while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back())) text.remove_suffix(1);
    return text;
}

// The value of "KEY=value" among the attributes; nullopt when absent.
std::optional<std::string> attribute(const std::vector<std::string>& attributes,
                                     std::string_view key) {
    for (const auto& pair : attributes) {
        auto equals = pair.find('=');
        if (equals != std::string::npos &&
            automation::equalsIgnoreCase(trim(std::string_view(pair).substr(0, equals)), key)) {
            return std::string(trim(std::string_view(pair).substr(equals + 1)));
        }
    }
    return std::nullopt;
}

template <class T>
T field(const json& object, const char* key, const std::string& where, T fallback) {
    if (!object.contains(key)) return fallback;
    try {
        return object.at(key).get<T>();
    } catch (const json::exception& error) {
        throw LoadError(where + "." + key + ": " + error.what());
    }
}

const json& arrayAt(const json& document, const char* key, const json& empty) {
    if (!document.contains(key)) return empty;
    const auto& value = document.at(key);
    if (!value.is_array()) throw LoadError(std::string("system.") + key + ": must be a list");
    return value;
}

}  // namespace

EmbeddedSystem::EmbeddedSystem(std::shared_ptr<Store> store,
                               std::shared_ptr<files::FileSystem> files,
                               std::shared_ptr<FaultInjector> faults)
    : store_(std::move(store)), files_(std::move(files)), faults_(std::move(faults)) {
    store_->ensureSchema(kSchema);
}

void EmbeddedSystem::seedDefaults() {
    Transaction transaction(store_->db());
    auto ensureFolder = [&](const std::string& path) {
        std::string prefix;
        for (const auto& element : automation::split(path, "\\")) {
            prefix += element;
            if (prefix.size() > 2 && !files_->folderExists(prefix)) files_->createFolder(prefix);
            prefix += "\\";
        }
    };
    const std::string folder = installerFolder();
    ensureFolder(folder);
    for (const auto& entry : kDistribution) {
        auto path = folder + "\\" + std::string(entry.path);
        if (entry.folder) {
            ensureFolder(path);
        } else {
            files_->writeFile(path, entry.content, files::WriteMode::Replace);
        }
    }
    ensureFolder(std::string(kServUFolder));
    files_->writeFile(std::string(kServUFolder) + "\\ServUDaemon.ini", kServUDaemonIni,
                      files::WriteMode::Replace);
    transaction.commit();
}

std::string EmbeddedSystem::setting(std::string_view name, std::string_view fallback) {
    auto query = store_->db().prepare("SELECT value FROM system_settings WHERE name = ?");
    query.bind(1, name);
    return query.step() ? query.text(0) : std::string(fallback);
}

std::string EmbeddedSystem::installerFolder() {
    return setting("installer_folder", kDefaultInstallerFolder);
}

void EmbeddedSystem::setInstallerFolder(std::string_view folder) {
    Transaction transaction(store_->db());
    store_->db()
        .prepare(
            "INSERT OR REPLACE INTO system_settings(name, value) VALUES ('installer_folder', ?)")
        .bind(1, folder)
        .run();
    transaction.commit();
}

std::optional<std::string> EmbeddedSystem::computerName() {
    if (faults_->take("GetComputerNameA", "")) return std::nullopt;
    return setting("computer_name", store_->settings().computerName);
}

void EmbeddedSystem::setComputerName(std::optional<std::string> name) {
    Transaction transaction(store_->db());
    if (name) {
        store_->db()
            .prepare(
                "INSERT OR REPLACE INTO system_settings(name, value) VALUES ('computer_name', ?)")
            .bind(1, *name)
            .run();
    } else {
        store_->db().execute("DELETE FROM system_settings WHERE name = 'computer_name'");
    }
    transaction.commit();
}

bool EmbeddedSystem::configDataSource(uint16_t request, std::string_view driver,
                                      const std::vector<std::string>& attributes) {
    auto name = attribute(attributes, "DSN");
    if (faults_->take("SQLConfigDataSource", name.value_or(""))) return false;
    if (!automation::equalsIgnoreCase(driver, kAccessDriver) || !name || name->empty())
        return false;
    Transaction transaction(store_->db());
    if (request == kAddSystemDataSource) {
        store_->db()
            .prepare(
                "INSERT OR REPLACE INTO odbc_data_sources(name, driver, attributes) "
                "VALUES (?, ?, ?)")
            .bind(1, *name)
            .bind(2, driver)
            .bind(3, json(attributes).dump())
            .run();
    } else if (request == kRemoveSystemDataSource) {
        store_->db().prepare("DELETE FROM odbc_data_sources WHERE name = ?").bind(1, *name).run();
        if (store_->db().changes() == 0) return false;
    } else {
        return false;
    }
    transaction.commit();
    return true;
}

std::vector<DataSource> EmbeddedSystem::dataSources() {
    std::vector<DataSource> sources;
    auto query = store_->db().prepare(
        "SELECT name, driver, attributes FROM odbc_data_sources ORDER BY name COLLATE NOCASE");
    while (query.step()) {
        auto attributes = json::parse(query.text(2), nullptr, false);
        bool listOfText = attributes.is_array();
        for (const auto& item : attributes) listOfText = listOfText && item.is_string();
        if (!listOfText) {
            throw store_->damaged("odbc_data_sources: the attributes of " +
                                  storedValueText(query.text(0)) + " are " +
                                  storedValueText(query.text(2)) + ", not a JSON list of strings");
        }
        sources.push_back(
            {query.text(0), query.text(1), attributes.get<std::vector<std::string>>()});
    }
    return sources;
}

void EmbeddedSystem::startProcess(std::string_view commandLine, int windowStyle) {
    faults_->check("Shell", commandLine);
    // As CreateProcess reads a command line: the program's name ends at the
    // first blank, so "regsvr32/u x.dll" names a program "regsvr32/u", which
    // does not exist.
    auto line = trim(commandLine);
    auto end = line.find_first_of(" \t");
    auto program = automation::toLowerAscii(line.substr(0, end));
    if (program.ends_with(".exe")) program.resize(program.size() - 4);
    if (program != "regsvr32")
        automation::raise(automation::errors::kFileNotFound, "File not found");

    Transaction transaction(store_->db());
    auto outcome = runRegsvr32(end == std::string_view::npos ? "" : line.substr(end));
    store_->db()
        .prepare(
            "INSERT INTO started_processes(command_line, window_style, outcome) VALUES (?, ?, ?)")
        .bind(1, commandLine)
        .bind(2, windowStyle)
        .bind(3, outcome)
        .run();
    transaction.commit();
}

// regsvr32 loads the module and calls its DllRegisterServer (or, with /u,
// DllUnregisterServer). Only the panel's own component can be loaded here.
std::string EmbeddedSystem::runRegsvr32(std::string_view arguments) {
    bool unregister = false;
    auto rest = trim(arguments);
    while (!rest.empty() && (rest.front() == '/' || rest.front() == '-')) {
        auto end = rest.find_first_of(" \t");
        auto option =
            automation::toLowerAscii(rest.substr(1, end == std::string_view::npos ? end : end - 1));
        if (option == "u") unregister = true;
        rest = end == std::string_view::npos ? std::string_view{} : trim(rest.substr(end));
    }
    std::string path(rest);
    if (path.size() >= 2 && path.front() == '"' && path.back() == '"')
        path = path.substr(1, path.size() - 2);
    if (path.empty()) return "usage shown";
    if (!files_->fileExists(path)) return "module not found";
    if (!files_->readFile(path).starts_with(kComponentSignature)) return "entry point not found";

    if (unregister) {
        store_->db()
            .prepare("DELETE FROM com_registrations WHERE prog_id = ?")
            .bind(1, kComponentProgId)
            .run();
        return "unregistered";
    }
    store_->db()
        .prepare(
            "INSERT OR REPLACE INTO com_registrations(prog_id, clsid, server) VALUES (?, ?, ?)")
        .bind(1, kComponentProgId)
        .bind(2, kComponentClsid)
        .bind(3, path)
        .run();
    return "registered";
}

std::vector<StartedProcess> EmbeddedSystem::processes() {
    std::vector<StartedProcess> started;
    auto query = store_->db().prepare(
        "SELECT command_line, window_style, outcome FROM started_processes ORDER BY id");
    while (query.step()) {
        started.push_back({query.text(0), static_cast<int>(query.integer(1)), query.text(2)});
    }
    return started;
}

std::vector<Registration> EmbeddedSystem::registrations() {
    std::vector<Registration> registered;
    auto query = store_->db().prepare(
        "SELECT prog_id, clsid, server FROM com_registrations ORDER BY prog_id COLLATE NOCASE");
    while (query.step()) registered.push_back({query.text(0), query.text(1), query.text(2)});
    return registered;
}

json EmbeddedSystem::dump() {
    json document = {{"installer_folder", installerFolder()}, {"computer_name", nullptr}};
    auto query =
        store_->db().prepare("SELECT value FROM system_settings WHERE name = 'computer_name'");
    if (query.step()) document["computer_name"] = query.text(0);
    document["data_sources"] = json::array();
    for (const auto& source : dataSources()) {
        document["data_sources"].push_back(
            {{"name", source.name}, {"driver", source.driver}, {"attributes", source.attributes}});
    }
    document["registrations"] = json::array();
    for (const auto& registration : registrations()) {
        document["registrations"].push_back({{"prog_id", registration.progId},
                                             {"clsid", registration.clsid},
                                             {"server", registration.server}});
    }
    document["processes"] = json::array();
    for (const auto& process : processes()) {
        document["processes"].push_back({{"command_line", process.commandLine},
                                         {"window_style", process.windowStyle},
                                         {"outcome", process.outcome}});
    }
    return document;
}

void EmbeddedSystem::load(const json& document) {
    if (!document.is_object()) throw LoadError("system: must be an object");
    for (const auto& [key, value] : document.items()) {
        if (key != "installer_folder" && key != "computer_name" && key != "data_sources" &&
            key != "registrations" && key != "processes") {
            throw LoadError("system." + key + ": not a part of the system's state");
        }
    }
    const json empty = json::array();
    auto& db = store_->db();
    Transaction transaction(db);
    db.execute(
        "DELETE FROM system_settings; DELETE FROM odbc_data_sources; DELETE FROM "
        "started_processes; "
        "DELETE FROM com_registrations;");

    auto folder = field<std::string>(document, "installer_folder", "system",
                                     std::string(kDefaultInstallerFolder));
    if (folder.empty()) throw LoadError("system.installer_folder: must not be empty");
    db.prepare("INSERT INTO system_settings(name, value) VALUES ('installer_folder', ?)")
        .bind(1, folder)
        .run();
    if (document.contains("computer_name") && !document.at("computer_name").is_null()) {
        auto name = field<std::string>(document, "computer_name", "system", "");
        db.prepare("INSERT INTO system_settings(name, value) VALUES ('computer_name', ?)")
            .bind(1, name)
            .run();
    }

    const auto& sources = arrayAt(document, "data_sources", empty);
    for (size_t i = 0; i < sources.size(); ++i) {
        auto where = "system.data_sources[" + std::to_string(i) + "]";
        const auto& source = sources[i];
        if (!source.is_object()) throw LoadError(where + ": must be an object");
        auto name = field<std::string>(source, "name", where, "");
        if (name.empty()) throw LoadError(where + ".name: must not be empty");
        auto attributes =
            field<std::vector<std::string>>(source, "attributes", where, {"DSN=" + name});
        db.prepare(
              "INSERT OR REPLACE INTO odbc_data_sources(name, driver, attributes) VALUES (?, ?, ?)")
            .bind(1, name)
            .bind(2, field<std::string>(source, "driver", where, std::string(kAccessDriver)))
            .bind(3, json(attributes).dump())
            .run();
    }

    const auto& registered = arrayAt(document, "registrations", empty);
    for (size_t i = 0; i < registered.size(); ++i) {
        auto where = "system.registrations[" + std::to_string(i) + "]";
        if (!registered[i].is_object()) throw LoadError(where + ": must be an object");
        auto progId = field<std::string>(registered[i], "prog_id", where, "");
        if (progId.empty()) throw LoadError(where + ".prog_id: must not be empty");
        db.prepare(
              "INSERT OR REPLACE INTO com_registrations(prog_id, clsid, server) VALUES (?, ?, ?)")
            .bind(1, progId)
            .bind(2, field<std::string>(registered[i], "clsid", where, ""))
            .bind(3, field<std::string>(registered[i], "server", where, ""))
            .run();
    }

    const auto& started = arrayAt(document, "processes", empty);
    for (size_t i = 0; i < started.size(); ++i) {
        auto where = "system.processes[" + std::to_string(i) + "]";
        if (!started[i].is_object()) throw LoadError(where + ": must be an object");
        auto commandLine = field<std::string>(started[i], "command_line", where, "");
        if (commandLine.empty()) throw LoadError(where + ".command_line: must not be empty");
        db.prepare(
              "INSERT INTO started_processes(command_line, window_style, outcome) VALUES (?, ?, ?)")
            .bind(1, commandLine)
            .bind(2, field<int>(started[i], "window_style", where, 1))
            .bind(3, field<std::string>(started[i], "outcome", where, "started"))
            .run();
    }
    transaction.commit();
}

}  // namespace tarnwick::platform::embedded::system
