#include "core/FileSort.h"
#include "core/FileEntryList.h"
#include "core/detail/BrowseCollation.h"

#include "support/Listing.h"
#include "support/ScopedEnv.h"

#include <gtest/gtest.h>

using namespace dromel;
using namespace std::chrono_literals;

namespace {

FileEntry file(const std::string &name, std::optional<std::int64_t> size = 1,
               std::optional<FileTime> modified = std::nullopt) {
    return FileEntry("id-" + name, "/d/" + name, name, false, false, false, size, modified, "Document");
}

FileEntry folder(const std::string &name, bool package = false) {
    return FileEntry("id-" + name, "/d/" + name, name, true, package, false, std::nullopt, std::nullopt,
                     package ? "Bundle" : "Folder");
}

using Names = std::vector<std::string>;

} // namespace

TEST(FileSortTest, FoldersLeadPackagesSortAsFilesAndNamesCompareLikePeopleDo) {
    const std::vector<FileEntry> entries{file("b.txt"), folder("Zeta"), folder("App", true), folder("alpha"),
                                         file("a.txt")};
    EXPECT_EQ(test::namesOf(FileSort{SortColumn::name, true}.apply(entries, "")),
              (Names{"alpha", "Zeta", "a.txt", "App", "b.txt"}));
    EXPECT_EQ(test::namesOf(FileSort{SortColumn::name, false}.apply(entries, "")),
              (Names{"Zeta", "alpha", "b.txt", "App", "a.txt"}));
    EXPECT_EQ(test::namesOf(FileSort{}.apply({file("report10"), file("REPORT2"), file("report1")}, "")),
              (Names{"report1", "REPORT2", "report10"}));
    EXPECT_EQ(FileSort::compareNames("File", "file"), 0);
}

// Entries carry the key of the locale they were listed under; a sort under
// another locale must not trust it.
TEST(FileSortTest, KeysMadeUnderAnotherLocaleAreRebuilt) {
    const std::vector<FileEntry> entries{file("zebra"), file("\xC3\xA4pple"), file("apple")};
    EXPECT_EQ(test::namesOf(FileSort{}.apply(entries, "")), (Names{"apple", "\xC3\xA4pple", "zebra"}));
    test::ScopedEnv swedish("LC_ALL", "sv_SE.UTF-8");
    EXPECT_EQ(test::namesOf(FileSort{}.apply(entries, "")), (Names{"apple", "zebra", "\xC3\xA4pple"}));
    EXPECT_EQ(test::namesOf(FileSort{SortColumn::name, false}.apply(entries, "")),
              (Names{"\xC3\xA4pple", "zebra", "apple"}));
}

TEST(FileSortTest, SizeAndDateColumnsWithAbsentValues) {
    const std::vector<FileEntry> entries{file("b", 0), file("a", 5), file("unknown", std::nullopt),
                                         file("c", 5), folder("dir")};
    EXPECT_EQ(test::namesOf(FileSort{SortColumn::size, true}.apply(entries, "")),
              (Names{"dir", "unknown", "b", "a", "c"}));
    EXPECT_EQ(test::namesOf(FileSort{SortColumn::size, false}.apply(entries, "")),
              (Names{"dir", "c", "a", "b", "unknown"}));
    const FileTime t{std::chrono::nanoseconds(1'700'000'000'123'456'789)};
    const std::vector<FileEntry> dated{file("old", 1, t), file("none", 1, std::nullopt),
                                       file("new", 1, t + 1ns)};
    EXPECT_EQ(test::namesOf(FileSort{SortColumn::modified, false}.apply(dated, "")),
              (Names{"new", "old", "none"}));
    EXPECT_EQ(test::namesOf(FileSort{SortColumn::modified, true}.apply(dated, "")),
              (Names{"none", "old", "new"}));
}

// Search results: by the folder each was found in, collated as names are
// (so "Sub2" before "sub10"), ties by name in the same direction.
TEST(FileSortTest, LocationColumnOrdersByFolderThenName) {
    const auto at = [](const std::string &folder, const std::string &name) {
        return FileEntry("id-" + folder + name, folder + "/" + name, name, false, false, false, 1,
                         std::nullopt, "Document");
    };
    const std::vector<FileEntry> found{at("/s/sub10", "a"), at("/s", "z"),       at("/s/Sub2", "b"),
                                       at("/s/sub10", "B"), at("/s/Ã©tÃ©", "c"), at("/s", "y")};
    EXPECT_EQ(test::namesOf(FileSort{SortColumn::location, true}.apply(found, "")),
              (Names{"y", "z", "c", "b", "a", "B"}));
    EXPECT_EQ(test::namesOf(FileSort{SortColumn::location, false}.apply(found, "")),
              (Names{"B", "a", "b", "c", "z", "y"}));
    EXPECT_EQ(sortColumnFromRawValue("location"), SortColumn::location);
}

