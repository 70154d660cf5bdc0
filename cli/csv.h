// Comma-separated values as RFC 4180 writes them: records end with CRLF or
// LF, a field in double quotes may hold commas, line breaks and doubled
// quotes. Used by `tarnwick site create --from`.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace tarnwick::cli {

struct CsvRecord {
    // The line of the file on which the record starts, from 1.
    size_t line = 0;
    std::vector<std::string> fields;
};

// A text that is not CSV; the message names the line.
class CsvError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Splits `text` into records. A UTF-8 byte order mark at the start is
// skipped, and so are empty lines (a record of one empty, unquoted field).
// Throws CsvError for a quoted field that is not closed or is followed by
// anything but a comma or the end of its line.
std::vector<CsvRecord> parseCsv(std::string_view text);

}  // namespace tarnwick::cli
