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

} // namespace

TEST(FileNameTest, SeparatorsDotNamesColonsAndByteLength) {
    for (const std::string &bad :
         {std::string(), std::string("."), std::string(".."), std::string("a/b"), std::string("a\0b", 3)}) {
        EXPECT_FALSE(accepted(bad)) << bad;
        EXPECT_FALSE(accepted(bad, true)) << bad;
    }
    for (const char *good : {"...", ".hidden", " spaced ", "caf\xE9"})
        EXPECT_TRUE(accepted(good)) << good;
    EXPECT_FALSE(accepted("a:b"));
    EXPECT_TRUE(accepted("a:b", true)) << "a colon only when restoring a name";

    std::string wide;
    for (int i = 0; i < 85; ++i)
        wide += "\xE6\x96\x87";
    EXPECT_TRUE(accepted(std::string(255, 'a')));
    EXPECT_FALSE(accepted(std::string(256, 'a')));
    EXPECT_TRUE(accepted(wide));
    EXPECT_FALSE(accepted(wide + "\xE6\x96\x87"));
}
