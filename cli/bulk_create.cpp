#include "cli/bulk_create.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <iostream>
#include <optional>

#include "automation/text.h"
#include "cli/csv.h"

namespace tarnwick::cli {

namespace {

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

}  // namespace

// Creates a site for every line of a CSV file after its header, going on past
// the lines that fail; prints one line per site and a summary. Returns the
// exit code: 1 when a line failed or the file cannot be used.
int createFromCsv(const std::string& file, const std::string& content, const SiteOptions& defaults,
                  const std::function<Creation(const SiteOptions&)>& create) {
    std::vector<CsvRecord> records;
    std::vector<std::string> header;
    try {
        records = parseCsv(content);
        if (records.empty()) throw BulkFileError("there is no header line");
        header = readHeader(records.front());
    } catch (const std::runtime_error& error) {
        std::cerr << "tarnwick: " << file << ": " << error.what() << std::endl;
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
            outcome = create(options);
        }
        ++(outcome.created ? created : failed);
        std::cout << "line " << record.line << ": " << outcome.text << std::endl;
        auto now = Clock::now();
        if (now - started >= std::chrono::seconds(1) && now - reported >= std::chrono::seconds(1)) {
            std::cerr << "tarnwick: " << i << " of " << lines << " lines done" << std::endl;
            reported = now;
        }
    }
    std::cout << created << " created, " << failed << " failed" << std::endl;
    return failed == 0 ? 0 : 1;
}

}  // namespace tarnwick::cli
