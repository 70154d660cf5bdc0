#include "cli/site_commands.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <fstream>
#include <iomanip>
#include <iostream>
#include <iterator>
#include <optional>
#include <sstream>

#include "automation/text.h"
#include "cli/csv.h"
#include "cli/page_runner.h"
#include "component/error_page.h"
#include "component/site_rules.h"
#include "platform/embedded/embedded_platform.h"
#include "toolkit/steps.h"

namespace tarnwick::cli {

using automation::Variant;
using nlohmann::json;
// What the listing prints as JSON: members in the order they were written.
using Document = nlohmann::ordered_json;
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
    outcome.result = runPage(platform, page);
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

// Every entry of a property as text: an array's items, or the one value.
std::vector<std::string> texts(automation::Dispatch& object, std::string_view property) {
    std::vector<std::string> entries;
    try {
        auto value = object.get(property);
        if (value.type() == automation::VarType::Array) {
            for (const auto& item : value.array()) entries.push_back(automation::concatText(item));
        } else if (!value.isEmpty() && !value.isNull()) {
            entries.push_back(automation::concatText(value));
        }
    } catch (const automation::AutomationError&) {
    }
    return entries;
}

// A limit as the site commands take it: -1 for none (the metabase's
// 4294967295), else the value divided by `unit`; null when it cannot be read.
Document limit(automation::Dispatch& object, std::string_view property, double unit) {
    try {
        auto value = object.get(property);
        if (!value.isNumeric()) return nullptr;
        // The metabase's DWORDs may come back as signed Longs.
        double number = automation::toNumber(value);
        if (number < 0) number += component::kUnlimited + 1;
        if (number == component::kUnlimited) return -1;
        double scaled = number / unit;
        if (scaled == static_cast<double>(static_cast<int64_t>(scaled))) {
            return static_cast<int64_t>(scaled);
        }
        return scaled;
    } catch (const automation::AutomationError&) {
        return nullptr;
    }
}

struct SiteRow {
    std::string number, description, bindings, state, folder, anonymous, pool;
    std::vector<std::string> bindingList, documents;
    Document connections, bandwidth;
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
        row.bindingList = texts(*child, "ServerBindings");
        auto state = text(*child, "ServerState");
        row.state = state == "2" ? "started" : state == "4" ? "stopped" : state;
        row.anonymous = text(*child, "AnonymousUserName");
        row.connections = limit(*child, "MaxConnections", 1);
        row.bandwidth = limit(*child, "MaxBandwidth", 1024);
        try {
            auto root = directory->bind("IIS://" + computer + "/W3SVC/" + row.number + "/ROOT");
            row.folder = text(*root, "Path");
            row.pool = text(*root, "AppPoolId");
            for (const auto& name : automation::split(text(*root, "DefaultDoc"), ",")) {
                auto trimmed = automation::trimBlanks(name);
                if (!trimmed.empty()) row.documents.emplace_back(trimmed);
            }
        } catch (const automation::AutomationError&) {
        }
        rows.push_back(std::move(row));
    }
    std::sort(rows.begin(), rows.end(), [](const SiteRow& a, const SiteRow& b) {
        return std::stoll("0" + a.number) < std::stoll("0" + b.number);
    });
    return rows;
}

// One site as JSON, its members in the order of the text form; a text or a
// limit that is not set is null.
Document siteJson(const SiteRow& row) {
    auto orNull = [](const std::string& value) {
        return value.empty() ? Document() : Document(value);
    };
    Document number = row.number;
    if (auto parsed = automation::parseNumber(row.number);
        parsed && !row.number.empty() &&
        row.number.find_first_not_of("0123456789") == std::string::npos) {
        number = static_cast<int64_t>(*parsed);
    }
    return {{"number", number},
            {"description", orNull(row.description)},
            {"state", orNull(row.state)},
            {"bindings", row.bindingList},
            {"folder", orNull(row.folder)},
            {"anonymous_user", orNull(row.anonymous)},
            {"pool", orNull(row.pool)},
            {"limits", {{"connections", row.connections}, {"bandwidth", row.bandwidth}}},
            {"default_documents", row.documents}};
}

