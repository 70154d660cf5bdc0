#include "cli/win32/site_program.h"

#include <windows.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>

#include "automation/text.h"
#include "cli/bulk_create.h"
#include "cli/log_command.h"
#include "cli/operation_check.h"
#include "cli/site_check.h"
#include "cli/site_listing.h"
#include "cli/site_options.h"
#include "cli/win32/platform_export.h"
#include "component/control.h"
#include "component/error_page.h"
#include "component/site_rules.h"
#include "platform/win32/com_values.h"
#include "platform/win32/create_object.h"
#include "platform/win32/dispatch_object.h"
#include "platform/win32/services.h"
#include "toolkit/steps.h"

namespace tarnwick::cli::win32 {

using automation::Variant;

namespace {

constexpr int kUsageError = 64;  // EX_USAGE
constexpr int kNotAdministrator = 2;
// The metabase of this computer, whatever its name.
constexpr std::string_view kWebService = "IIS://localhost/W3SVC";

// The page objects of a console run: the response is kept to be read after
// the operation, the session and application live as long as the run.
class Values {
public:
    Variant value(std::string_view key) {
        auto found = values_.find(automation::toLowerAscii(key));
        return found == values_.end() ? Variant() : found->second;
    }
    void setValue(std::string_view key, const Variant& value) {
        values_[automation::toLowerAscii(key)] = value;
    }

private:
    std::map<std::string, Variant> values_;
};

class ConsoleApplication final : public platform::Application {
public:
    Variant value(std::string_view key) override { return values_.value(key); }
    void setValue(std::string_view key, const Variant& value) override {
        values_.setValue(key, value);
    }

private:
    Values values_;
};

class ConsoleSession final : public platform::Session {
public:
    Variant value(std::string_view key) override { return values_.value(key); }
    void setValue(std::string_view key, const Variant& value) override {
        values_.setValue(key, value);
    }
    std::string sessionId() override { return "1"; }

private:
    Values values_;
};

// LOCAL_ADDR is the address given with --ip; no other variable is known.
class ConsoleRequest final : public platform::Request {
public:
    explicit ConsoleRequest(std::string localAddress) : localAddress_(std::move(localAddress)) {}
    Variant serverVariable(std::string_view name) override {
        if (automation::equalsIgnoreCase(name, "LOCAL_ADDR") && !localAddress_.empty()) {
            return Variant(localAddress_);
        }
        return {};
    }

private:
    std::string localAddress_;
};

class ConsoleResponse final : public platform::Response {
public:
    std::string body;
    bool ended = false;
    void write(const Variant& text) override {
        if (!ended) body += automation::concatText(text);
    }
    void end() override { ended = true; }
    void redirect(std::string_view) override { ended = true; }
};

class ConsoleServer final : public platform::Server {
public:
    ConsoleServer(std::map<std::string, std::string> progIdMap, std::string masterSite)
        : progIdMap_(std::move(progIdMap)), masterSite_(std::move(masterSite)) {}

    automation::ObjectRef createObject(std::string_view requested) override {
        auto mapped = progIdMap_.find(automation::toLowerAscii(requested));
        auto object = platform::win32::createInProcessObject(
            mapped == progIdMap_.end() ? requested : std::string_view(mapped->second));
        return platform::win32::adapt(object.get());
    }

