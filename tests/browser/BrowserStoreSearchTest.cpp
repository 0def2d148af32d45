// A tab showing a search: results stream in through the listing road, sort
// and filter like a folder, back returns to the folder, the session keeps the
// query and a restored tab finds the results again.
#include "support/StoreFixture.h"

#include <gtest/gtest.h>

using namespace dromel;

namespace {

class BrowserStoreSearchTest : public ::testing::Test, public test::StoreFixture {
protected:
    void SetUp() override {
        tree.writeFile("notes.txt", "alpha\nthe needle here\n");
        tree.makeFolder("deep");
        tree.makeFolder("deep/er");
        tree.writeFile("deep/er/Needle.md", "nothing");
        tree.writeFile("deep/needles.txt", "Needle too\n");
        tree.writeFile("other.txt", "hay");
        makeStore({tree.root()});
        store->refresh();
        ASSERT_TRUE(settled());
    }

    SearchQuery query(const std::string &text, SearchMode mode = SearchMode::name) const {
        SearchQuery made;
        made.text = text;
        made.mode = mode;
        made.startFolder = tree.root();
        return made;
    }
};

} // namespace

TEST_F(BrowserStoreSearchTest, ResultsReplaceTheFolderAndBackReturnsToIt) {
    int contentNotices = 0;
    store->onChange = [&](BrowserStore::Change change) {
        contentNotices += change == BrowserStore::Change::content ? 1 : 0;
    };
    store->search(query("needle"));
    EXPECT_TRUE(store->current().search.has_value());
    ASSERT_TRUE(shows({"Needle.md", "needles.txt"}));
    ASSERT_TRUE(settled());
    EXPECT_GE(contentNotices, 2); // emptied, then results
    EXPECT_EQ(store->current().url(), tree.root());
    EXPECT_EQ(store->current().history.locations.size(), 1u);

    store->sort({SortColumn::name, false});
    ASSERT_TRUE(settled());
    ASSERT_EQ(store->current().visibleEntries().size(), 2u);
    EXPECT_EQ(store->current().visibleEntries()[0].name(), "needles.txt");
    store->filter(".md");
    EXPECT_TRUE(shows({"Needle.md"}));
    store->filter("");

    // Content results carry their matching lines.
    store->search(query("NEEDLE", SearchMode::content));
    ASSERT_TRUE(shows({"notes.txt", "needles.txt"}));
    ASSERT_TRUE(settled());
    ASSERT_TRUE(store->current().searchDetails);
    std::set<std::string> lines;
    for (const FileEntry &entry : store->current().visibleEntries())
        if (const std::string *line = store->current().searchDetails->matchLine(entry.id()))
            lines.insert(*line);
    EXPECT_EQ(lines, (std::set<std::string>{"the needle here", "Needle too"}));

    store->goBack();
    EXPECT_FALSE(store->current().search.has_value());
    EXPECT_TRUE(shows({"notes.txt", "deep", "other.txt"}));
}

TEST_F(BrowserStoreSearchTest, TheSessionKeepsTheQueryAndAChangeBelowSearchesAgain) {
    store->search(query("needle"));
    ASSERT_TRUE(shows({"Needle.md", "needles.txt"}));
    const BrowserSession saved = store->session();
    ASSERT_EQ(saved.tabs.size(), 1u);
    ASSERT_TRUE(saved.tabs[0].search.has_value());
    EXPECT_EQ(saved.tabs[0].search->text, "needle");
    const Json json = saved.toJson();
    EXPECT_EQ(json.dump().find("Needle.md"), std::string::npos); // the query, not the results

    tree.writeFile("deep/er/more-needles", "");
    store->invalidateDirectories({tree.path("deep/er")});
    EXPECT_TRUE(shows({"Needle.md", "needles.txt", "more-needles"}));

    // A restored tab searches again.
    store = std::make_unique<BrowserStore>(BrowserSession::fromJson(json), reader, orderer);
    store->refresh();
    EXPECT_TRUE(store->current().search.has_value());
    EXPECT_TRUE(shows({"Needle.md", "needles.txt", "more-needles"}));

    // Navigating anywhere leaves the search.
    EXPECT_TRUE(visit(tree.path("deep")));
    EXPECT_FALSE(store->current().search.has_value());
    EXPECT_TRUE(shows({"er", "needles.txt"}));
}
