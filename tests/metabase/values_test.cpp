// Property types: what a script's value becomes when written, and what a
// script reads back.
#include <gtest/gtest.h>

#include "automation/error.h"
#include "metabase_fixture.h"
#include "platform/embedded/metabase/document.h"
#include "platform/embedded/metabase/server_binding.h"

namespace tarnwick::testing {
namespace {

using automation::errors::kOverflow;
using automation::errors::kTypeMismatch;
using mb::PropertyType;
using mb::PropertyValue;

int32_t conversionError(PropertyType type, const Variant& value) {
    return errorOf([&] { mb::fromAutomation(type, value); });
}

TEST(PropertyValues, NumbersAreDwords) {
    auto number = [](const Variant& value) {
        return mb::fromAutomation(PropertyType::Number, value).number();
    };
    EXPECT_EQ(number(4294967295.0), 4294967295u);
    EXPECT_EQ(number(-1), 4294967295u);
    EXPECT_EQ(number(-2147483648.0), 2147483648u);
    EXPECT_EQ(number("500"), 500u);
    EXPECT_EQ(number(" &H10 "), 16u);
    EXPECT_EQ(number(2.5), 2u);  // half to even
    EXPECT_EQ(number(3.5), 4u);
    EXPECT_EQ(number(true), 4294967295u);
    EXPECT_EQ(number(Variant()), 0u);
    EXPECT_EQ(conversionError(PropertyType::Number, "abc"), kTypeMismatch);
    EXPECT_EQ(conversionError(PropertyType::Number, ""), kTypeMismatch);
    EXPECT_EQ(conversionError(PropertyType::Number, Variant::null()), kTypeMismatch);
    EXPECT_EQ(conversionError(PropertyType::Number, Variant(Variant::Array{1})), kTypeMismatch);
    EXPECT_EQ(conversionError(PropertyType::Number, 4294967296.0), kOverflow);
    EXPECT_EQ(conversionError(PropertyType::Number, -2147483649.0), kOverflow);
    // Read back as the provider gives a DWORD: a Long.
    EXPECT_EQ(mb::toAutomation(PropertyValue::number(4294967295u)), Variant(-1));
    EXPECT_EQ(mb::toAutomation(PropertyValue::number(1048576u)), Variant(1048576));
}

TEST(PropertyValues, BooleansTakeWhatConvertsToABoolean) {
    auto boolean = [](const Variant& value) {
        return mb::fromAutomation(PropertyType::Boolean, value).boolean();
    };
    EXPECT_TRUE(boolean(4294967295.0));
    EXPECT_TRUE(boolean(-1));
    EXPECT_TRUE(boolean("true"));
    EXPECT_FALSE(boolean(0));
    EXPECT_FALSE(boolean("False"));
    EXPECT_FALSE(boolean(Variant()));
    EXPECT_EQ(conversionError(PropertyType::Boolean, "yes"), kTypeMismatch);
    EXPECT_EQ(conversionError(PropertyType::Boolean, Variant::null()), kTypeMismatch);
    EXPECT_EQ(mb::toAutomation(PropertyValue::boolean(true)), Variant(true));
}

TEST(PropertyValues, StringsAndLists) {
    EXPECT_EQ(mb::fromAutomation(PropertyType::String, 12).text(), "12");
    EXPECT_EQ(mb::fromAutomation(PropertyType::String, Variant()).text(), "");
    EXPECT_EQ(conversionError(PropertyType::String, Variant::null()), kTypeMismatch);
    EXPECT_EQ(conversionError(PropertyType::String, Variant(Variant::Array{"a"})), kTypeMismatch);

    auto list = [](const Variant& value) {
        return mb::fromAutomation(PropertyType::List, value).list();
    };
    using List = std::vector<std::string>;
    EXPECT_EQ(list(Variant(Variant::Array{":80:a.com", 8080})), (List{":80:a.com", "8080"}));
    EXPECT_EQ(list("404,0,FILE,D:\\a\\404.htm"), List{"404,0,FILE,D:\\a\\404.htm"});
    EXPECT_EQ(list(Variant()), List{});
    EXPECT_EQ(list(Variant(Variant::Array{})), List{});
    EXPECT_EQ(conversionError(PropertyType::List, Variant(Variant::Array{Variant::null()})),
              kTypeMismatch);
    EXPECT_EQ(mb::toAutomation(PropertyValue::list({"a", "b"})), Variant(Variant::Array{"a", "b"}));
}

TEST(ServerBindings, ParseAddressPortAndHost) {
    auto binding = mb::parseServerBinding("10.0.0.1:80:www.a.com");
    ASSERT_TRUE(binding);
    EXPECT_EQ(binding->address, "10.0.0.1");
    EXPECT_EQ(binding->port, 80);
    EXPECT_EQ(binding->host, "www.a.com");
    EXPECT_TRUE(mb::parseServerBinding(":80:"));
    for (auto bad :
         {"", ":80", "a.com", ":0:a.com", ":65536:a.com", ":8x:a.com", "::a.com", "1:2:3:4"}) {
        EXPECT_FALSE(mb::parseServerBinding(bad)) << bad;
    }
}

using TypedWrites = MetabaseTest;

TEST_P(TypedWrites, WritesAreStoredInTheSchemaTypeAndSpelling) {
    auto site = bind("IIS://WEBSERVER/W3SVC/1");
    site->put("Maxbandwidth", 4294967295.0);
    site->put("maxbandwidthblocked", true);  // a DWORD: True is stored as 0xFFFFFFFF
    site->put("ServerSize", 1);
    site->put("HttpErrors", "404,0,FILE,D:\\a\\404.htm");
    EXPECT_EQ(errorOf([&] { site->put("MaxConnections", "unlimited"); }), kTypeMismatch);
    site->call("SetInfo");

    auto properties = storage->properties("/LM/W3SVC/1");
    EXPECT_EQ(properties.at("MaxBandwidth"), PropertyValue::number(4294967295u));
    EXPECT_EQ(properties.at("MaxBandwidthBlocked"), PropertyValue::number(4294967295u));
    EXPECT_EQ(properties.at("ServerSize"), PropertyValue::number(1));
    EXPECT_EQ(properties.at("HttpErrors"), PropertyValue::list({"404,0,FILE,D:\\a\\404.htm"}));
    EXPECT_FALSE(properties.contains("MaxConnections"));
    EXPECT_EQ(bind("IIS://WEBSERVER/W3SVC/1")->get("MAXBANDWIDTH"), Variant(-1));
}

INSTANTIATE_TEST_SUITE_P(Storage, TypedWrites, ::testing::ValuesIn(kStorageKinds), storageName);

}  // namespace
}  // namespace tarnwick::testing
