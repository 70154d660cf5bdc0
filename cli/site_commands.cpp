#include "cli/site_commands.h"

#include <iomanip>
#include <iostream>
#include <sstream>

#include "automation/text.h"
#include "cli/page_runner.h"
#include "component/error_page.h"
#include "platform/embedded/embedded_platform.h"
#include "toolkit/steps.h"

namespace tarnwick::cli {

using automation::Variant;
using nlohmann::json;
namespace embedded = platform::embedded;

namespace {

struct SiteOptions {
    std::string user;
    std::string path;
    std::string domain;
    std::string connections = "-1";
    std::string bandwidth = "-1";
    std::string pool;
    std::string cpu = "100";
    std::string docs = "index.htm,index.html,index.asp,default.htm,default.asp";
    bool showIp = false;
    std::string localAddress = "127.0.0.1";
    std::string siteNumber;
    std::string startOrStop;
};

// Runs one page with a single operation; prints the error page's message
// and returns 1 when the component showed one.
struct Outcome {
    json result;
    int exitCode = 0;
};

Outcome runOperation(embedded::EmbeddedPlatform& platform, const SiteOptions& options,
                     json operation) {
    json page = {{"server_variables", {{"LOCAL_ADDR", options.localAddress}}},
                 {"calls",
                  {{{"put", "System"},
                    {"value", platform.store().settings().iisVersion == 6 ? "2003" : "2000"}},
                   {{"put", "ShowIP"}, {"value", options.showIp}},
                   std::move(operation)}}};
    Outcome outcome{runPage(platform, page)};
    const auto& results = outcome.result["results"];
    std::string body = outcome.result["response"]["body"];
    if (auto message = component::errorPageMessage(body)) {
        std::cerr << "tarnwick: " << *message << "\n";
        outcome.exitCode = 1;
    } else if (results.size() < 3) {
        std::cerr << "tarnwick: the operation did not run\n";
        outcome.exitCode = 1;
    } else if (results[2].contains("error")) {
        std::cerr << "tarnwick: " << results[2]["error"]["description"].get<std::string>() << " ("
                  << results[2]["error"]["hex"].get<std::string>() << ")\n";
        outcome.exitCode = 1;
    }
    return outcome;
}

const json& resultOf(const Outcome& outcome) { return outcome.result["results"][2]; }

std::string text(automation::Dispatch& object, std::string_view property) {
    try {
        auto value = object.get(property);
        if (value.type() == automation::VarType::Array) {
            std::string joined;
            for (const auto& item : value.array()) {
                joined += (joined.empty() ? "" : " ") + automation::concatText(item);
            }
            return joined;
        }
        return automation::concatText(value);
    } catch (const automation::AutomationError&) {
        return "";
    }
}

struct SiteRow {
    std::string number, description, bindings, state, folder, anonymous, pool;
};

std::vector<SiteRow> readSites(embedded::EmbeddedPlatform& platform) {
    auto directory = platform.services().directory;
    std::string computer = platform.store().settings().computerName;
    auto service = directory->bind("IIS://" + computer + "/W3SVC");
    std::vector<SiteRow> rows;
    for (const auto& child : toolkit::childrenOf(*service)) {
        if (text(*child, "Class") != "IIsWebServer") continue;
        SiteRow row;
        row.number = text(*child, "Name");
        row.description = text(*child, "ServerComment");
        row.bindings = text(*child, "ServerBindings");
        auto state = text(*child, "ServerState");
        row.state = state == "2" ? "started" : state == "4" ? "stopped" : state;
        row.anonymous = text(*child, "AnonymousUserName");
        try {
            auto root = directory->bind("IIS://" + computer + "/W3SVC/" + row.number + "/ROOT");
            row.folder = text(*root, "Path");
            row.pool = text(*root, "AppPoolId");
        } catch (const automation::AutomationError&) {
        }
        rows.push_back(std::move(row));
    }
    std::sort(rows.begin(), rows.end(), [](const SiteRow& a, const SiteRow& b) {
        return std::stoll("0" + a.number) < std::stoll("0" + b.number);
    });
    return rows;
}

void printTable(const std::vector<SiteRow>& rows) {
    std::vector<std::array<std::string, 7>> lines = {
        {"SITE", "DESCRIPTION", "STATE", "BINDINGS", "FOLDER", "ANONYMOUS USER", "POOL"}};
    for (const auto& row : rows) {
        lines.push_back({row.number, row.description, row.state, row.bindings, row.folder,
                         row.anonymous, row.pool});
    }
    std::array<size_t, 7> widths{};
    for (const auto& line : lines) {
        for (size_t i = 0; i < line.size(); ++i) widths[i] = std::max(widths[i], line[i].size());
    }
    for (const auto& line : lines) {
        std::string out;
        for (size_t i = 0; i < line.size(); ++i) {
            out += line[i];
            if (i + 1 < line.size()) out += std::string(widths[i] - line[i].size() + 2, ' ');
        }
        while (!out.empty() && out.back() == ' ') out.pop_back();
        std::cout << out << "\n";
    }
}

void printSite(const SiteRow& row) {
    std::cout << "Site:           " << row.number << "\n"
              << "Description:    " << row.description << "\n"
              << "State:          " << row.state << "\n"
              << "Bindings:       " << row.bindings << "\n"
              << "Folder:         " << row.folder << "\n"
              << "Anonymous user: " << row.anonymous << "\n"
              << "Pool:           " << row.pool << "\n";
}

json call(std::string_view member, json args) {
    return {{"call", member}, {"args", std::move(args)}};
}

// A number given on the command line goes to the component as a number,
// anything else as text (the component decides what it makes of it).
json numberOrText(const std::string& value) {
    if (auto number = automation::parseNumber(value)) {
        if (*number == static_cast<int32_t>(*number)) return static_cast<int32_t>(*number);
        return *number;
    }
    return value;
}

}  // namespace

void addSiteCommands(CLI::App& app, std::function<std::filesystem::path()> folder, int& exitCode) {
    auto* site = app.add_subcommand("site", "Manage hosted sites on the embedded platform");
    site->require_subcommand(1);
    auto options = std::make_shared<SiteOptions>();
    auto open = [folder] { return embedded::EmbeddedPlatform::open(folder()); };

    auto* list = site->add_subcommand("list", "List the web sites with their bindings and state");
    list->callback([open] { printTable(readSites(*open())); });

    auto* show = site->add_subcommand("show", "Show one web site");
    show->add_option("site", options->siteNumber, "Site number")->required();
    show->callback([open, options, &exitCode] {
        for (const auto& row : readSites(*open())) {
            if (row.number == options->siteNumber) return printSite(row);
        }
        std::cerr << "tarnwick: there is no site " << options->siteNumber << "\n";
        exitCode = 1;
    });

    auto addLook = [&](CLI::App* command) {
        command->add_flag("--show-ip", options->showIp,
                          "Bind to the server's own address as well as the host name");
        command
            ->add_option("--local-addr", options->localAddress,
                         "The server address a request arrives on (LOCAL_ADDR)")
            ->capture_default_str();
    };

    auto* create =
        site->add_subcommand("create", "Create a hosted site with its account and folder");
    create->add_option("--user", options->user, "Customer's user name (account Tarn_<user>)")
        ->required();
    create->add_option("--path", options->path, "Site folder, e.g. D:\\Web\\bob")->required();
    create->add_option("--domain", options->domain, "Host name; www.<domain> is bound too")
        ->required();
    create->add_option("--connections", options->connections, "Connection limit, -1 for none")
        ->capture_default_str();
    create->add_option("--bandwidth", options->bandwidth, "KB/s from 0 to 1024, -1 for none")
        ->capture_default_str();
    create->add_option("--pool", options->pool, "Application pool (IIS 6); default Tarn_<user>");
    create->add_option("--cpu", options->cpu, "CPU limit in percent (IIS 5)")
        ->capture_default_str();
    create->add_option("--docs", options->docs, "Default documents, comma separated")
        ->capture_default_str();
    addLook(create);
    create->callback([open, options, &exitCode] {
        auto platform = open();
        json pool = platform->store().settings().iisVersion == 6
                        ? json(options->pool.empty() ? "Tarn_" + options->user : options->pool)
                        : numberOrText(options->cpu);
        auto outcome = runOperation(
            *platform, *options,
            call("CreateSite",
                 {options->user, options->path, options->domain, numberOrText(options->connections),
                  numberOrText(options->bandwidth), pool, options->docs}));
        exitCode = outcome.exitCode;
        if (exitCode != 0) return;
        const auto& result = resultOf(outcome);
        if (result["type"] != "String") {
            std::cerr << "tarnwick: the site was not created (folder " << options->path
                      << " could not be made)\n";
            exitCode = 1;
            return;
        }
        auto value = result["value"].get<std::string>();
        auto colon = value.find(':');
        std::cout << "Created site " << value.substr(0, colon) << " for " << options->domain
                  << (value.ends_with(":True") ? ", started" : ", not started") << "\n";
    });

    auto* modify =
        site->add_subcommand("modify", "Change a site's host name, limits and documents");
    modify->add_option("site", options->siteNumber, "Site number")->required();
    modify->add_option("--domain", options->domain, "New host name")->required();
    modify
        ->add_option("--user", options->user, "The site's user name (recognises its own bindings)")
        ->required();
    modify->add_option("--connections", options->connections, "Connection limit, -1 for none")
        ->capture_default_str();
    modify->add_option("--bandwidth", options->bandwidth, "KB/s from 0 to 1024, -1 for none")
        ->capture_default_str();
    modify->add_option("--docs", options->docs, "Default documents, comma separated")
        ->capture_default_str();
    addLook(modify);
    modify->callback([open, options, &exitCode] {
        auto platform = open();
        auto outcome = runOperation(
            *platform, *options,
            call("ModifySite", {numberOrText(options->siteNumber), options->domain,
                                numberOrText(options->bandwidth),
                                numberOrText(options->connections), options->docs, options->user}));
        exitCode = outcome.exitCode;
        if (exitCode == 0) std::cout << "Changed site " << options->siteNumber << "\n";
    });

    for (const char* verb : {"start", "stop"}) {
        auto* command = site->add_subcommand(
            verb, std::string(verb == std::string("start") ? "Start" : "Stop") + " a site");
        command->add_option("site", options->siteNumber, "Site number")->required();
        command->callback([open, options, &exitCode, verb] {
            auto platform = open();
            bool start = std::string(verb) == "start";
            auto outcome =
                runOperation(*platform, *options,
                             call("SiteStatus", {numberOrText(options->siteNumber), start}));
            exitCode = outcome.exitCode;
            if (exitCode == 0) {
                std::cout << (start ? "Started" : "Stopped") << " site " << options->siteNumber
                          << "\n";
            }
        });
    }

    auto* docs = site->add_subcommand("docs", "Set a site's default documents");
    docs->add_option("site", options->siteNumber, "Site number")->required();
    docs->add_option("documents", options->docs, "Default documents, comma separated")->required();
    docs->callback([open, options, &exitCode] {
        auto platform = open();
        auto outcome =
            runOperation(*platform, *options,
                         call("DefaultDoc", {numberOrText(options->siteNumber), options->docs}));
        exitCode = outcome.exitCode;
        if (exitCode != 0) return;
        if (resultOf(outcome)["value"] != true) {
            std::cerr << "tarnwick: the default documents of site " << options->siteNumber
                      << " were not stored\n";
            exitCode = 1;
            return;
        }
        std::cout << "Site " << options->siteNumber << " serves " << options->docs << "\n";
    });

    auto* remove = site->add_subcommand("delete", "Delete a site, its account and its folder");
    remove->add_option("site", options->siteNumber, "Site number")->required();
    remove->add_option("--path", options->path, "The site's folder, removed with its content")
        ->required();
    remove->callback([open, options, &exitCode] {
        auto platform = open();
        auto outcome =
            runOperation(*platform, *options,
                         call("DeleteSite", {numberOrText(options->siteNumber), options->path}));
        exitCode = outcome.exitCode;
        if (exitCode == 0) std::cout << "Deleted site " << options->siteNumber << "\n";
    });
}

}  // namespace tarnwick::cli
