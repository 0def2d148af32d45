#include "sidebar/SidebarWatchSet.h"

#include <gtest/gtest.h>

using namespace dromel;
using Folders = std::set<std::string>;

TEST(SidebarWatchSetTest, TheFirstReportOfEachSetConfirmsItAndNamesTheFoldersThatJoined) {
    SidebarWatchSet watch;
    EXPECT_FALSE(watch.change({})) << "nothing to send for the same set";
    ASSERT_TRUE(watch.change({"/a"}));
    EXPECT_FALSE(watch.change({"/a"}));
    EXPECT_TRUE(watch.awaitsConfirmation("/a"));
    EXPECT_FALSE(watch.awaitsConfirmation("/elsewhere"));

    const auto first = watch.take({"/a"});
    ASSERT_TRUE(first);
    EXPECT_EQ(first->joined, Folders{"/a"});
    EXPECT_FALSE(watch.awaitsConfirmation("/a"));
    EXPECT_FALSE(watch.take({"/a"})) << "a later report of the same set is a change";

    ASSERT_TRUE(watch.change({"/a", "/b"}));
    EXPECT_FALSE(watch.awaitsConfirmation("/a")) << "watched all along";
    EXPECT_TRUE(watch.awaitsConfirmation("/b"));
    EXPECT_FALSE(watch.take({"/a"})) << "a change in the old set";
    const auto second = watch.take({"/a", "/b"});
    ASSERT_TRUE(second);
    EXPECT_EQ(second->joined, Folders{"/b"});
    EXPECT_EQ(second->folders, (Folders{"/a", "/b"}));
}

TEST(SidebarWatchSetTest, AChangeThatLooksLikeTheConfirmationIsNotLost) {
    SidebarWatchSet watch;
    ASSERT_TRUE(watch.change({"/a"}));
    ASSERT_TRUE(watch.take({"/a"}));
    ASSERT_TRUE(watch.change({"/a", "/b"}));
    // Both folders changed just before the new set was watched: that report
    // is taken for the confirmation, so the confirmation itself then counts as
    // a change and both are read again.
    EXPECT_TRUE(watch.take({"/a", "/b"}));
    EXPECT_FALSE(watch.take({"/a", "/b"}));
}

TEST(SidebarWatchSetTest, AFolderUnwatchedInBetweenWaitsForItsNewestConfirmation) {
    SidebarWatchSet watch;
    ASSERT_TRUE(watch.change({"/a"}));
    ASSERT_TRUE(watch.change({}));
    ASSERT_TRUE(watch.change({"/a"}));
    ASSERT_TRUE(watch.take({"/a"}));
    EXPECT_TRUE(watch.awaitsConfirmation("/a")) << "it was not watched after the empty set";
    const auto again = watch.take({"/a"});
    ASSERT_TRUE(again);
    EXPECT_EQ(again->joined, Folders{"/a"});
    EXPECT_FALSE(watch.awaitsConfirmation("/a"));
}
