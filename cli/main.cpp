// The tarnwick command: runs the hosting panel's component on the embedded
// Windows platform.
#include <CLI/CLI.hpp>
#include <cctype>
#include <iostream>

#include "cli/documents.h"
#include "cli/log_command.h"
#include "cli/metabase_import.h"
#include "cli/page_runner.h"
#include "cli/setup_command.h"
#include "cli/site_commands.h"
#include "cli/state_diff.h"
#include "platform/embedded/embedded_platform.h"
#include "platform/embedded/settings_check.h"

namespace {

namespace embedded = tarnwick::platform::embedded;
using nlohmann::json;
using tarnwick::cli::DocumentError;
using tarnwick::cli::parseDocument;
using tarnwick::cli::readInput;

// The exit code of a command line that cannot be parsed (EX_USAGE).
constexpr int kUsageError = 64;

int fail(const std::string& message, int code = 1) {
    std::cerr << "tarnwick: " << message << "\n";
    return code;
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
        "$XDG_STATE_HOME/tarnwick, else ~/.local/state/tarnwick; it is created on first use,\n"
        "readable by its owner only."};
    app.footer(
        "Exit codes: 0 done; 1 refused (the component's error page, a page or state document "
        "that cannot be used); 2 the platform's state cannot be used; 64 a wrong command line.");
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
    tarnwick::cli::addPlatformDiffCommand(*platform, exitCode);
    tarnwick::cli::addPlatformImportCommand(*platform, folder, exitCode);
    tarnwick::cli::addLogCommand(
        app,
        [&folder] {
            auto opened = embedded::EmbeddedPlatform::open(folder());
            tarnwick::component::LogFolder logs(opened->objects()("Scripting.FileSystemObject"));
            return tarnwick::cli::logFilesIn(logs);
        },
        exitCode);
    tarnwick::cli::addCheckCommand(app, folder, exitCode);

    try {
        // The site and setup commands run inside the parse, as its callbacks.
        app.parse(argc, argv);
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
            auto document = parseDocument(*text, "the state document");
            embedded::EmbeddedPlatform::open(folder())->load(document);
            std::cout << "Loaded the platform state into " << folder().string() << "\n";
        } else if (*page) {
            auto text = readInput(inputFile);
            if (!text) return fail("cannot read " + inputFile);
            auto document = parseDocument(*text, "the page");
            auto embeddedPlatform = embedded::EmbeddedPlatform::open(folder());
            printJson(tarnwick::cli::runPage(*embeddedPlatform, document));
        }
    } catch (const CLI::ParseError& error) {
        // Help and version end the command as done; any other is a wrong command line.
        int code = app.exit(error);
        return code == static_cast<int>(CLI::ExitCodes::Success) ? code : kUsageError;
    } catch (const DocumentError& error) {
        return fail(error.what());
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
