#include "core/FileSort.h"
#include "core/FileEntryList.h"
#include "core/detail/BrowseCollation.h"

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

std::vector<std::string> names(const std::vector<FileEntry> &entries) {
    std::vector<std::string> result;
    for (const FileEntry &entry : entries)
        result.push_back(entry.name());
    return result;
}

using Names = std::vector<std::string>;

} // namespace

TEST(FileSortTest, FoldersLeadInBothDirectionsAndPackagesSortAsFiles) {
    const std::vector<FileEntry> entries{file("b.txt"), folder("Zeta"), folder("App", true), folder("alpha"),
                                         file("a.txt")};
    EXPECT_EQ(names(FileSort{SortColumn::name, true}.apply(entries, "")),
              (Names{"alpha", "Zeta", "a.txt", "App", "b.txt"}));
    EXPECT_EQ(names(FileSort{SortColumn::name, false}.apply(entries, "")),
              (Names{"Zeta", "alpha", "b.txt", "App", "a.txt"}));
}

TEST(FileSortTest, NamesIgnoreCaseAndCompareDigitRunsByValue) {
    const std::vector<FileEntry> entries{file("report10"), file("REPORT2"), file("report1")};
    EXPECT_EQ(names(FileSort{}.apply(entries, "")), (Names{"report1", "REPORT2", "report10"}));
    EXPECT_LT(FileSort::compareNames("REPORT2", "report10"), 0);
    EXPECT_EQ(FileSort::compareNames("File", "file"), 0);
}

// Entries carry the key of the locale they were listed under; a sort under
// another locale must not trust it.
TEST(FileSortTest, KeysMadeUnderAnotherLocaleAreRebuilt) {
    const std::vector<FileEntry> entries{file("zebra"), file("\xC3\xA4pple"), file("apple")};
    EXPECT_EQ(names(FileSort{}.apply(entries, "")), (Names{"apple", "\xC3\xA4pple", "zebra"}));
    test::ScopedEnv swedish("LC_ALL", "sv_SE.UTF-8");
    EXPECT_EQ(names(FileSort{}.apply(entries, "")), (Names{"apple", "zebra", "\xC3\xA4pple"}));
    EXPECT_EQ(names(FileSort{SortColumn::name, false}.apply(entries, "")),
              (Names{"\xC3\xA4pple", "zebra", "apple"}));
}

TEST(FileSortTest, EqualNamesKeepIncomingOrderInBothDirections) {
    const std::vector<FileEntry> entries{
        FileEntry("1", "/a/x", "Same", false, false, false, 1, std::nullopt, "K"),
        FileEntry("2", "/b/x", "same", false, false, false, 1, std::nullopt, "K"),
        FileEntry("3", "/c/x", "SAME", false, false, false, 1, std::nullopt, "K")};
    for (bool ascending : {true, false}) {
        const auto sorted = FileSort{SortColumn::name, ascending}.apply(entries, "");
        EXPECT_EQ(sorted, entries);
        EXPECT_EQ((FileSort{SortColumn::size, ascending}.apply(entries, "")), entries);
    }
}

TEST(FileSortTest, SizeAndDateColumnsWithAbsentValues) {
    const std::vector<FileEntry> entries{file("b", 0), file("a", 5), file("unknown", std::nullopt),
                                         file("c", 5), folder("dir")};
    EXPECT_EQ(names(FileSort{SortColumn::size, true}.apply(entries, "")),
              (Names{"dir", "unknown", "b", "a", "c"}));
    EXPECT_EQ(names(FileSort{SortColumn::size, false}.apply(entries, "")),
              (Names{"dir", "c", "a", "b", "unknown"}));
    const FileTime t{std::chrono::nanoseconds(1'700'000'000'123'456'789)};
    const std::vector<FileEntry> dated{file("old", 1, t), file("none", 1, std::nullopt),
                                       file("new", 1, t + 1ns)};
    EXPECT_EQ(names(FileSort{SortColumn::modified, false}.apply(dated, "")), (Names{"new", "old", "none"}));
    EXPECT_EQ(names(FileSort{SortColumn::modified, true}.apply(dated, "")), (Names{"none", "old", "new"}));
}