    // A virtual path of the master control site, in its folder.
    std::string mapPath(std::string_view path) override {
        if (masterSite_.empty()) automation::raise(automation::errors::kPathNotFound);
        auto relative = automation::replaceAll(std::string(path), "/", "\\");
        while (!relative.empty() && relative.front() == '\\') relative.erase(0, 1);
        auto folder = masterSite_;
        while (folder.size() > 3 && folder.back() == '\\') folder.pop_back();
        if (relative.empty()) return folder;
        return folder + (folder.ends_with('\\') ? "" : "\\") + relative;
    }

private:
    std::map<std::string, std::string> progIdMap_;
    std::string masterSite_;
};

class ConsoleContext final : public platform::ScriptingContext {
public:
    ConsoleContext(std::shared_ptr<platform::Request> request,
                   std::shared_ptr<platform::Server> server)
        : request_(std::move(request)), server_(std::move(server)) {}
    std::shared_ptr<platform::Application> application() override { return application_; }
    std::shared_ptr<platform::Request> request() override { return request_; }
    std::shared_ptr<platform::Response> response() override { return response_; }
    std::shared_ptr<platform::Server> server() override { return server_; }
    std::shared_ptr<platform::Session> session() override { return session_; }
    ConsoleResponse& consoleResponse() { return *response_; }

private:
    std::shared_ptr<ConsoleApplication> application_ = std::make_shared<ConsoleApplication>();
    std::shared_ptr<platform::Request> request_;
    std::shared_ptr<ConsoleResponse> response_ = std::make_shared<ConsoleResponse>();
    std::shared_ptr<platform::Server> server_;
    std::shared_ptr<ConsoleSession> session_ = std::make_shared<ConsoleSession>();
};

// The platform of this run: the real Windows services, the ProgID map, and
// what is found once (the server's IIS version, the master control site).
struct Machine {
    platform::Services services = platform::win32::makeServices();
    ProgramSettings settings;

    automation::ObjectRef bind(const std::string& path) { return services.directory->bind(path); }

