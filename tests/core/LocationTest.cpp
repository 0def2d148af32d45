#include "core/Location.h"
#include "core/ItemIdentity.h"
#include "core/Uuid.h"

#include <gtest/gtest.h>

#include <set>

using namespace dromel;

TEST(LocationTest, StandardizesLexically) {
    EXPECT_EQ(Location::standardized("/a/./b/../c/"), "/a/c");
    EXPECT_EQ(Location::standardized("//a///b"), "/a/b");
    EXPECT_EQ(Location::standardized("/.."), "/");
    EXPECT_EQ(Location::standardized("/a/../../b"), "/b");
    EXPECT_EQ(Location::standardized("/"), "/");
    EXPECT_EQ(Location::standardized("/a/b/."), "/a/b");
    EXPECT_EQ(Location::standardized("/a/..."), "/a/...");
}

TEST(LocationTest, ComponentsAndParents) {
    EXPECT_EQ(Location::lastComponent("/a/b"), "b");
    EXPECT_EQ(Location::parent("/a/b"), "/a");
    EXPECT_EQ(Location::parent("/a"), "/");
    EXPECT_EQ(Location::parent("/"), "/");
    EXPECT_EQ(Location::appending("/", "x"), "/x");
    EXPECT_EQ(Location::appending("/a", "x"), "/a/x");
    EXPECT_TRUE(Location::isAbsolute("/a"));
    EXPECT_FALSE(Location::isAbsolute("a/b"));
}

TEST(LocationTest, EveryByteRoundTripsThroughAFileURL) {
    for (int byte = 1; byte < 256; ++byte) {
        if (byte == '/')
            continue;
        const std::string path = std::string("/dir/x") + static_cast<char>(byte) + "y";
        const std::string url = Location::fileURL(path, false);
        for (char c : url.substr(7))
            EXPECT_TRUE(std::isalnum(static_cast<unsigned char>(c)) ||
                        std::string("-._~/%").find(c) != std::string::npos)
                << byte;
        EXPECT_EQ(Location::pathFromFileURL(url), path) << byte;
        EXPECT_EQ(Location::pathFromFileURL(Location::fileURL(path, true)), path) << byte;
    }
    EXPECT_EQ(Location::fileURL("/a b", true), "file:///a%20b/");
    EXPECT_EQ(Location::fileURL("/", true), "file:///");
}

TEST(LocationTest, DecoderAcceptsAnyValidEscapingAndRejectsTheRest) {
    EXPECT_EQ(Location::pathFromFileURL("file:///a%2fb%41"), "/a/bA");
    EXPECT_EQ(Location::pathFromFileURL("file://localhost/tmp/"), "/tmp");
    EXPECT_EQ(Location::pathFromFileURL("FILE:///x/../y"), "/y");
    EXPECT_EQ(Location::pathFromFileURL("file:///caf\xC3\xA9"), "/caf\xC3\xA9");
    for (const char *bad : {"http:///a", "file://host/a", "file:///a%2", "file:///a%zz", "file:///a%00b",
                            "file:///a b", "file:///a?q", "file:///a#f", "file:", "file://", "/a", ""})
        EXPECT_EQ(Location::pathFromFileURL(bad), std::nullopt) << bad;
}
