// A tab's visible list under every kind of filter edit, its selection pruning,
// and the ids listed entries make on demand.
#include "core/BrowserTab.h"
#include "core/FileSort.h"
#include "core/FilterIndex.h"

#include "support/Listing.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <thread>

using namespace dromel;

namespace {

FileEntryList listing() {
    const auto folder = std::make_shared<const std::string>("/d");
    const std::vector<std::string> names{"Report 2024.txt",
                                         "report-final.TXT",
                                         "Caf\xC3\xA9 menu",
                                         "CAFE notes",
                                         "r\xC3\xA9sum\xC3\xA9.pdf",
                                         "RESUME.doc",
                                         "a",
                                         "ab",
                                         "abc",
                                         "\xC3\x85ngstr\xC3\xB6m",
                                         "angstrom",
                                         "\xFF\xFE raw",
                                         "\xE6\x96\x87\xE4\xBB\xB6",
                                         "x y",
                                         "xy"};
    std::vector<FileEntry> entries;
    std::uint64_t inode = 10;
    for (int copy = 0; copy < 3; ++copy)
        for (const std::string &name : names)
            entries.push_back(FileEntry::listed(folder, name + (copy ? std::to_string(copy) : ""), 7, inode++,
                                                false, false, false, 1, std::nullopt, nullptr));
    return FileEntryList(std::move(entries));
}

std::vector<std::string> visibleNames(const BrowserTab &tab) {
    return test::namesOf(tab.visibleEntries());
}

} // namespace

TEST(BrowserTabTest, EveryFilterEditShowsWhatAFreshFilterShows) {
    const FileEntryList entries = listing();
    BrowserTab tab(Uuid::random(), "/d");
    tab.replaceEntries(entries, entries);
    // Narrowing, widening, replacing, case and accents, non-UTF-8 bytes.
    const std::vector<std::string> script{"r",
                                          "re",
                                          "rep",
                                          "repo",
                                          "REPO",
                                          "rep",
                                          "re",
                                          "r\xC3\xA9",
                                          "r\xC3\xA9s",
                                          "res",
                                          "RESU",
                                          "",
                                          "caf",
                                          "cafe",
                                          "caf\xC3\xA9",
                                          "CAF\xC3\x89 ",
                                          "caf\xC3\xA9 m",
                                          "x",
                                          "x ",
                                          "x y",
                                          "xy",
                                          "\xFF",
                                          "\xFF\xFE",
                                          "\xE6\x96\x87",
                                          "\xC3\xA5",
                                          "\xC3\xA5ng",
                                          "ang",
                                          "a",
                                          "ab",
                                          "abc",
                                          "abcd",
                                          "b",
                                          ""};
    for (const std::string &filter : script) {
        tab.setFilter(filter);
        EXPECT_EQ(visibleNames(tab), test::namesOf(FileSort::filtered(entries, filter)))
            << "filter " << filter;
    }

    // Random edits, letters added and taken away.
    std::mt19937 random(14);
    const std::string letters = "aAbBcCeErRsSx .12\xC3\xA9";
    std::string filter;
    for (int step = 0; step < 400; ++step) {
        if (!filter.empty() && random() % 3 == 0)
            filter.pop_back();
        else
            filter += letters[random() % letters.size()];
        if (filter.size() > 4)
            filter.clear();
        tab.setFilter(filter);
        ASSERT_EQ(visibleNames(tab), test::namesOf(FileSort::filtered(entries, filter)))
            << "filter " << filter;
    }

    // A new listing under a filter is filtered in full again.
    tab.setFilter("abc");
    const FileEntryList fewer(std::vector<FileEntry>(entries.begin(), std::next(entries.begin(), 9)));
    tab.replaceEntries(fewer, fewer);
    EXPECT_EQ(visibleNames(tab), (std::vector<std::string>{"abc"}));
    tab.setFilter("ab");
    EXPECT_EQ(visibleNames(tab), (std::vector<std::string>{"ab", "abc"}));
}

