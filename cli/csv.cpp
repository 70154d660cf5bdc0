#include "cli/csv.h"

namespace tarnwick::cli {

std::vector<CsvRecord> parseCsv(std::string_view text) {
    if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
    std::vector<CsvRecord> records;
    CsvRecord record{1, {}};
    std::string field;
    bool quotedRecord = false;  // some field of the record was quoted
    size_t line = 1;
    size_t i = 0;

    auto endRecord = [&] {
        record.fields.push_back(std::move(field));
        field.clear();
        bool blank = record.fields.size() == 1 && record.fields[0].empty() && !quotedRecord;
        if (!blank) records.push_back(std::move(record));
        record = CsvRecord{line, {}};
        quotedRecord = false;
    };
    // True at a record's end: LF, or CR followed by LF; steps over it.
    auto atLineEnd = [&] {
        if (text[i] == '\n') {
            ++i;
            return true;
        }
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            i += 2;
            return true;
        }
        return false;
    };
    // True at a comma (the field ends) or a record's end; steps over it.
    auto atSeparator = [&] {
        if (text[i] == ',') {
            record.fields.push_back(std::move(field));
            field.clear();
            ++i;
            return true;
        }
        if (atLineEnd()) {
            ++line;
            endRecord();
            return true;
        }
        return false;
    };

    while (i < text.size()) {
        if (text[i] == '"' && field.empty()) {
            // A quoted field runs to the quote that is not doubled.
            quotedRecord = true;
            size_t opened = line;
            ++i;
            for (;;) {
                if (i >= text.size()) {
                    throw CsvError("line " + std::to_string(opened) +
                                   ": a quoted field is not closed");
                }
                if (text[i] == '"') {
                    if (i + 1 < text.size() && text[i + 1] == '"') {
                        field += '"';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                if (text[i] == '\n') ++line;
                field += text[i++];
            }
            if (i >= text.size()) break;
            if (atSeparator()) continue;
            throw CsvError("line " + std::to_string(line) +
                           ": a quoted field is followed by more than a comma");
        }
        if (atSeparator()) continue;
        field += text[i++];
    }
    // The last record may end without a line break.
    if (!field.empty() || !record.fields.empty() || quotedRecord) endRecord();
    return records;
}

}  // namespace tarnwick::cli
