// The kind of a file depends on its own name, never on which sibling was
// looked up before it.
#include "directory/detail/KindLookup.h"

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

using dromel::detail::KindLookup;

namespace {

const std::vector<std::string> kSiblings = {
    "CMakeLists.txt", "notes.txt", "pom.xml",   "data.xml",       "makefile.in", "x.in",
    "README.md",      "a.md",      "libz.so.1", "page.1",         "foo~",        "bar~",
    "meson.build",    "x.build",   "Makefile",  "archive.tar.gz", "y.gz",        "plain"};

std::map<std::string, std::string> kindsInOrder(const std::vector<std::string> &names, bool shared) {
    std::map<std::string, std::string> kinds;
    std::optional<KindLookup> lookup;
    for (const std::string &name : names)
        kinds[name] = *(shared && lookup ? *lookup : lookup.emplace()).fileKind(name);
    return kinds;
}

} // namespace

TEST(KindLookupTest, WholeNamePatternsDoNotDecideForTheirSuffix) {
    auto alone = kindsInOrder(kSiblings, false);
    EXPECT_EQ(kindsInOrder(kSiblings, true), alone);
    EXPECT_EQ(kindsInOrder({kSiblings.rbegin(), kSiblings.rend()}, true), alone);

    EXPECT_NE(alone["CMakeLists.txt"], alone["notes.txt"]);
    EXPECT_NE(alone["pom.xml"], alone["data.xml"]);
    EXPECT_EQ(alone["plain"], "File");
    EXPECT_EQ(alone["foo~"], alone["bar~"]);
    EXPECT_NE(alone["foo~"], "File") << "a suffix pattern without a dot still names backup files";
}