void printJson(const Document& document) {
    std::cout << document.dump(2, ' ', false, Document::error_handler_t::replace) << "\n";
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

// Creates one site; `text` is the line to print: "Created site N for D,
// started" or the message of the failure.
struct Creation {
    bool created = false;
    std::string text;
};

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

// The columns a bulk creation file may name, as the options of `site create`.
constexpr std::array<std::string_view, 9> kColumns = {
    "user", "path", "domain", "connections", "bandwidth", "pool", "cpu", "docs", "show-ip"};
constexpr std::array<std::string_view, 3> kRequiredColumns = {"user", "path", "domain"};

// A file of sites that cannot be used at all; nothing was created.
class BulkFileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Whether `text` is a whole number from `lowest` to `highest`.
bool isWholeNumber(const std::string& text, int64_t lowest, int64_t highest) {
    size_t start = text.starts_with('-') ? 1 : 0;
    if (text.size() == start || text.size() > start + 10) return false;
    if (text.find_first_not_of("0123456789", start) != std::string::npos) return false;
    int64_t value = std::stoll(text);
    return value >= lowest && value <= highest;
}

// Applies one line's values over `options`; returns what is wrong with the
// line, or nothing when the site can be created from it.
std::optional<std::string> applyLine(const std::vector<std::string>& header,
                                     const CsvRecord& record, SiteOptions& options) {
    if (record.fields.size() != header.size()) {
        return std::to_string(record.fields.size()) + " fields where the header names " +
               std::to_string(header.size());
    }
    for (size_t i = 0; i < header.size(); ++i) {
        std::string value(automation::trimBlanks(record.fields[i]));
        const auto& column = header[i];
        bool required = std::find(kRequiredColumns.begin(), kRequiredColumns.end(), column) !=
                        kRequiredColumns.end();
        if (value.empty()) {
            if (required) return "the " + column + " is missing";
            continue;
        }
        if (column == "user") options.user = value;
        if (column == "path") options.path = value;
        if (column == "domain") options.domain = value;
        if (column == "pool") options.pool = value;
        if (column == "docs") options.docs = value;
        if (column == "connections") {
            if (!isWholeNumber(value, -1, 4294967294)) {
                return "connections \"" + value + "\" is not a whole number from -1";
            }
            options.connections = value;
        }
        if (column == "bandwidth") {
            if (value != "-1" && !isWholeNumber(value, 0, 1024)) {
                return "bandwidth \"" + value + "\" is not -1 or a whole number from 0 to 1024";
            }
            options.bandwidth = value;
        }
        if (column == "cpu") {
            if (!isWholeNumber(value, 0, 100)) {
                return "cpu \"" + value + "\" is not a whole number from 0 to 100";
            }
            options.cpu = value;
        }
        if (column == "show-ip") {
            auto flag = automation::toLowerAscii(value);
            if (flag == "true" || flag == "yes" || flag == "1") {
                options.showIp = true;
            } else if (flag == "false" || flag == "no" || flag == "0") {
                options.showIp = false;
            } else {
                return "show-ip \"" + value + "\" is not true, false, yes, no, 1 or 0";
            }
        }
    }
    return std::nullopt;
}

// The header's column names, in lower case; refuses unknown, repeated and
// missing required columns.
std::vector<std::string> readHeader(const CsvRecord& record) {
    std::vector<std::string> header;
    for (const auto& field : record.fields) {
        auto name = automation::toLowerAscii(automation::trimBlanks(field));
        if (std::find(kColumns.begin(), kColumns.end(), name) == kColumns.end()) {
            std::string known;
            for (auto column : kColumns) known += (known.empty() ? "" : ", ") + std::string(column);
            throw BulkFileError("the header names an unknown column \"" + name +
                                "\" (the columns are " + known + ")");
        }
        if (std::find(header.begin(), header.end(), name) != header.end()) {
            throw BulkFileError("the header names the column " + name + " twice");
        }
        header.push_back(name);
    }
    for (auto column : kRequiredColumns) {
        if (std::find(header.begin(), header.end(), column) == header.end()) {
            throw BulkFileError("the header has no column " + std::string(column));
        }
    }
    return header;
}

// Creates a site for every line of a CSV file after its header, going on past
// the lines that fail; prints one line per site and a summary. Returns the
// exit code: 1 when a line failed or the file cannot be used.
int createFromFile(embedded::EmbeddedPlatform& platform, const SiteOptions& defaults,
                   const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        std::cerr << "tarnwick: cannot read " << file << "\n";
        return 1;
    }
    std::string content{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    std::vector<CsvRecord> records;
    std::vector<std::string> header;
    try {
        records = parseCsv(content);
        if (records.empty()) throw BulkFileError("there is no header line");
        header = readHeader(records.front());
    } catch (const std::runtime_error& error) {
        std::cerr << "tarnwick: " << file << ": " << error.what() << "\n";
        return 1;
    }

    using Clock = std::chrono::steady_clock;
    auto started = Clock::now();
    auto reported = started;
    size_t lines = records.size() - 1, created = 0, failed = 0;
    for (size_t i = 1; i < records.size(); ++i) {
        const auto& record = records[i];
        SiteOptions options = defaults;
        Creation outcome;
        if (auto problem = applyLine(header, record, options)) {
            outcome.text = *problem;
        } else {
            outcome = createSite(platform, options);
        }
        ++(outcome.created ? created : failed);
        std::cout << "line " << record.line << ": " << outcome.text << std::endl;
        auto now = Clock::now();
        if (now - started >= std::chrono::seconds(1) && now - reported >= std::chrono::seconds(1)) {
            std::cerr << "tarnwick: " << i << " of " << lines << " lines done\n";
            reported = now;
        }
    }
    std::cout << created << " created, " << failed << " failed\n";
    return failed == 0 ? 0 : 1;
}

}  // namespace

