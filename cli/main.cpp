// The tarnwick command: runs the hosting panel's component on the embedded
// Windows platform.
#include <CLI/CLI.hpp>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>

#include "cli/page_runner.h"
#include "platform/embedded/store.h"

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

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{
        "tarnwick runs the Tarnwick hosting control panel on its embedded Windows platform.\n"
        "The platform's state lives in a folder: --state, else $TARNWICK_STATE, else\n"
        "$XDG_STATE_HOME/tarnwick, else ~/.local/state/tarnwick; it is created on first use."};
    app.require_subcommand(1);
    std::string stateFolder;
    app.add_option("--state", stateFolder, "Folder of the embedded platform's state");

    auto* page = app.add_subcommand(
        "page",
        "Run one ASP page given as JSON on standard input (or --input) and print the result as "
        "JSON. Exit code 0 when the page ran, whatever the component reported.");
    std::string inputFile;
    page->add_option("--input", inputFile, "Read the page from this file instead of standard input");

    auto* platform = app.add_subcommand("platform", "Manage the embedded platform's state");
    platform->require_subcommand(1);
    auto* init = platform->add_subcommand("init", "Make a fresh embedded platform");
    embedded::PlatformSettings settings;
    bool replace = false;
    init->add_option("--computer", settings.computerName, "The computer's name")->required();
    init->add_option("--iis", settings.iisVersion, "IIS version: 5 (Windows 2000) or 6 (Windows 2003)")
        ->check(CLI::IsMember({5, 6}))
        ->capture_default_str();
    init->add_option("--code-page", settings.codePage, "ANSI code page of the system")
        ->capture_default_str();
    init->add_flag("--force", replace, "Replace an existing platform in the folder");

    CLI11_PARSE(app, argc, argv);

    std::filesystem::path folder =
        stateFolder.empty() ? embedded::Store::defaultFolder() : std::filesystem::path(stateFolder);
    try {
        if (*init) {
            if (settings.computerName.empty()) return fail("--computer must not be empty");
            embedded::Store::initialize(folder, settings, replace);
            std::cout << "Initialized an embedded platform for computer " << settings.computerName
                      << " (IIS " << settings.iisVersion << ") in " << folder.string() << "\n";
            return 0;
        }
        if (*page) {
            std::string text;
            if (inputFile.empty()) {
                text = readAll(std::cin);
            } else {
                std::ifstream in(inputFile, std::ios::binary);
                if (!in) return fail("cannot read " + inputFile);
                text = readAll(in);
            }
            json document;
            try {
                document = json::parse(text);
            } catch (const json::parse_error& error) {
                return fail(std::string("the page is not valid JSON: ") + error.what());
            }
            auto store = embedded::Store::open(folder);
            auto result = tarnwick::cli::runPage(store, document);
            std::cout << result.dump(2, ' ', false, json::error_handler_t::replace) << "\n";
            return 0;
        }
    } catch (const tarnwick::cli::PageError& error) {
        return fail(error.what());
    } catch (const embedded::StoreError& error) {
        return fail(error.what(), 2);
    } catch (const std::filesystem::filesystem_error& error) {
        return fail(error.what(), 2);
    }
    return 0;
}
