#include "cli/site_commands.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iomanip>
#include <iostream>
#include <iterator>
#include <optional>
#include <sstream>

#include "automation/text.h"
#include "automation/variant_json.h"
#include "cli/bulk_create.h"
#include "cli/page_runner.h"
#include "cli/site_check.h"
#include "cli/site_listing.h"
#include "cli/site_options.h"
#include "component/error_page.h"
#include "component/site_rules.h"
#include "platform/embedded/embedded_platform.h"
#include "toolkit/steps.h"

namespace tarnwick::cli {

using automation::Variant;
using nlohmann::json;
namespace embedded = platform::embedded;

namespace {

// The sites of the platform's web service.
std::vector<SiteRow> sitesOf(embedded::EmbeddedPlatform& platform) {
    return readSites(*platform.services().directory,
                     "IIS://" + platform.store().settings().computerName + "/W3SVC");
}

// Creates a site for every line of a CSV file; see createFromCsv.
int createFromFile(embedded::EmbeddedPlatform& platform, const SiteOptions& defaults,
                   const std::string& file);

// The outcome of a page with a single operation: its result document, and
// the message to show when the component showed its error page or the call
// failed.
struct Outcome {
    json result;
    int exitCode = 0;
    std::string message;
};

Outcome runOperation(embedded::EmbeddedPlatform& platform, const SiteOptions& options,
                     json operation) {
    json page = {{"server_variables", {{"LOCAL_ADDR", options.localAddress}}},
                 {"calls",
                  {{{"put", "System"},
                    {"value", platform.store().settings().iisVersion == 6 ? "2003" : "2000"}},
                   {{"put", "ShowIP"}, {"value", options.showIp}},
                   std::move(operation)}}};
    Outcome outcome;
    outcome.result = runPage(platform, page, commandUserName());
    const auto& results = outcome.result["results"];
    std::string body = outcome.result["response"]["body"];
    if (auto message = component::errorPageMessage(body)) {
        outcome.message = *message;
    } else if (results.size() < 3) {
        outcome.message = "the operation did not run";
    } else if (results[2].contains("error")) {
        outcome.message = results[2]["error"]["description"].get<std::string>() + " (" +
                          results[2]["error"]["hex"].get<std::string>() + ")";
    }
    if (!outcome.message.empty()) outcome.exitCode = 1;
    return outcome;
}

// Runs one operation and prints the message of a failure on standard error.
Outcome runCommand(embedded::EmbeddedPlatform& platform, const SiteOptions& options,
                   json operation) {
    auto outcome = runOperation(platform, options, std::move(operation));
    if (outcome.exitCode != 0) std::cerr << "tarnwick: " << outcome.message << "\n";
    return outcome;
}

const json& resultOf(const Outcome& outcome) { return outcome.result["results"][2]; }

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

Creation createSite(embedded::EmbeddedPlatform& platform, const SiteOptions& options) {
    json pool = platform.store().settings().iisVersion == 6
                    ? json(options.pool.empty() ? "Tarn_" + options.user : options.pool)
                    : numberOrText(options.cpu);
    auto outcome =
        runOperation(platform, options,
                     call("CreateSite", {options.user, options.path, options.domain,
                                         numberOrText(options.connections),
                                         numberOrText(options.bandwidth), pool, options.docs}));
    if (outcome.exitCode != 0) return {false, outcome.message};
    const auto& result = resultOf(outcome);
    if (result["type"] != "String") {
        return {false, "the site was not created (folder " + options.path + " could not be made)"};
    }
    auto value = result["value"].get<std::string>();
    auto colon = value.find(':');
    return {true, "Created site " + value.substr(0, colon) + " for " + options.domain +
                      (value.ends_with(":True") ? ", started" : ", not started")};
}

int createFromFile(embedded::EmbeddedPlatform& platform, const SiteOptions& defaults,
                   const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        std::cerr << "tarnwick: cannot read " << file << "\n";
        return 1;
    }
    std::string content{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    return createFromCsv(file, content, defaults,
                         [&](const SiteOptions& options) { return createSite(platform, options); });
}

// The platform as `check` reads it; its repairs run as pages of the master
// control site, each member on a page of its own.
CheckTarget checkTargetOf(std::shared_ptr<embedded::EmbeddedPlatform> platform) {
    CheckTarget target;
    target.directory = platform->services().directory;
    target.computer = platform->store().settings().computerName;
    target.webService = "IIS://" + target.computer + "/W3SVC";
    target.fileSystem = [platform] { return platform->objects()("Scripting.FileSystemObject"); };
    target.call = [platform](std::string_view member, std::vector<Variant> args) {
        json values = json::array();
        for (const auto& arg : args) values.push_back(automation::variantToJson(arg));
        SiteOptions options;
        options.localAddress = "127.0.0.1";
        auto outcome = runOperation(*platform, options, call(member, std::move(values)));
        MemberOutcome result{Variant(), outcome.message};
        if (outcome.exitCode == 0) result.result = automation::variantFromJson(resultOf(outcome));
        return result;
    };
    target.withControl = [platform](const std::function<void(component::Control&)>& work) {
        withCommandControl(*platform, commandUserName(), work);
    };
    return target;
}

}  // namespace

void addCheckCommand(CLI::App& app, std::function<std::filesystem::path()> folder, int& exitCode) {
    addCheckCommand(
        app,
        [folder](bool) {
            return checkTargetOf(std::shared_ptr<embedded::EmbeddedPlatform>(
                embedded::EmbeddedPlatform::open(folder())));
        },
        exitCode);
}

void addSiteCommands(CLI::App& app, std::function<std::filesystem::path()> folder, int& exitCode) {
    auto* site = app.add_subcommand("site", "Manage hosted sites on the embedded platform");
    site->require_subcommand(1);
    auto options = std::make_shared<SiteOptions>();
    options->localAddress = "127.0.0.1";
    auto open = [folder] { return embedded::EmbeddedPlatform::open(folder()); };

    addListingCommands(
        *site, options, [open] { return sitesOf(*open()); }, exitCode);

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
    const auto createOptions = addCreateOptions(*create, *options);
    addLook(create);
    create->callback([open, options, createOptions, &exitCode] {
        const auto& from = createOptions.from;
        if (!from->empty()) {
            exitCode = createFromFile(*open(), *options, *from);
            return;
        }
        createOptions.requireSiteOptions();
        auto creation = createSite(*open(), *options);
        if (creation.created) {
            std::cout << creation.text << "\n";
        } else {
            std::cerr << "tarnwick: " << creation.text << "\n";
            exitCode = 1;
        }
    });

    auto* modify =
        site->add_subcommand("modify", "Change a site's host name, limits and documents");
    addModifyOptions(*modify, *options);
    addLook(modify);
    modify->callback([open, options, &exitCode] {
        auto platform = open();
        auto outcome = runCommand(
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
                runCommand(*platform, *options,
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
            runCommand(*platform, *options,
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
            runCommand(*platform, *options,
                       call("DeleteSite", {numberOrText(options->siteNumber), options->path}));
        exitCode = outcome.exitCode;
        if (exitCode == 0) std::cout << "Deleted site " << options->siteNumber << "\n";
    });
}

}  // namespace tarnwick::cli
