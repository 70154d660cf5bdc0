#include <gtest/gtest.h>

#include "automation/error.h"
#include "automation/text.h"
#include "automation/variant.h"
#include "automation/variant_json.h"
#include "support/error_of.h"

namespace tarnwick::automation {
namespace {

using testing::errorOf;

TEST(VariantText, ConvertsAsAutomationDoes) {
    EXPECT_EQ(toText(5), "5");
    EXPECT_EQ(toText(true), "True");
    EXPECT_EQ(toText(false), "False");
    EXPECT_EQ(toText(Variant()), "");
    EXPECT_EQ(toText(Variant::integer(-7)), "-7");
    EXPECT_EQ(toText(4294967295.0), "4294967295");
    EXPECT_EQ(toText(0.5), "0.5");
    EXPECT_EQ(toText(1e20), "1E+20");
    EXPECT_EQ(toText(0.00001), "1E-05");
    EXPECT_EQ(toText(Variant::single(1.1f)), "1.1");
    EXPECT_EQ(errorOf([] { toText(Variant::null()); }), errors::kInvalidUseOfNull);
    EXPECT_EQ(errorOf([] { toText(Variant(Variant::Array{})); }), errors::kTypeMismatch);
    EXPECT_EQ(concatText(Variant::null()), "");
}

TEST(VariantBoolean, AcceptsTrueWordsAndNumbers) {
    for (const Variant& truthy : {Variant("True"), Variant("true"), Variant(" TRUE "), Variant(-1),
                                  Variant(1), Variant("1"), Variant(true), Variant(0.5)}) {
        EXPECT_TRUE(toBoolean(truthy)) << toText(truthy);
    }
    for (const Variant& falsy :
         {Variant(), Variant(0), Variant(false), Variant("False"), Variant("0")}) {
        EXPECT_FALSE(toBoolean(falsy)) << toText(falsy);
    }
    EXPECT_EQ(errorOf([] { toBoolean("yes"); }), errors::kTypeMismatch);
    EXPECT_EQ(errorOf([] { toBoolean(""); }), errors::kTypeMismatch);
    EXPECT_EQ(errorOf([] { toBoolean(Variant::null()); }), errors::kInvalidUseOfNull);
}

TEST(VariantComparison, EmptyStringTestIsMadeOnTheText) {
    EXPECT_TRUE(equalsEmptyString(Variant()));
    EXPECT_TRUE(equalsEmptyString(""));
    EXPECT_FALSE(equalsEmptyString(0));
    EXPECT_FALSE(equalsEmptyString(false));
    EXPECT_FALSE(equalsEmptyString(" "));
    EXPECT_FALSE(equalsEmptyString(Variant::null()));
    EXPECT_EQ(errorOf([] { equalsEmptyString(Variant(Variant::Array{})); }), errors::kTypeMismatch);
}

TEST(VariantComparison, SystemComparesWithTextExactly) {
    EXPECT_TRUE(textEquals(2003, "2003"));
    EXPECT_TRUE(textEquals(Variant::integer(2003), "2003"));
    EXPECT_TRUE(textEquals(2003.0, "2003"));
    EXPECT_TRUE(textEquals("2003", "2003"));
    EXPECT_FALSE(textEquals("2003 ", "2003"));
    EXPECT_FALSE(textEquals("Win2003", "2003"));
    EXPECT_FALSE(textEquals(Variant(), "2003"));
    EXPECT_FALSE(textEquals(Variant::null(), "2003"));
}

TEST(VariantNumber, ParsesNumericTextOnly) {
    EXPECT_EQ(parseNumber(" 12 "), 12);
    EXPECT_EQ(parseNumber("-1.5e3"), -1500);
    EXPECT_EQ(parseNumber(".5"), 0.5);
    EXPECT_EQ(parseNumber("&HFF"), 255);
    EXPECT_EQ(parseNumber("&HFFFF"), -1);  // a 16-bit hex literal is a signed Integer
    EXPECT_EQ(parseNumber("&HFFFFFFFF"), -1);
    EXPECT_EQ(parseNumber("&O17"), 15);
    for (const char* bad : {"", " ", "abc", "1e", ".", "1.2.3", "--1", "&H", "&HG", "1 2"}) {
        EXPECT_FALSE(parseNumber(bad).has_value()) << bad;
    }
    EXPECT_EQ(toNumber("True"), -1);
    EXPECT_EQ(toNumber(Variant()), 0);
    EXPECT_EQ(errorOf([] { toNumber("ten"); }), errors::kTypeMismatch);
}

TEST(VariantNumber, LongRoundsHalfToEvenAndChecksRange) {
    EXPECT_EQ(toLong(2.5), 2);
    EXPECT_EQ(toLong(3.5), 4);
    EXPECT_EQ(toLong(-2.5), -2);
    EXPECT_EQ(toLong("7"), 7);
    EXPECT_EQ(errorOf([] { toLong(4294967295.0); }), errors::kOverflow);
}

TEST(UpperCase, ConvertsLettersBeyondAsciiAsUCaseDoes) {
    const std::pair<const char*, const char*> cases[] = {
        {"bob.com", "BOB.COM"},     {"café.fr", "CAFÉ.FR"}, {"þÿ÷", "ÞŸ÷"},
        {"ąčęłńśźż", "ĄČĘŁŃŚŹŻ"},   {"ıĸŉſ", "IĸŉS"},       {"ελλάς όύώέ", "ΕΛΛΆΣ ΌΎΏΈ"},
        {"пример.рф", "ПРИМЕР.РФ"}, {"ёђ", "ЁЂ"},           {"ａｂｃ.com", "ＡＢＣ.COM"},
        {"中文.中国", "中文.中国"}, {"a\xFF!", "A\xFF!"},  // bytes that are no UTF-8 stay
    };
    for (const auto& [text, upper] : cases) EXPECT_EQ(automation::toUpperCase(text), upper) << text;
}

TEST(ErrorNumbers, PrintAsHexWithoutPrefixOrLeadingZeros) {
    EXPECT_EQ(hexNumber(13), "D");
    EXPECT_EQ(hexNumber(0), "0");
    EXPECT_EQ(hexNumber(static_cast<int32_t>(0x80070003u)), "80070003");
    EXPECT_EQ(hexNumber(-1), "FFFFFFFF");
    EXPECT_EQ(hresultOf(13), static_cast<int32_t>(0x800A000Du));
    EXPECT_EQ(hresultOf(static_cast<int32_t>(0x80070003u)), static_cast<int32_t>(0x80070003u));
    EXPECT_EQ(AutomationError(13).description(), "Type mismatch");
    EXPECT_EQ(AutomationError(static_cast<int32_t>(0x80071234u)).description(),
              "Automation error 80071234");
}

TEST(ErrorState, RemembersTheLatestErrorUntilCleared) {
    ErrorState state;
    EXPECT_FALSE(state.isSet());
    EXPECT_EQ(state.attempt([] { return 4; }), std::optional<int>(4));
    EXPECT_FALSE(state.attempt([] { raise(53); }));
    EXPECT_EQ(state.number(), 53);
    EXPECT_EQ(state.attempt([]() -> int { raise(76, "no path"); }), std::nullopt);
    EXPECT_EQ(state.number(), 76);
    EXPECT_EQ(state.description(), "no path");
    EXPECT_TRUE(state.attempt([] {}));  // success does not clear the state
    EXPECT_EQ(state.number(), 76);
    state.clear();
    EXPECT_FALSE(state.isSet());
    EXPECT_THROW(state.attempt([] { throw std::logic_error("bug"); }), std::logic_error);
}

TEST(VariantJson, PlainFormsMapToTheirAutomationTypes) {
    using nlohmann::json;
    EXPECT_EQ(variantFromJson(json()).type(), VarType::Empty);
    EXPECT_EQ(variantFromJson(true), Variant(true));
    EXPECT_EQ(variantFromJson(5), Variant(5));
    EXPECT_EQ(variantFromJson(4294967295ull), Variant(4294967295.0));
    EXPECT_EQ(variantFromJson(-2147483648ll), Variant(static_cast<int32_t>(-2147483648ll)));
    EXPECT_EQ(variantFromJson(1.5), Variant(1.5));
    EXPECT_EQ(variantFromJson("text"), Variant("text"));
    EXPECT_EQ(variantFromJson(json::parse(R"([1, "a", null])")),
              Variant(Variant::Array{1, "a", Variant()}));
}

TEST(VariantJson, TypedFormsRoundTripWithTheirType) {
    using nlohmann::json;
    for (const Variant& value : {Variant(), Variant::null(), Variant(true), Variant::integer(5),
                                 Variant(5), Variant::single(1.5f), Variant(2.25), Variant("文字"),
                                 Variant(Variant::Array{Variant::integer(1), "x"})}) {
        EXPECT_EQ(variantFromJson(variantToJson(value)), value) << variantToJson(value).dump();
    }
    EXPECT_EQ(variantFromJson(json::parse(R"({"type": "integer", "value": 5})")),
              Variant::integer(5));
    for (const char* bad :
         {R"({"type": "Integer", "value": 40000})", R"({"type": "Long", "value": 1.5})",
          R"({"type": "Currency"})", R"({"type": "Boolean", "value": 1})", R"({"value": 1})",
          R"({"type": "Object", "value": "x"})", R"({"type": "Single", "value": 1e300})"}) {
        EXPECT_THROW(variantFromJson(json::parse(bad)), ValueFormatError) << bad;
    }
}

}  // namespace
}  // namespace tarnwick::automation