TEST(FileSortTest, FilterIgnoresCaseAndDiacriticsButNotBlanks) {
    const std::string cafe = "Caf\xC3\xA9 Menu", strasse = "Stra\u00DFe";
    const std::vector<FileEntry> entries{file(cafe), file("cafe"), file(" lead"), file(strasse),
                                         file("other")};
    EXPECT_EQ(test::namesOf(FileSort{}.apply(entries, "CAFE")), (Names{"cafe", cafe}));
    EXPECT_EQ(test::namesOf(FileSort{}.apply(entries, "caf\xC3\xA9")), (Names{"cafe", cafe}));
    EXPECT_EQ(test::namesOf(FileSort{}.apply(entries, " l")), (Names{" lead"}));
    EXPECT_EQ(test::namesOf(FileSort{}.apply(entries, "strasse")), (Names{strasse}));
    EXPECT_TRUE(FileSort{}.apply(entries, "zzz").empty());
}

TEST(FileSortTest, NamesThatAreNotUtf8SortFilterAndTravelUnchanged) {
    const std::string bad1 = "bad\xFF", bad2 = "bad\xFE", latin = "caf\xE9";
    const std::vector<FileEntry> entries{file(bad1), file("bad"), file(bad2), file(latin)};
    const auto sorted = FileSort{}.apply(entries, "");
    ASSERT_EQ(sorted.size(), 4u);
    EXPECT_EQ(test::namesOf(sorted), (Names{"bad", bad2, bad1, latin}));
    EXPECT_EQ(test::namesOf(FileSort{SortColumn::name, false}.apply(entries, "")),
              (Names{latin, bad1, bad2, "bad"}));
    EXPECT_EQ(test::namesOf(FileSort{}.apply(entries, "\xFF")), (Names{bad1}));
    EXPECT_EQ(test::namesOf(FileSort{}.apply(entries, "BAD")), (Names{"bad", bad2, bad1}));
    EXPECT_EQ(sorted[2].url(), "/d/" + bad1);
}

// Large listings take another path (a radix pass over the key bytes); it must
// agree with the collator pair by pair, keep ties in incoming order and keep
// folders first, in both directions.
TEST(FileSortTest, LargeListingsAgreeWithThePairwiseCollator) {
    const std::vector<std::string> words{"report", "Report", "résumé", "resume", "写真", "IMG", "img", "a"};
    std::vector<FileEntry> entries;
    for (int i = 0; i < 3000; ++i) {
        const std::string name = words[(i * 7) % words.size()] + " " + std::to_string((i * 13) % 400) +
                                 ((i % 5 == 0) ? ".txt" : "");
        const bool isFolder = i % 11 == 0;
        entries.emplace_back("id" + std::to_string(i), "/d/" + name, name, isFolder, false, false,
                             std::nullopt, std::nullopt, isFolder ? "Folder" : "Document");
    }
    for (const bool ascending : {true, false}) {
        SCOPED_TRACE(ascending ? "ascending" : "descending");
        const std::vector<FileEntry> sorted = FileSort{SortColumn::name, ascending}.apply(entries, "");
        std::vector<std::size_t> expected(entries.size());
        for (std::size_t i = 0; i < expected.size(); ++i)
            expected[i] = i;
        std::stable_sort(expected.begin(), expected.end(), [&](std::size_t a, std::size_t b) {
            const FileEntry &x = entries[a];
            const FileEntry &y = entries[b];
            if (x.isNavigable() != y.isNavigable())
                return x.isNavigable();
            const int order = FileSort::compareNames(x.name(), y.name());
            return ascending ? order < 0 : order > 0;
        });
        ASSERT_EQ(sorted.size(), expected.size());
        for (std::size_t i = 0; i < expected.size(); ++i)
            ASSERT_EQ(sorted[i].id(), entries[expected[i]].id()) << "position " << i;
    }
}
