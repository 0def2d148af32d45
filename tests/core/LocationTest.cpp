#include "core/Location.h"
#include "core/PathInput.h"

#include <gtest/gtest.h>

using namespace dromel;

TEST(LocationTest, EveryByteRoundTripsThroughAFileURLAndBadURLsAreRefused) {
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
    EXPECT_EQ(Location::pathFromFileURL("file:///a%2Cb%41"), "/a,bA");
    EXPECT_EQ(Location::pathFromFileURL("file:/tmp/one%20slash"), "/tmp/one slash");
    EXPECT_EQ(Location::pathFromFileURL("file://localhost/tmp/"), "/tmp");
    EXPECT_EQ(Location::pathFromFileURL("FILE:///x/../y"), "/y");
    for (const char *bad : {"http:///a", "file://host/a", "file:///a%2", "file:///a%zz", "file:///a%00b",
                            "file:///tmp/a%2F..%2F..%2Fetc", "file:///a%2fb", "file:tmp", "file://",
                            "file:///a b", "file:///a?q", "file:///a#f", "file:", "/a", ""})
        EXPECT_EQ(Location::pathFromFileURL(bad), std::nullopt) << bad;
}

TEST(PathInputTest, HomeAndAbsoluteFormsResolveLexicallyAndAllElseIsRejected) {
    EXPECT_EQ(PathInput::resolve("~", "/home/u"), "/home/u");
    EXPECT_EQ(PathInput::resolve("~/Music/../Pictures/", "/home/u"), "/home/u/Pictures");
    EXPECT_EQ(PathInput::resolve("/no/such/../folder/", "/home/u"), "/no/folder");
    EXPECT_EQ(PathInput::resolve("/caf\xE9/", "/home/u"), "/caf\xE9");
    for (const std::string &text : {std::string(), std::string("~bob/Documents"), std::string("Documents"),
                                    std::string(" /usr"), std::string("/us\0r", 5)}) {
        try {
            PathInput::resolve(text, "/home/u");
            ADD_FAILURE() << text << " was accepted";
        } catch (const PathInput::PathError &error) {
            EXPECT_STREQ(error.what(), "Enter an absolute path or a path beginning with ~/.");
        }
    }
}