void addSiteCommands(CLI::App& app, std::function<std::filesystem::path()> folder, int& exitCode) {
    auto* site = app.add_subcommand("site", "Manage hosted sites on the embedded platform");
    site->require_subcommand(1);
    auto options = std::make_shared<SiteOptions>();
    auto open = [folder] { return embedded::EmbeddedPlatform::open(folder()); };

    auto asJson = std::make_shared<bool>(false);
    auto* list = site->add_subcommand("list", "List the web sites with their bindings and state");
    list->add_flag("--json", *asJson,
                   "Print {\"sites\": [...]}: every site's number, description, state, "
                   "bindings, folder, anonymous user, pool, limits and default documents");
    list->callback([open, asJson] {
        auto rows = readSites(*open());
        if (!*asJson) return printTable(rows);
        Document sites = Document::array();
        for (const auto& row : rows) sites.push_back(siteJson(row));
        printJson({{"sites", sites}});
    });

    auto* show = site->add_subcommand("show", "Show one web site");
    show->add_option("site", options->siteNumber, "Site number")->required();
    show->add_flag("--json", *asJson,
                   "Print the site as one JSON object, as in `site list --json`");
    show->callback([open, options, asJson, &exitCode] {
        for (const auto& row : readSites(*open())) {
            if (row.number != options->siteNumber) continue;
            if (*asJson) return printJson(siteJson(row));
            return printSite(row);
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
    auto* user =
        create->add_option("--user", options->user,
                           "Customer's user name (account Tarn_<user>); required without --from");
    auto* path = create->add_option("--path", options->path,
                                    "Site folder, e.g. D:\\Web\\bob; required without --from");
    auto* domain =
        create->add_option("--domain", options->domain,
                           "Host name; www.<domain> is bound too; required without --from");
    auto* connections =
        create->add_option("--connections", options->connections, "Connection limit, -1 for none")
            ->capture_default_str();
    auto* bandwidth =
        create->add_option("--bandwidth", options->bandwidth, "KB/s from 0 to 1024, -1 for none")
            ->capture_default_str();
    auto* pool = create->add_option("--pool", options->pool,
                                    "Application pool (IIS 6); default Tarn_<user>");
    auto* cpu = create->add_option("--cpu", options->cpu, "CPU limit in percent (IIS 5)")
                    ->capture_default_str();
    auto* documents =
        create->add_option("--docs", options->docs, "Default documents, comma separated")
            ->capture_default_str();
    auto from = std::make_shared<std::string>();
    create
        ->add_option("--from", *from,
                     "Create one site per line of this CSV file; its header names the columns "
                     "user, path, domain, connections, bandwidth, pool, cpu, docs, show-ip")
        ->excludes(user)
        ->excludes(path)
        ->excludes(domain)
        ->excludes(connections)
        ->excludes(bandwidth)
        ->excludes(pool)
        ->excludes(cpu)
        ->excludes(documents);
    addLook(create);
    create->callback([open, options, from, user, path, domain, &exitCode] {
        if (!from->empty()) {
            exitCode = createFromFile(*open(), *options, *from);
            return;
        }
        for (auto* option : {user, path, domain}) {
            if (option->count() == 0) throw CLI::RequiredError(option->get_name());
        }
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
