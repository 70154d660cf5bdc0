#include "platform/embedded/embedded_platform.h"

#include <stdexcept>

#include "automation/error.h"
#include "automation/text.h"
#include "platform/embedded/accounts/accounts.h"
#include "platform/embedded/files/ansi_code_page.h"
#include "platform/embedded/files/embedded_advapi32.h"
#include "platform/embedded/files/file_system.h"
#include "platform/embedded/files/file_system_object.h"
#include "platform/embedded/files/files_state.h"
#include "platform/embedded/files/random_source.h"
#include "platform/embedded/machine_lock.h"
#include "platform/embedded/metabase/metabase.h"
#include "platform/embedded/processes.h"
#include "platform/embedded/session_store.h"
#include "platform/embedded/settings_check.h"
#include "platform/embedded/system/embedded_system.h"

namespace tarnwick::platform::embedded {

namespace {

// GetObject: "IIS://" paths reach the metabase, "WinNT://" paths the accounts.
class EmbeddedDirectory : public Directory {
public:
    EmbeddedDirectory(std::shared_ptr<Metabase> metabase, std::shared_ptr<Accounts> accounts)
        : metabase_(std::move(metabase)), accounts_(std::move(accounts)) {}

    automation::ObjectRef bind(std::string_view path) override {
        auto starts = [&](std::string_view prefix) {
            return path.size() >= prefix.size() &&
                   automation::equalsIgnoreCase(path.substr(0, prefix.size()), prefix);
        };
        if (starts("IIS:")) return metabase_->bind(path);
        if (starts("WinNT:")) return accounts_->bind(path);
        automation::raise(static_cast<int32_t>(0x800401E4u), "Invalid syntax");  // MK_E_SYNTAX
    }

private:
    std::shared_ptr<Metabase> metabase_;
    std::shared_ptr<Accounts> accounts_;
};

// The master control site's templates that new hosted sites start from.
constexpr std::string_view kIndexTemplate =
    "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=gb2312\">"
    "<title>Welcome</title></head>\r\n<body><h1>This site is ready.</h1></body></html>\r\n";
constexpr std::string_view kErrorTemplate =
    "<html><head><title>404</title></head>\r\n<body><h1>Page not found</h1></body></html>\r\n";
constexpr std::string_view kOtherReadme = "Put the site's pages in this folder.\r\n";

// The folders no hosted site may own on the embedded machine: its Windows,
// Program Files and profiles folders and the folder the installer runs from;
// and the long names of paths, as the drives resolve their aliases.
class EmbeddedSystemFolders : public SystemFolders {
public:
    EmbeddedSystemFolders(std::shared_ptr<system::EmbeddedSystem> system,
                          std::shared_ptr<files::FileSystem> files,
                          std::shared_ptr<FaultInjector> faults)
        : system_(std::move(system)), files_(std::move(files)), faults_(std::move(faults)) {}
    std::vector<std::string> protectedFolders() override {
        return {"C:\\WINDOWS", "C:\\Program Files", "C:\\Documents and Settings",
                system_->installerFolder()};
    }
    std::string longPathName(std::string_view path) override {
        faults_->check("GetLongPathNameW", path);
        return files_->longPathName(path);
    }

private:
    std::shared_ptr<system::EmbeddedSystem> system_;
    std::shared_ptr<files::FileSystem> files_;
    std::shared_ptr<FaultInjector> faults_;
};

}  // namespace

struct EmbeddedPlatform::Parts {
    std::shared_ptr<StoredFaults> faults;
    std::shared_ptr<SessionStore> sessions;
    std::shared_ptr<Metabase> metabase;
    std::shared_ptr<Accounts> accounts;
    std::shared_ptr<files::FileSystem> files;
    std::shared_ptr<files::FilesState> filesState;
    std::shared_ptr<files::IconvCodePage> ansi;
    std::shared_ptr<files::EmbeddedAdvapi32> advapi32;
    std::shared_ptr<files::SystemRandomSource> random;
    std::shared_ptr<EmbeddedDirectory> directory;
    std::shared_ptr<system::EmbeddedSystem> system;
    std::shared_ptr<EmbeddedSystemFolders> folders;
    std::shared_ptr<EmbeddedMachineLock> machineLock;
    std::shared_ptr<HostProcesses> processes;

