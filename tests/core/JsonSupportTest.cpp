#include "core/JsonSupport.h"
#include "core/BrowserSession.h"

#include <gtest/gtest.h>

using namespace dromel;

TEST(JsonSupportTest, StrictParserRejectsHostileInput) {
    const std::string deep(200, '[');
    for (const std::string &bad : std::vector<std::string>{
             "{\"a\":1,\"a\":2}", "{\"o\":{\"k\":1,\"k\":1}}", deep + std::string(200, ']'), "[1e400]",
             "[NaN]", "[\"\xFF\"]", "[\"\\ud800\"]", "{\"a\":", "", "[1] x", "[-1e999]"})
        EXPECT_THROW(parseJsonStrict(bad), JsonDecodeError) << bad;
    EXPECT_NO_THROW(parseJsonStrict("{\"a\":{\"a\":1},\"b\":[{\"a\":2},{\"a\":3}]}"));
    EXPECT_NO_THROW(parseJsonStrict(std::string(60, '[') + std::string(60, ']')));
}

TEST(JsonSupportTest, HelpersEnforceExactTypes) {
    const Json json = parseJsonStrict(
        R"({"s":"x","b":true,"i":5,"f":2.5,"big":18446744073709551615,"neg":-3,"u":"0A6F9C3E-6B1D-4B43-9A52-3E2A0C7D1F00","url":"file:///a%20b/"})");
    EXPECT_EQ(json::requireString(json, "s"), "x");
    EXPECT_THROW(json::requireString(json, "b"), JsonDecodeError);
    EXPECT_TRUE(json::requireBool(json, "b"));
    EXPECT_THROW(json::requireBool(json, "i"), JsonDecodeError);
    EXPECT_EQ(json::requireInt(json, "i"), 5);
    EXPECT_THROW(json::requireInt(json, "f"), JsonDecodeError);
    EXPECT_THROW(json::requireInt(json, "big"), JsonDecodeError);
    EXPECT_THROW(json::requireInt(json, "neg", 0), JsonDecodeError);
    EXPECT_DOUBLE_EQ(json::requireDouble(json, "i"), 5.0);
    EXPECT_THROW(json::requireDouble(json, "s"), JsonDecodeError);
    EXPECT_EQ(json::requireUuid(json, "u").text(), "0A6F9C3E-6B1D-4B43-9A52-3E2A0C7D1F00");
    EXPECT_THROW(json::requireUuid(json, "s"), JsonDecodeError);
    EXPECT_EQ(json::requireURLPath(json, "url"), "/a b");
    EXPECT_THROW(json::require(json, "missing"), JsonDecodeError);
    EXPECT_EQ(json::optionalString(json, "missing"), std::nullopt);
    EXPECT_THROW(json::optionalString(json, "i"), JsonDecodeError);
    EXPECT_TRUE(json::isValidUtf8("caf\xC3\xA9"));
    EXPECT_FALSE(json::isValidUtf8("caf\xC3"));
    EXPECT_FALSE(json::isValidUtf8("\xED\xA0\x80"));
    EXPECT_EQ(json::repairedUtf8("a\xFFz"), "a\xEF\xBF\xBDz");
}