TEST(BrowserTabTest, PreparedNamesFilterLikeTheEntriesThemselves) {
    const FileEntryList entries = listing();
    BrowserTab tab(Uuid::random(), "/d");
    tab.replaceEntries(entries, entries);
    auto index = std::make_shared<const FilterIndex>(entries);
    tab.setFilterIndex(index, Uuid::random());
    EXPECT_FALSE(tab.hasFilterIndex()) << "made for another order";
    tab.setFilterIndex(index, tab.orderVersion());
    ASSERT_TRUE(tab.hasFilterIndex());

    const std::vector<std::string> filters{
        "r",    "RE",           "e", "caf\xC3\xA9", "CAFE", "\xC3\x85", "ang",  "x y", "y",  "txt1", "1",
        "\xFF", "\xE6\x96\x87", "/", "d/",          "m/",   "",         "abcd", "a",   "ab", "b",    "z"};
    for (const std::string &filter : filters) {
        tab.setFilter(filter);
        EXPECT_EQ(visibleNames(tab), test::namesOf(FileSort::filtered(entries, filter)))
            << "filter " << filter;
        EXPECT_EQ(test::namesOf(index->filtered(entries, filter)), visibleNames(tab)) << "filter " << filter;
    }

    // A new order or new entries drop it; the filter still holds.
    tab.setFilter("re");
    std::vector<FileEntry> backwards = entries.toVector();
    std::reverse(backwards.begin(), backwards.end());
    const FileEntryList reversed(std::move(backwards));
    tab.reorder(reversed);
    EXPECT_FALSE(tab.hasFilterIndex());
    EXPECT_EQ(visibleNames(tab), test::namesOf(FileSort::filtered(reversed, "re")));
    tab.setFilterIndex(std::make_shared<const FilterIndex>(reversed), tab.orderVersion());
    EXPECT_TRUE(tab.hasFilterIndex());
    tab.replaceEntries(entries, entries);
    EXPECT_FALSE(tab.hasFilterIndex());
    EXPECT_EQ(visibleNames(tab), test::namesOf(FileSort::filtered(entries, "re")));
}

TEST(BrowserTabTest, ListedIdsAreMadeOnceAndSharedByCopies) {
    const auto folder = std::make_shared<const std::string>("/d");
    const FileEntry entry =
        FileEntry::listed(folder, "n\xFF", 2049, 77, false, false, false, 1, std::nullopt, nullptr);
    const FileEntry copy = entry;
    EXPECT_EQ(entry.id(), "2049:77:n\xFF");
    EXPECT_EQ(&entry.id(), &copy.id()) << "a copy shares the made id";
    const FileEntry big =
        FileEntry::listed(folder, "b", UINT64_MAX, UINT64_MAX, false, false, false, 1, std::nullopt, nullptr);
    EXPECT_EQ(big.id(), "18446744073709551615:18446744073709551615:b");

    // Threads asking at once all get the one id that was kept.
    std::vector<FileEntry> fresh;
    for (std::uint64_t inode = 0; inode < 200; ++inode)
        fresh.push_back(
            FileEntry::listed(folder, "f", 1, inode, false, false, false, 1, std::nullopt, nullptr));
    std::vector<const std::string *> seen[4];
    std::vector<std::thread> threads;
    for (auto &addresses : seen)
        threads.emplace_back([&fresh, &addresses] {
            for (const FileEntry &each : fresh)
                addresses.push_back(&each.id());
        });
    for (std::thread &thread : threads)
        thread.join();
    for (std::size_t index = 0; index < fresh.size(); ++index) {
        EXPECT_EQ(*seen[0][index], "1:" + std::to_string(index) + ":f");
        for (const auto &addresses : seen)
            EXPECT_EQ(addresses[index], seen[0][index]);
    }
}