    std::vector<StateModule*> modules() {
        return {sessions.get(),   metabase.get(), accounts.get(),
                filesState.get(), system.get(),   faults.get()};
    }
};

EmbeddedPlatform::EmbeddedPlatform(Made, std::shared_ptr<Store> store)
    : store_(std::move(store)), parts_(std::make_unique<Parts>()) {
    auto& p = *parts_;
    p.faults = std::make_shared<StoredFaults>(store_);
    p.sessions = std::make_shared<SessionStore>(store_);
    p.metabase = std::make_shared<Metabase>(store_, p.faults);
    p.accounts = std::make_shared<Accounts>(store_, p.faults);
    p.files = std::make_shared<files::FileSystem>(store_);
    p.filesState = std::make_shared<files::FilesState>(p.files);
    p.ansi =
        std::make_shared<files::IconvCodePage>(static_cast<unsigned>(store_->settings().codePage));
    p.advapi32 = std::make_shared<files::EmbeddedAdvapi32>(p.files, p.accounts, p.ansi, p.faults);
    p.random = std::make_shared<files::SystemRandomSource>();
    p.directory = std::make_shared<EmbeddedDirectory>(p.metabase, p.accounts);
    p.system = std::make_shared<system::EmbeddedSystem>(store_, p.files, p.faults);
    p.folders = std::make_shared<EmbeddedSystemFolders>(p.system, p.files, p.faults);
    p.machineLock = std::make_shared<EmbeddedMachineLock>(store_->folder(), p.faults);
    p.processes = std::make_shared<HostProcesses>();
}

EmbeddedPlatform::~EmbeddedPlatform() = default;

std::unique_ptr<EmbeddedPlatform> EmbeddedPlatform::open(const std::filesystem::path& folder) {
    auto store = Store::open(folder);
    // Stored settings are checked as given ones are: every part below relies on them.
    if (auto problem = findSettingsProblem(store->settings())) {
        throw store->damaged("settings." + problem->field + ": " + problem->message);
    }
    auto platform = std::make_unique<EmbeddedPlatform>(Made{}, std::move(store));
    platform->seedDefaults();
    return platform;
}

std::unique_ptr<EmbeddedPlatform> EmbeddedPlatform::initialize(const std::filesystem::path& folder,
                                                               const PlatformSettings& settings,
                                                               bool replace) {
    if (auto problem = findSettingsProblem(settings)) {
        throw std::invalid_argument("settings." + problem->field + ": " + problem->message);
    }
    auto platform =
        std::make_unique<EmbeddedPlatform>(Made{}, Store::initialize(folder, settings, replace));
    platform->seedDefaults();
    return platform;
}

std::unique_ptr<EmbeddedPlatform> EmbeddedPlatform::inMemory(const PlatformSettings& settings) {
    auto platform = std::make_unique<EmbeddedPlatform>(Made{}, Store::inMemory(settings));
    platform->seedDefaults();
    return platform;
}

// The machine a fresh platform starts as: the default web site and its
// anonymous account, the drives, and the master control site's templates.
// Runs once per store; a platform that was seeded (or loaded) is left alone.
void EmbeddedPlatform::seedDefaults() {
    auto& db = store_->db();
    auto isSeeded = [&db] {
        return db.prepare("SELECT 1 FROM settings WHERE name = 'seeded'").step();
    };
    if (isSeeded()) return;

    Transaction transaction(db);
    if (isSeeded()) return;  // another process seeded it meanwhile
    auto settings = store_->settings();
    auto& p = *parts_;
    p.metabase->seedDefaults();
    p.accounts->seedDefaults();
    for (char letter : settings.drives) {
        if (!p.files->hasDrive(letter)) p.files->addDrive(letter);
    }

    // The anonymous account of the default web site.
    auto computer = p.accounts->bind("WinNT://" + settings.computerName);
    auto created = computer->call("Create", {"User", "IUSR_" + settings.computerName});
    auto& guest = automation::objectOf(created);
    guest.put("FullName", "Internet 来宾帐号");
    guest.put("Description", "匿名访问 Internet 信息服务的内置帐号");
    guest.put("UserFlags", 0x10000);
    guest.call("SetInfo");
    p.accounts->bind("WinNT://" + settings.computerName + "/Guests,group")
        ->call("Add", {guest.get("ADsPath")});

    auto root = automation::replaceAll(settings.masterSiteRoot, "/", "\\");
    auto fso = objects()("Scripting.FileSystemObject");
    std::string prefix;
    for (const auto& element : automation::split(root + "\\Template\\Other", "\\")) {
        prefix += element + "\\";
        if (!automation::toBoolean(fso->call("FolderExists", {prefix}))) {
            fso->call("CreateFolder", {prefix});
        }
    }
    p.files->writeFile(root + "\\Template\\Index.htm", kIndexTemplate, files::WriteMode::Replace);
    p.files->writeFile(root + "\\Template\\Error.htm", kErrorTemplate, files::WriteMode::Replace);
    p.files->writeFile(root + "\\Template\\Other\\ReadMe.txt", kOtherReadme,
                       files::WriteMode::Replace);
    p.system->seedDefaults();

    db.execute("INSERT INTO settings(name, value) VALUES ('seeded', '1')");
    transaction.commit();
}

StoredFaults& EmbeddedPlatform::faults() { return *parts_->faults; }

std::shared_ptr<system::EmbeddedSystem> EmbeddedPlatform::system() { return parts_->system; }

Services EmbeddedPlatform::services() {
    return {parts_->directory, parts_->advapi32,    parts_->random,   parts_->ansi,
            parts_->folders,   parts_->machineLock, parts_->processes};
}

ObjectFactory EmbeddedPlatform::objects() {
    auto store = store_;
    auto faults = parts_->faults;
    auto files = parts_->files;
    auto ansi = parts_->ansi;
    return [store, faults, files, ansi](std::string_view progId) -> automation::ObjectRef {
        faults->check("CreateObject", progId);
        if (automation::equalsIgnoreCase(progId, "Scripting.FileSystemObject")) {
            return files::makeFileSystemObject(files, ansi, faults);
        }
        if (automation::equalsIgnoreCase(progId, "WScript.Network")) {
            return makeNetworkObject(store, faults);
        }
        return nullptr;
    };
}

nlohmann::json EmbeddedPlatform::dump() {
    // Every part is read from one snapshot, so that the document is a state
    // the platform was in, whatever other processes commit meanwhile.
    ReadTransaction snapshot(store_->db());
    auto settings = store_->settings();
    nlohmann::json document = {{"settings",
                                {{"computer", settings.computerName},
                                 {"iis", settings.iisVersion},
                                 {"code_page", settings.codePage},
                                 {"master_site_root", settings.masterSiteRoot},
                                 {"drives", settings.drives}}}};
    for (auto* module : parts_->modules()) document[std::string(module->name())] = module->dump();
    return document;
}

namespace {

// Reads the settings a state document gives over the current ones; each key is
// checked on its own so that the message names it.
PlatformSettings givenSettings(const nlohmann::json& given, PlatformSettings settings) {
    if (!given.is_object()) throw LoadError("settings: must be an object");
    auto text = [&](const std::string& key, std::string& field) {
        const auto& value = given.at(key);
        if (!value.is_string()) throw LoadError("settings." + key + ": must be a string");
        field = value.get<std::string>();
    };
    auto number = [&](const std::string& key, int& field) {
        const auto& value = given.at(key);
        if (!value.is_number_integer() || value.get<int64_t>() < 0 ||
            value.get<int64_t>() > 0x7FFFFFFF) {
            throw LoadError("settings." + key + ": must be a whole number");
        }
        field = static_cast<int>(value.get<int64_t>());
    };
    for (const auto& [key, value] : given.items()) {
        if (key == "computer")
            text(key, settings.computerName);
        else if (key == "iis")
            number(key, settings.iisVersion);
        else if (key == "code_page")
            number(key, settings.codePage);
        else if (key == "master_site_root")
            text(key, settings.masterSiteRoot);
        else if (key == "drives")
            text(key, settings.drives);
        else {
            throw LoadError("settings." + key +
                            ": unknown key (computer, iis, code_page, master_site_root, drives)");
        }
    }
    if (auto problem = findSettingsProblem(settings)) {
        throw LoadError("settings." + problem->field + ": " + problem->message);
    }
    return settings;
}

}  // namespace

void EmbeddedPlatform::load(const nlohmann::json& document) {
    if (!document.is_object()) throw LoadError("the state document must be a JSON object");
    for (const auto& [key, value] : document.items()) {
        bool known = key == "settings";
        for (auto* module : parts_->modules()) known = known || key == module->name();
        if (!known) throw LoadError(key + ": not a part of the platform's state");
    }
    Transaction transaction(store_->db());
    auto settings = store_->settings();
    if (document.contains("settings")) {
        settings = givenSettings(document.at("settings"), settings);
        store_->saveSettings(settings);
    }
    for (auto* module : parts_->modules()) {
        auto name = std::string(module->name());
        if (document.contains(name)) module->load(document.at(name));
    }
    reconcileDrives(document, settings);
    transaction.commit();
}

// The settings' drive letters and the drives of the files part name the same
// drives after a load. What one part gives explicitly is taken over by the
// other; drives given explicitly by both must agree.
void EmbeddedPlatform::reconcileDrives(const nlohmann::json& document, PlatformSettings settings) {
    bool drivesGiven = document.contains("settings") && document.at("settings").contains("drives");
    bool filesGiven = document.contains("files");
    auto& files = *parts_->files;
    for (char letter : settings.drives) {
        if (files.hasDrive(letter)) continue;
        if (filesGiven) {
            throw LoadError(std::string("settings.drives: drive ") + letter +
                            ": is not among the drives of \"files\"");
        }
        files.addDrive(letter);
    }
    std::string actual;
    for (char letter : files.drives()) actual += letter;
    if (actual == settings.drives) return;
    for (char letter : actual) {
        if (drivesGiven && settings.drives.find(letter) == std::string::npos) {
            throw LoadError(std::string("settings.drives: drive ") + letter +
                            ": of \"files\" is missing");
        }
    }
    settings.drives = actual;
    if (auto problem = findSettingsProblem(settings)) {
        throw LoadError("settings." + problem->field + ": " + problem->message);
    }
    store_->saveSettings(settings);
}

}  // namespace tarnwick::platform::embedded