    // "2003" when the metabase has application pools (IIS 6), else "2000".
    std::string system() {
        if (!system_) {
            try {
                bind(std::string(kWebService) + "/AppPools");
                system_ = "2003";
            } catch (const automation::AutomationError&) {
                system_ = "2000";
            }
        }
        return *system_;
    }

private:
    std::optional<std::string> system_;
};

// The sites of this server's web service.
std::vector<SiteRow> sitesOf(Machine& machine) {
    return readSites(*machine.services.directory, std::string(kWebService));
}

// The master control site's folder: the lowest-numbered site whose root
// folder holds the Template folder that new sites are seeded from.
std::string findMasterSite(Machine& machine) {
    for (const auto& row : sitesOf(machine)) {
        if (row.folder.empty()) continue;
        auto attributes =
            GetFileAttributesW(platform::win32::toWide(row.folder + "\\Template").c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
            return row.folder;
        }
    }
    return "";
}

// The outcome of one operation: its result, or the message of the error page
// or of the automation error that stopped it.
struct Outcome {
    Variant result;
    std::string message;
    bool failed() const { return !message.empty(); }
};

// Runs `operation` on a fresh Control between OnStartPage and OnEndPage, as a
// page of the master control site runs it.
// The Windows user that runs the command: the operation records and the
// activity log name it as the actor of what the command does.
std::string commandUser() {
    wchar_t name[257];  // UNLEN + 1
    DWORD size = 257;
    if (!GetUserNameW(name, &size) || size == 0) return "";
    return platform::win32::toUtf8(std::wstring(name, size - 1));
}

Outcome runOperation(Machine& machine, const SiteOptions& options,
                     const std::function<Variant(component::Control&)>& operation) {
    auto server = std::make_shared<ConsoleServer>(machine.settings.progIdMap, options.masterSite);
    auto context = std::make_shared<ConsoleContext>(
        std::make_shared<ConsoleRequest>(options.localAddress), server);
    component::Control control(machine.services);
    control.setCommandUser(commandUser());
    Outcome outcome;
    try {
        control.OnStartPage(context);
        control.putSystem(Variant(machine.system()));
        control.putShowIP(Variant(options.showIp));
        outcome.result = operation(control);
        control.OnEndPage();
    } catch (const automation::AutomationError& error) {
        char hex[16];
        std::snprintf(hex, sizeof hex, "%08lX",
                      static_cast<unsigned long>(automation::hresultOf(error.number())));
        outcome.message = error.description() + " (" + hex + ")";
    }
    if (auto message = component::errorPageMessage(context->consoleResponse().body)) {
        outcome.message = *message;
    }
    return outcome;
}

// Runs one operation and prints the message of a failure on standard error.
int runCommand(Machine& machine, const SiteOptions& options,
               const std::function<Variant(component::Control&)>& operation) {
    auto outcome = runOperation(machine, options, operation);
    if (!outcome.failed()) return 0;
    std::cerr << "tarnwick: " << outcome.message << std::endl;
    return 1;
}

// A number given on the command line goes to the component as a number,
// anything else as text (the component decides what it makes of it).
Variant numberOrText(const std::string& value) {
    if (auto number = automation::parseNumber(value)) {
        if (*number == static_cast<int32_t>(*number)) return Variant(static_cast<int32_t>(*number));
        return Variant(*number);
    }
    return Variant(value);
}

Creation createSite(Machine& machine, const SiteOptions& options) {
    Variant pool = machine.system() == "2003"
                       ? Variant(options.pool.empty() ? "Tarn_" + options.user : options.pool)
                       : numberOrText(options.cpu);
    auto outcome = runOperation(machine, options, [&](component::Control& control) {
        return control.CreateSite(Variant(options.user), Variant(options.path),
                                  Variant(options.domain), numberOrText(options.connections),
                                  numberOrText(options.bandwidth), pool, Variant(options.docs));
    });
    if (outcome.failed()) return {false, outcome.message};
    if (outcome.result.type() != automation::VarType::String) {
        return {false, "the site was not created (folder " + options.path + " could not be made)"};
    }
    auto value = automation::toText(outcome.result);
    auto colon = value.find(':');
    return {true, "Created site " + value.substr(0, colon) + " for " + options.domain +
                      (value.ends_with(":True") ? ", started" : ", not started")};
}

// Creates a site for every line of a CSV file; see createFromCsv. A line
// that asks for --show-ip needs the address given with --ip.
int createFromFile(Machine& machine, const SiteOptions& defaults, const std::string& file) {
    std::ifstream in(platform::win32::toWide(file).c_str(), std::ios::binary);
    if (!in) {
        std::cerr << "tarnwick: cannot read " << file << std::endl;
        return 1;
    }
    std::string content{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    return createFromCsv(file, content, defaults, [&](const SiteOptions& options) {
        if (options.showIp && options.localAddress.empty()) {
            return Creation{false, "show-ip needs the server's address: give --ip"};
        }
        return createSite(machine, options);
    });
}

// Whether the user runs with the rights of the local Administrators group.
bool isAdministrator() {
    SID_IDENTIFIER_AUTHORITY authority = SECURITY_NT_AUTHORITY;
    PSID administrators = nullptr;
    if (!AllocateAndInitializeSid(&authority, 2, SECURITY_BUILTIN_DOMAIN_RID,
                                  DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0, &administrators)) {
        return false;
    }
    std::unique_ptr<void, decltype(&FreeSid)> owned(administrators, &FreeSid);
    BOOL member = FALSE;
    return CheckTokenMembership(nullptr, administrators, &member) && member;
}

// A command line the program refuses; exit code 64.
class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The user lacks administrator rights; exit code 2.
class NotAdministrator : public std::runtime_error {
public:
    NotAdministrator()
        : std::runtime_error(
              "the site commands need administrator rights: run tarnwick.exe from an "
              "administrator's command prompt") {}
};

// Whether the command given is `list` or `show` with --json.
bool asksForJson(CLI::App& site) {
    for (auto* command : site.get_subcommands()) {
        auto* json = command->get_option_no_throw("--json");
        if (json && json->count() > 0 && json->as<bool>()) return true;
    }
    return false;
}

// This server as `check` reads it. Like the site commands it needs
// administrator rights; its repairs run through Control, each member on a
// console page of its own, and the computer's name is Control's Computer().
CheckTarget checkTarget(Machine& machine, bool json) {
    if (machine.settings.outputForm) machine.settings.outputForm(json);
    if (machine.settings.assumeNotAdministrator || !isAdministrator()) throw NotAdministrator();
    CheckTarget target;
    target.directory = machine.services.directory;
    target.webService = std::string(kWebService);
    auto computer =
        runOperation(machine, {}, [](component::Control& control) { return control.Computer(); });
    if (computer.failed()) throw std::runtime_error("the computer's name: " + computer.message);
    target.computer = automation::toText(computer.result);
    auto server = std::make_shared<ConsoleServer>(machine.settings.progIdMap, "");
    target.fileSystem = [server] { return server->createObject("Scripting.FileSystemObject"); };
    target.call = [&machine](std::string_view member, std::vector<Variant> args) {
        SiteOptions options;
        options.masterSite = findMasterSite(machine);
        auto outcome = runOperation(machine, options, [&](component::Control& control) {
            if (member == "DeleteSite") return Variant(control.DeleteSite(args.at(0), args.at(1)));
            if (member == "DeleteNtUser") return control.DeleteNtUser(args.at(0));
            throw std::invalid_argument("check runs no member " + std::string(member));
        });
        return MemberOutcome{outcome.result, outcome.message};
    };
    target.withControl = [&machine](const std::function<void(component::Control&)>& work) {
        SiteOptions page;
        page.masterSite = findMasterSite(machine);
        // An error page (a repair that failed) is the repair's to report; an
        // error that escapes the work ends the check.
        std::optional<std::string> escaped;
        runOperation(machine, page, [&](component::Control& control) {
            try {
                work(control);
            } catch (const automation::AutomationError& error) {
                escaped = error.description();
            }
            return Variant();
        });
        if (escaped) throw std::runtime_error(*escaped);
    };
    return target;
}

void addCommands(CLI::App& app, Machine& machine, int& exitCode) {
    addCheckCommand(
        app, [m = &machine](bool json) { return checkTarget(*m, json); }, exitCode);
    auto* site = app.add_subcommand("site", "Manage the hosted sites of this server's IIS");
    site->require_subcommand(1);
    auto options = std::make_shared<SiteOptions>();
    auto* m = &machine;
    // Every site command works on the metabase, the accounts and the folders:
    // without administrator rights it is refused before it reads anything.
    site->parse_complete_callback([m, site] {
        if (m->settings.outputForm) m->settings.outputForm(asksForJson(*site));
        if (m->settings.assumeNotAdministrator || !isAdministrator()) throw NotAdministrator();
    });

    addListingCommands(
        *site, options, [m] { return sitesOf(*m); }, exitCode);

    // The server's address for --show-ip, and the master control site.
    auto addPage = [&](CLI::App* command, bool bindsAddress) {
        if (bindsAddress) {
            command->add_flag("--show-ip", options->showIp,
                              "Bind to the server's address (--ip) as well as the host name");
            command->add_option("--ip", options->localAddress,
                                "The server's address that --show-ip binds (LOCAL_ADDR)");
        }
        command->add_option("--master-site", options->masterSite,
                            "Folder of the master control site (holds Template); found from "
                            "the metabase when not given");
    };
    // The folder of the master control site, given or found; refused when
    // neither. An --show-ip without --ip is refused too.
    auto prepare = [m, options] {
        if (options->showIp && options->localAddress.empty()) {
            throw UsageError("--show-ip needs the server's address: give --ip");
        }
        if (options->masterSite.empty()) options->masterSite = findMasterSite(*m);
        if (options->masterSite.empty()) {
            throw UsageError(
                "the master control site is not found (no site's folder holds Template): "
                "give --master-site");
        }
    };

    auto* create =
        site->add_subcommand("create", "Create a hosted site with its account and folder");
    const auto createOptions = addCreateOptions(*create, *options);
    addPage(create, true);
    create->callback([m, options, createOptions, prepare, &exitCode] {
        const auto& from = createOptions.from;
        if (from->empty()) createOptions.requireSiteOptions();
        prepare();
        if (!from->empty()) {
            exitCode = createFromFile(*m, *options, *from);
            return;
        }
        auto creation = createSite(*m, *options);
        if (creation.created) {
            std::cout << creation.text << std::endl;
        } else {
            std::cerr << "tarnwick: " << creation.text << std::endl;
            exitCode = 1;
        }
    });

    auto* modify =
        site->add_subcommand("modify", "Change a site's host name, limits and documents");
    addModifyOptions(*modify, *options);
    addPage(modify, true);
    modify->callback([m, options, prepare, &exitCode] {
        prepare();
        exitCode = runCommand(*m, *options, [&](component::Control& control) {
            return Variant(control.ModifySite(
                numberOrText(options->siteNumber), Variant(options->domain),
                numberOrText(options->bandwidth), numberOrText(options->connections),
                Variant(options->docs), Variant(options->user)));
        });
        if (exitCode == 0) std::cout << "Changed site " << options->siteNumber << std::endl;
    });

    for (const char* verb : {"start", "stop"}) {
        bool start = std::string(verb) == "start";
        auto* command = site->add_subcommand(verb, start ? "Start a site" : "Stop a site");
        command->add_option("site", options->siteNumber, "Site number")->required();
        command->callback([m, options, &exitCode, start] {
            exitCode = runCommand(*m, *options, [&](component::Control& control) {
                return Variant(
                    control.SiteStatus(numberOrText(options->siteNumber), Variant(start)));
            });
            if (exitCode == 0) {
                std::cout << (start ? "Started" : "Stopped") << " site " << options->siteNumber
                          << std::endl;
            }
        });
    }

    auto* docs = site->add_subcommand("docs", "Set a site's default documents");
    docs->add_option("site", options->siteNumber, "Site number")->required();
    docs->add_option("documents", options->docs, "Default documents, comma separated")->required();
    docs->callback([m, options, &exitCode] {
        auto outcome = runOperation(*m, *options, [&](component::Control& control) {
            Variant number = numberOrText(options->siteNumber);
            Variant documentList(options->docs);
            return Variant(control.DefaultDoc(number, documentList));
        });
        if (outcome.failed()) {
            std::cerr << "tarnwick: " << outcome.message << std::endl;
            exitCode = 1;
        } else if (!automation::toBoolean(outcome.result)) {
            std::cerr << "tarnwick: the default documents of site " << options->siteNumber
                      << " were not stored" << std::endl;
            exitCode = 1;
        } else {
            std::cout << "Site " << options->siteNumber << " serves " << options->docs << std::endl;
        }
    });

    auto* remove = site->add_subcommand("delete", "Delete a site, its account and its folder");
    remove->add_option("site", options->siteNumber, "Site number")->required();
    remove->add_option("--path", options->path, "The site's folder, removed with its content")
        ->required();
    addPage(remove, false);
    remove->callback([m, options, prepare, &exitCode] {
        prepare();
        exitCode = runCommand(*m, *options, [&](component::Control& control) {
            return Variant(
                control.DeleteSite(numberOrText(options->siteNumber), Variant(options->path)));
        });
        if (exitCode == 0) std::cout << "Deleted site " << options->siteNumber << std::endl;
    });

    // The activity log, read through the server's FileSystemObject. The log
    // folder is the administrators'.
    auto administratorsOnly = [m](CLI::App* command) {
        command->parse_complete_callback([m, command] {
            if (m->settings.outputForm) m->settings.outputForm(command->count("--json") > 0);
            if (m->settings.assumeNotAdministrator || !isAdministrator()) throw NotAdministrator();
        });
    };
    addLogCommand(
        app,
        [m] {
            ConsoleServer server(m->settings.progIdMap, "");
            component::LogFolder logs(server.createObject("Scripting.FileSystemObject"));
            return logFilesIn(logs);
        },
        exitCode);
    administratorsOnly(app.get_subcommand("log"));
}

}  // namespace

int runSiteProgram(const std::vector<std::string>& args, const ProgramSettings& settings) {
    CLI::App app("tarnwick: the hosted sites of this server, through Tarnwick's Control");
    app.require_subcommand(1);
    Machine machine;
    machine.settings = settings;
    int exitCode = 0;
    addCommands(app, machine, exitCode);
    addPlatformCommands(
        app, settings,
        [&settings] {
            if (settings.assumeNotAdministrator || !isAdministrator()) throw NotAdministrator();
        },
        exitCode);
    // CLI11 takes the arguments last first.
    std::vector<std::string> reversed(args.rbegin(), args.rend());
    try {
        app.parse(reversed);
    } catch (const CLI::ParseError& error) {
        int code = app.exit(error);
        return code == static_cast<int>(CLI::ExitCodes::Success) ? code : kUsageError;
    } catch (const NotAdministrator& error) {
        std::cerr << "tarnwick: " << error.what() << std::endl;
        return kNotAdministrator;
    } catch (const UsageError& error) {
        std::cerr << "tarnwick: " << error.what() << std::endl;
        return kUsageError;
    } catch (const automation::AutomationError& error) {
        std::cerr << "tarnwick: " << error.description() << std::endl;
        return 1;
    } catch (const std::exception& error) {
        std::cerr << "tarnwick: " << error.what() << std::endl;
        return 1;
    }
    return exitCode;
}

}  // namespace tarnwick::cli::win32
