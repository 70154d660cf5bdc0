// `tarnwick platform import --metabase FILE`: a fresh embedded platform (IIS 6)
// made from a server's MetaBase.xml, one of its history copies, or an
// `iiscnfg /export` file.
//
// The file is read into the state document that `platform load` takes: the
// keys below /LM/W3SVC with their values typed by the metabase schema, a local
// user for every anonymous account a key names, and every folder a Path names.
// Nothing else is read: other services, IIS_Global and the machine key are
// counted in the report and left out.
#pragma once

#include <CLI/CLI.hpp>
#include <filesystem>
#include <functional>
#include <map>
#include <nlohmann/json.hpp>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace tarnwick::cli {

// A file that cannot be imported; the message is one line that names the
// file's line ("MetaBase.xml line 12: ...").
class ImportError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// What an import made and what it left out.
struct ImportReport {
    std::string computer;
    int keys = 0, sites = 0, virtualDirectories = 0, applicationPools = 0;
    int keptUnknown = 0;  // attributes and <Custom> properties the schema does not know
    int secrets = 0;
    std::vector<std::string> accounts;  // local users made
    std::vector<std::string> folders;   // folders made, parents first
    // Keys and attributes left out, by the reason ("outside /LM/W3SVC: IIsComputer").
    std::map<std::string, int> keysLeftOut, attributesLeftOut;

    nlohmann::json toJson() const;
    std::string text() const;
};

// The keys and their values as a metabase state document ({"keys": [...]}),
// with what the platform around them needs.
struct ReadMetabase {
    nlohmann::json keys = nlohmann::json::array();
    std::optional<std::string> serviceComputer;  // from the web service's IUSR_<name>
    std::vector<std::string> anonymousUsers;
    std::vector<std::string> folders;        // drive paths named by Path, as written
    std::optional<std::string> defaultRoot;  // the default web site's root folder
    ImportReport report;
};

// Reads MetaBase.xml text; `fileName` names the file in messages. Throws
// ImportError for a file that is not XML, is cut short, has another root
// element, names one Location twice, puts a key under a parent that cannot
// hold it, or holds a value its type cannot take.
ReadMetabase readMetabase(std::string_view bytes, const std::string& fileName);

// The whole state document of the imported platform, and its report.
struct MetabaseImport {
    nlohmann::json document;
    ImportReport report;
};
MetabaseImport importMetabase(std::string_view bytes, const std::string& fileName,
                              const std::optional<std::string>& computer);

// Imports into the state folder `folder`: a platform there is replaced only
// when `replace` is set, and a file that cannot be imported leaves the folder
// as it was (ImportError).
ImportReport importIntoState(std::string_view bytes, const std::string& fileName,
                             const std::optional<std::string>& computer,
                             const std::filesystem::path& folder, bool replace);

// Adds `import` to the `platform` subcommand; it runs in the parse and stores
// its exit code (0 imported, 1 refused) in `exitCode`.
void addPlatformImportCommand(CLI::App& platform,
                              std::function<std::filesystem::path()> stateFolder, int& exitCode);

}  // namespace tarnwick::cli
