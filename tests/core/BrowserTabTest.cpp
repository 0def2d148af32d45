#include "core/BrowserTab.h"
#include "core/NavigationHistory.h"
#include "core/PathInput.h"

#include <gtest/gtest.h>

using namespace dromel;

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