TEST(FileSortTest, KindColumnThenNameInTheSortDirection) {
    std::vector<FileEntry> entries{
        FileEntry("1", "/d/b", "b", false, false, false, 1, std::nullopt, "Text"),
        FileEntry("2", "/d/a", "a", false, false, false, 1, std::nullopt, "text"),
        FileEntry("3", "/d/c", "c", false, false, false, 1, std::nullopt, "Image")};
    EXPECT_EQ(names(FileSort{SortColumn::kind, true}.apply(entries, "")), (Names{"c", "a", "b"}));
    EXPECT_EQ(names(FileSort{SortColumn::kind, false}.apply(entries, "")), (Names{"b", "a", "c"}));
}

TEST(FileSortTest, FilterIgnoresCaseAndDiacriticsButNotBlanks) {
    const std::vector<FileEntry> entries{file("Caf\xC3\xA9 Menu"), file("cafe"), file(" lead"),
                                         file("Stra\xC3\x9F"
                                              "e"),
                                         file("other")};
    EXPECT_EQ(names(FileSort{}.apply(entries, "CAFE")), (Names{"cafe", "Caf\xC3\xA9 Menu"}));
    EXPECT_EQ(names(FileSort{}.apply(entries, "caf\xC3\xA9")), (Names{"cafe", "Caf\xC3\xA9 Menu"}));
    EXPECT_EQ(names(FileSort{}.apply(entries, " l")), (Names{" lead"}));
    EXPECT_EQ(names(FileSort{}.apply(entries, "strasse")), (Names{"Stra\xC3\x9F"
                                                                  "e"}));
    EXPECT_EQ(FileSort{}.apply(entries, "").size(), entries.size());
    EXPECT_TRUE(FileSort{}.apply(entries, "zzz").empty());
}

TEST(FileSortTest, NamesThatAreNotUtf8SortFilterAndTravelUnchanged) {
    const std::string bad1 = "bad\xFF", bad2 = "bad\xFE", latin = "caf\xE9";
    const std::vector<FileEntry> entries{file(bad1), file("bad"), file(bad2), file(latin)};
    const auto sorted = FileSort{}.apply(entries, "");
    ASSERT_EQ(sorted.size(), 4u);
    EXPECT_EQ(names(sorted), (Names{"bad", bad2, bad1, latin}));
    EXPECT_EQ(names(FileSort{SortColumn::name, false}.apply(entries, "")), (Names{latin, bad1, bad2, "bad"}));
    EXPECT_EQ(names(FileSort{}.apply(entries, "\xFF")), (Names{bad1}));
    EXPECT_EQ(names(FileSort{}.apply(entries, "BAD")), (Names{"bad", bad2, bad1}));
    EXPECT_EQ(sorted[2].url(), "/d/" + bad1);
}

TEST(FileSortTest, ListedEntriesShareTheirFolderAndDeriveIdAndPath) {
    auto parentPath = std::make_shared<const std::string>("/home/u");
    const FileEntry entry = FileEntry::listed(parentPath, "n\xFFx", 2049, 77, false, false, true, 3,
                                              std::nullopt, FileEntry::internKind("File"));
    EXPECT_EQ(entry.id(), "2049:77:n\xFFx");
    EXPECT_EQ(entry.url(), "/home/u/n\xFFx");
    EXPECT_EQ(entry.fileURL(), "file:///home/u/n%FFx");
    EXPECT_TRUE(entry.isSymbolicLink());
    EXPECT_EQ(entry.size(), 3);
    EXPECT_EQ(entry, FileEntry("2049:77:n\xFFx", "/home/u/n\xFFx", "n\xFFx", false, false, true, 3,
                               std::nullopt, "File"));
    EXPECT_NE(entry, FileEntry::listed(parentPath, "n\xFFx", 2049, 78, false, false, true, 3, std::nullopt,
                                       FileEntry::internKind("File")));
    // A re-read of the same folder makes new blocks and a new folder text.
    const auto again = [&](const char *folder) {
        return FileEntry::listed(std::make_shared<const std::string>(folder), "n\xFFx", 2049, 77, false, false,
                                 true, 3, std::nullopt, FileEntry::internKind("File"));
    };
    EXPECT_EQ(entry, again("/home/u"));
    EXPECT_NE(entry, again("/home/v"));
    EXPECT_LE(sizeof(FileEntry), 128u);
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
