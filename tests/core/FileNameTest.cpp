#include "core/FileName.h"
#include "core/OperationProblem.h"

#include <gtest/gtest.h>

using namespace dromel;

namespace {

bool accepted(std::string_view name, bool restoring = false) {
    try {
        FileName::validate(name, restoring);
        return true;
    } catch (const OperationProblem &) {
        return false;
    }
}

std::string repeated(std::string_view piece, int times) {
    std::string text;
    for (int i = 0; i < times; ++i)
        text += piece;
    return text;
}

} // namespace

TEST(FileNameTest, SeparatorsAndDotNamesAreRejected) {
    EXPECT_FALSE(accepted(""));
    EXPECT_FALSE(accepted("."));
    EXPECT_FALSE(accepted(".."));
    EXPECT_TRUE(accepted("..."));
    EXPECT_TRUE(accepted(".hidden"));
    EXPECT_TRUE(accepted(" spaced "));
    EXPECT_FALSE(accepted("a/b"));
    EXPECT_FALSE(accepted("a/b", true));
    EXPECT_FALSE(accepted(std::string("a\0b", 3)));
    EXPECT_FALSE(accepted(std::string("a\0b", 3), true));
}

TEST(FileNameTest, ColonIsAllowedOnlyWhenRestoringAName) {
    EXPECT_FALSE(accepted("a:b"));
    EXPECT_TRUE(accepted("a:b", true));
}

TEST(FileNameTest, LengthCountsBytes) {
    EXPECT_TRUE(accepted(repeated("a", 255)));
    EXPECT_FALSE(accepted(repeated("a", 256)));
    EXPECT_TRUE(accepted(repeated("\xE6\x96\x87", 85)));
    EXPECT_FALSE(accepted(repeated("\xE6\x96\x87", 86)));
    // Bytes that are not UTF-8 are still a name.
    EXPECT_TRUE(accepted("caf\xE9"));
}
