#include "core/BrowserTab.h"
#include "core/NavigationHistory.h"
#include "core/PathInput.h"

#include <gtest/gtest.h>

using namespace dromel;

TEST(BrowserTabTest, VisitDropsForwardHistoryAndIgnoresTheCurrentFolder) {
    NavigationHistory history("/A/");
    history.visit("/B");
    history.visit("/C");
    history.step(-1);
    history.step(-1);
    EXPECT_EQ(history.forward(), "/B");
    history.visit("/A/.");
    EXPECT_EQ(history.locations.size(), 3u);
    history.visit("/D/x/..");
    EXPECT_EQ(history.locations, (std::vector<std::string>{"/A", "/D"}));
    EXPECT_EQ(history.index, 1u);
    EXPECT_EQ(history.forward(), std::nullopt);
    EXPECT_EQ(history.back(), "/A");
    history.step(+1);
    EXPECT_EQ(history.index, 1u);
    history.step(-1);
    history.step(-1);
    EXPECT_EQ(history.index, 0u);
    EXPECT_EQ(history.back(), std::nullopt);
    EXPECT_EQ(NavigationHistory({"/a/./b", "/c/"}, 1).locations, (std::vector<std::string>{"/a/b", "/c"}));
}

TEST(BrowserTabTest, FilterAndListingVersionFollowTheirRules) {
    BrowserTab tab(Uuid::random(), "/home/u/");
    EXPECT_EQ(tab.url(), "/home/u");
    EXPECT_EQ(tab.sort, FileSort{});
    const std::vector<FileEntry> entries{
        FileEntry("1", "/home/u/b", "b\xC3\xA9ta", false, false, false, 1, std::nullopt, "File"),
        FileEntry("2", "/home/u/a", "alpha", false, false, false, 1, std::nullopt, "File")};
    tab.selection = {"1", "gone"};
    tab.replaceEntries(FileEntryList(entries), FileEntryList(FileSort{}.apply(entries, "")));
    EXPECT_EQ(tab.selection, (std::set<std::string>{"1", "gone"}));
    const Uuid version = tab.listingVersion();
    tab.setFilter("BETA");
    ASSERT_EQ(tab.visibleEntries().size(), 1u);
    EXPECT_EQ(tab.visibleEntries()[0].id(), "1");
    tab.setFilter("nothing");
    EXPECT_TRUE(tab.visibleEntries().empty());
    EXPECT_EQ(tab.entries().size(), 2u);
    EXPECT_EQ(tab.orderedEntries().size(), 2u);
    tab.setFilter("");
    EXPECT_EQ(tab.visibleEntries(), tab.orderedEntries());
    tab.reorder(FileEntryList(FileSort{SortColumn::name, false}.apply(entries, "")));
    EXPECT_EQ(tab.listingVersion(), version);
    EXPECT_EQ(tab.visibleEntries()[0].id(), "1");
    tab.replaceEntries(tab.entries(), tab.orderedEntries());
    EXPECT_NE(tab.listingVersion(), version);
}

TEST(BrowserTabTest, PathInputAcceptsOnlyAbsoluteAndHomePaths) {
    EXPECT_EQ(PathInput::resolve("~", "/home/u"), "/home/u");
    EXPECT_EQ(PathInput::resolve("~/", "/home/u"), "/home/u");
    EXPECT_EQ(PathInput::resolve("~/Docs", "/home/u"), "/home/u/Docs");
    EXPECT_EQ(PathInput::resolve("/a/b/../c/", "/home/u"), "/a/c");
    EXPECT_EQ(PathInput::resolve("/no/such/folder", "/home/u"), "/no/such/folder");
    for (const std::string &bad :
         std::vector<std::string>{"~bob/x", "folder", "./x", " /a", "", std::string("/a\0b", 4)})
        EXPECT_THROW(PathInput::resolve(bad, "/home/u"), PathInput::PathError) << bad;
    try {
        PathInput::resolve("x", "/home/u");
    } catch (const PathInput::PathError &error) {
        EXPECT_STREQ(error.what(), "Enter an absolute path or a path beginning with ~/.");
    }
}
