// The tarnwick command: runs the hosting panel's component on the embedded
// Windows platform.
#include <CLI/CLI.hpp>
#include <cctype>
#include <fstream>
#include <iostream>
#include <iterator>

#include "cli/page_runner.h"
#include "cli/setup_command.h"
#include "cli/site_commands.h"
#include "platform/embedded/embedded_platform.h"
#include "platform/embedded/settings_check.h"

namespace {

namespace embedded = tarnwick::platform::embedded;
using nlohmann::json;

int fail(const std::string& message, int code = 1) {
    std::cerr << "tarnwick: " << message << "\n";
    return code;
}

std::string readAll(std::istream& in) {
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Reads standard input, or the named file.
std::optional<std::string> readInput(const std::string& file) {
    if (file.empty() || file == "-") return readAll(std::cin);
    std::ifstream in(file, std::ios::binary);
    if (!in) return std::nullopt;
    return readAll(in);
}

// The option of `platform init` that sets a settings field.
std::string initOptionOf(const std::string& field) {
    if (field == "computer") return "--computer";
    if (field == "iis") return "--iis";
    if (field == "code_page") return "--code-page";
    if (field == "drives") return "--drives";
    return "--master-site";
}

void printJson(const json& document) {
    std::cout << document.dump(2, ' ', false, json::error_handler_t::replace) << "\n";
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{
        "tarnwick runs the Tarnwick hosting control panel on its embedded Windows platform.\n"
        "The platform's state lives in a folder: --state, else $TARNWICK_STATE, else\n"
        "$XDG_STATE_HOME/tarnwick, else ~/.local/state/tarnwick; it is created on first use."};
    app.require_subcommand(1);
    std::string stateFolder;
    app.add_option("--state", stateFolder, "Folder of the embedded platform's state");
    auto folder = [&stateFolder] {
        return stateFolder.empty() ? embedded::Store::defaultFolder()
                                   : std::filesystem::path(stateFolder);
    };

    auto* page = app.add_subcommand(
        "page",
        "Run one ASP page given as JSON on standard input (or --input) and print the result as "
        "JSON. Exit code 0 when the page ran, whatever the component reported.");
    std::string inputFile;
    page->add_option("--input", inputFile,
                     "Read the page from this file instead of standard input");

    auto* platform = app.add_subcommand("platform", "Manage the embedded platform's state");
    platform->require_subcommand(1);
    auto* init = platform->add_subcommand(
        "init",
        "Make a fresh embedded platform: the default web site, the built-in accounts, "
        "the drives and the master control site's templates");
    embedded::PlatformSettings settings;
    bool replace = false;
    init->add_option("--computer", settings.computerName, "The computer's name")->required();
    init->add_option("--iis", settings.iisVersion,
                     "IIS version: 5 (Windows 2000) or 6 (Windows 2003)")
        ->check(CLI::IsMember({5, 6}))
        ->capture_default_str();
    init->add_option("--code-page", settings.codePage, "ANSI code page of the system")
        ->capture_default_str();
    init->add_option("--drives", settings.drives, "Drive letters of the machine")
        ->capture_default_str();
    init->add_option("--master-site", settings.masterSiteRoot,
                     "Folder of the master control site (its Template folder seeds new sites)")
        ->capture_default_str();
    init->add_flag("--force", replace, "Replace an existing platform in the folder");

    auto* dump = platform->add_subcommand(
        "dump",
        "Print the whole platform state as JSON: settings, metabase, accounts, files with "
        "their DACLs, sessions and faults");
    auto* load = platform->add_subcommand(
        "load",
        "Replace the platform state with a JSON document (standard input or --input); all "
        "or nothing: a document with an error changes nothing");
    std::string loadFile;
    load->add_option("--input", loadFile, "Read the document from this file");

    int exitCode = 0;
    tarnwick::cli::addSiteCommands(app, folder, exitCode);
    tarnwick::cli::addSetupCommand(app, folder, exitCode);

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        return app.exit(error);
    }

    try {
        if (*init) {
            for (auto& letter : settings.drives) {
                letter = static_cast<char>(std::toupper(static_cast<unsigned char>(letter)));
            }
            if (auto problem = embedded::findSettingsProblem(settings)) {
                return fail(initOptionOf(problem->field) + " " + problem->message);
            }
            embedded::EmbeddedPlatform::initialize(folder(), settings, replace);
            std::cout << "Initialized an embedded platform for computer " << settings.computerName
                      << " (IIS " << settings.iisVersion << ") in " << folder().string() << "\n";
        } else if (*dump) {
            printJson(embedded::EmbeddedPlatform::open(folder())->dump());
        } else if (*load) {
            auto text = readInput(loadFile);
            if (!text) return fail("cannot read " + loadFile);
            json document;
            try {
                document = json::parse(*text);
            } catch (const json::exception& error) {
                return fail(std::string("the state document is not valid JSON: ") + error.what());
            }
            embedded::EmbeddedPlatform::open(folder())->load(document);
            std::cout << "Loaded the platform state into " << folder().string() << "\n";
        } else if (*page) {
            auto text = readInput(inputFile);
            if (!text) return fail("cannot read " + inputFile);
            json document;
            try {
                document = json::parse(*text);
            } catch (const json::exception& error) {
                return fail(std::string("the page is not valid JSON: ") + error.what());
            }
            auto embeddedPlatform = embedded::EmbeddedPlatform::open(folder());
            printJson(tarnwick::cli::runPage(*embeddedPlatform, document));
        }
    } catch (const tarnwick::cli::PageError& error) {
        return fail(error.what());
    } catch (const embedded::LoadError& error) {
        return fail(error.what());
    } catch (const embedded::StoreError& error) {
        return fail(error.what(), 2);
    } catch (const std::filesystem::filesystem_error& error) {
        return fail(error.what(), 2);
    } catch (const std::exception& error) {
        // Nothing else is expected here; still one line and a failing exit, never an abort.
        return fail(error.what(), 2);
    }
    return exitCode;
}
