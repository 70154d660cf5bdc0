// The CSV reader of `tarnwick site create --from`: records, quoting and line
// numbers as RFC 4180 writes them, and the texts it refuses.
#include "cli/csv.h"

#include <gtest/gtest.h>

namespace tarnwick::testing {
namespace {

using cli::CsvError;
using cli::CsvRecord;
using cli::parseCsv;
using Fields = std::vector<std::string>;

struct Expected {
    size_t line;
    Fields fields;
};

struct CsvCase {
    const char* name;
    std::string text;
    std::vector<Expected> records;
};

class CsvReading : public ::testing::TestWithParam<CsvCase> {};

TEST_P(CsvReading, GivesTheRecordsWithTheirLines) {
    const auto& test = GetParam();
    auto records = parseCsv(test.text);
    ASSERT_EQ(records.size(), test.records.size());
    for (size_t i = 0; i < records.size(); ++i) {
        EXPECT_EQ(records[i].line, test.records[i].line) << "record " << i;
        EXPECT_EQ(records[i].fields, test.records[i].fields) << "record " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Texts, CsvReading,
    ::testing::Values(
        CsvCase{"LineFeeds", "a,b\n1,2\n", {{1, {"a", "b"}}, {2, {"1", "2"}}}},
        CsvCase{"CarriageReturnLineFeeds", "a,b\r\n1,2\r\n", {{1, {"a", "b"}}, {2, {"1", "2"}}}},
        CsvCase{"NoLineBreakAtTheEnd", "a,b\n1,2", {{1, {"a", "b"}}, {2, {"1", "2"}}}},
        CsvCase{"EmptyFields", "a,,b,\n,\n", {{1, {"a", "", "b", ""}}, {2, {"", ""}}}},
        CsvCase{"QuotedCommasAndQuotes",
                "docs,x\n\"a.htm,b.asp\",\"say \"\"hi\"\"\"\n",
                {{1, {"docs", "x"}}, {2, {"a.htm,b.asp", "say \"hi\""}}}},
        CsvCase{"LineBreakInsideQuotesCountsTowardsLaterLines",
                "a\n\"one\ntwo\"\nthree\n",
                {{1, {"a"}}, {2, {"one\ntwo"}}, {4, {"three"}}}},
        CsvCase{"QuotedEmptyFieldIsARecord", "a\n\"\"\n", {{1, {"a"}}, {2, {""}}}},
        CsvCase{"EmptyLinesAreSkipped", "a\n\n1\r\n\r\n2\n", {{1, {"a"}}, {3, {"1"}}, {5, {"2"}}}},
        CsvCase{"ByteOrderMarkIsSkipped", "\xEF\xBB\xBFuser\nbob\n", {{1, {"user"}}, {2, {"bob"}}}},
        CsvCase{"QuoteInsideAnUnquotedFieldIsText",
                "a\nsay \"hi\"\n",
                {{1, {"a"}}, {2, {"say \"hi\""}}}},
        CsvCase{"LoneCarriageReturnIsText", "a\nx\ry\n", {{1, {"a"}}, {2, {"x\ry"}}}},
        CsvCase{"Nothing", "", {}}),
    [](const auto& param) { return std::string(param.param.name); });

struct RefusedCase {
    const char* name;
    std::string text;
    std::string message;
};

class CsvRefusing : public ::testing::TestWithParam<RefusedCase> {};

TEST_P(CsvRefusing, NamesTheLine) {
    const auto& test = GetParam();
    try {
        parseCsv(test.text);
        FAIL() << "accepted";
    } catch (const CsvError& error) {
        EXPECT_EQ(std::string(error.what()), test.message);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Texts, CsvRefusing,
    ::testing::Values(RefusedCase{"QuoteNotClosed", "a,b\n1,\"2\n3,4\n",
                                  "line 2: a quoted field is not closed"},
                      RefusedCase{"TextAfterClosingQuote", "a\n\"x\"y\n",
                                  "line 2: a quoted field is followed by more than a comma"},
                      RefusedCase{"TextAfterQuotedLineBreak", "a\n\"x\ny\" z\n",
                                  "line 3: a quoted field is followed by more than a comma"}),
    [](const auto& param) { return std::string(param.param.name); });

}  // namespace
}  // namespace tarnwick::testing
