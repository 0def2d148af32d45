#include "core/PathInput.h"

#include <gtest/gtest.h>

using namespace dromel;

namespace {

bool rejected(std::string_view text) {
    try {
        PathInput::resolve(text, "/home/u");
        return false;
    } catch (const PathInput::PathError &error) {
        EXPECT_STREQ(error.what(), "Enter an absolute path or a path beginning with ~/.");
        return true;
    }
}

} // namespace

TEST(PathInputTest, HomeFormsExpand) {
    EXPECT_EQ(PathInput::resolve("~", "/home/u"), "/home/u");
    EXPECT_EQ(PathInput::resolve("~/", "/home/u"), "/home/u");
    EXPECT_EQ(PathInput::resolve("~/Music/../Pictures/", "/home/u"), "/home/u/Pictures");
}

TEST(PathInputTest, AbsolutePathsAreStandardizedWithoutTouchingTheDisk) {
    EXPECT_EQ(PathInput::resolve("/usr/share/../lib/", "/home/u"), "/usr/lib");
    EXPECT_EQ(PathInput::resolve("/no/such/folder", "/home/u"), "/no/such/folder");
    EXPECT_EQ(PathInput::resolve("/caf\xE9/", "/home/u"), "/caf\xE9");
}

TEST(PathInputTest, EverythingElseIsRejected) {
    EXPECT_TRUE(rejected(""));
    EXPECT_TRUE(rejected("~bob/Documents"));
    EXPECT_TRUE(rejected("Documents"));
    EXPECT_TRUE(rejected("./Documents"));
    EXPECT_TRUE(rejected(" /usr"));
    EXPECT_TRUE(rejected(std::string("/us\0r", 5)));
}
