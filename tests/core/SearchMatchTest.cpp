// How a search's text meets names and contents, and how a query is kept.
#include "core/NameMatch.h"
#include "core/SearchHit.h"
#include "core/SearchQuery.h"
#include "core/TextSearch.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace dromel;

TEST(SearchMatchTest, NamesMatchAsTheFilterFoldsThem) {
    const NameMatch substring("RÉSU");
    EXPECT_FALSE(substring.isGlob());
    EXPECT_TRUE(substring.matches("my resume.txt"));
    EXPECT_TRUE(substring.matches("Résumé.odt"));
    EXPECT_FALSE(substring.matches("resolution"));
    EXPECT_TRUE(NameMatch("ff").matches("raw\xff-ffile")); // a name that is not UTF-8

    const NameMatch pdf("*.PDF");
    EXPECT_TRUE(pdf.isGlob());
    EXPECT_TRUE(pdf.matches("a.pdf"));
    EXPECT_TRUE(pdf.matches("Ünïcode.Pdf"));
    EXPECT_FALSE(pdf.matches("a.pdf.txt"));
    EXPECT_FALSE(pdf.matches("pdf"));

    EXPECT_TRUE(NameMatch("r?port*").matches("Räport 2.txt")); // ? is one character, not one byte
    EXPECT_FALSE(NameMatch("r?port*").matches("rport"));
    EXPECT_TRUE(NameMatch("img_[0-3]?.jpg").matches("IMG_27.JPG"));
    EXPECT_FALSE(NameMatch("img_[0-3]?.jpg").matches("img_47.jpg"));
    EXPECT_TRUE(NameMatch("[!a]*").matches("b"));
    EXPECT_FALSE(NameMatch("[!a]*").matches("abc"));
    EXPECT_TRUE(NameMatch("*").matchesAll());
    EXPECT_TRUE(NameMatch("a*b*c").matches("aXbYbZc"));
    EXPECT_FALSE(NameMatch("a*b*c").matches("aXbYbZ"));
}

TEST(SearchMatchTest, TextIsFoundIgnoringCaseWherePlacedInABlock) {
    const TextSearch ascii("Brown Fox");
    // Every place relative to the sixteen-byte steps of the scan, and the end.
    for (std::size_t at = 0; at < 40; ++at) {
        const std::string text = std::string(at, '.') + "the BROWN fOX" + std::string(at % 3, '!');
        EXPECT_EQ(ascii.find(text), at + 4) << at;
    }
    EXPECT_EQ(ascii.find("brown fo"), std::string_view::npos);
    EXPECT_EQ(ascii.find("brown_fox brown@fox"), std::string_view::npos); // the case bit lets '@' through
    EXPECT_EQ(ascii.overlap(), 8u);
    EXPECT_EQ(TextSearch("x").find("aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaX"), 32u);

    const TextSearch unicode("ÄPFEL");
    EXPECT_EQ(unicode.find("line one\nrote äpfel\n"), 9u); // the matching line's start
    EXPECT_EQ(unicode.find("apfel\nÄPFE L"), std::string_view::npos);
    EXPECT_GE(unicode.overlap(), std::string("äpfel").size());
}

TEST(SearchMatchTest, AQueryKeepsItsFieldsThroughJson) {
    SearchQuery query;
    query.text = "*.pdf";
    query.mode = SearchMode::content;
    query.startFolder = "/home/someone/Documents";
    query.crossVolumes = true;
    query.type = SearchType::archive;
    query.modifiedWithinSeconds = 86400;
    query.sizeBelow = 1 << 20;
    EXPECT_EQ(SearchQuery::fromJson(parseJsonStrict(query.toJson().dump())), query);
    SearchQuery plain;
    plain.startFolder = "/";
    EXPECT_FALSE(plain.toJson().contains("sizeAbove"));
    EXPECT_EQ(SearchQuery::fromJson(plain.toJson()), plain);

    Json broken = query.toJson();
    broken["type"] = "spreadsheet";
    EXPECT_THROW(SearchQuery::fromJson(broken), JsonDecodeError);
    broken = query.toJson();
    broken["startFolder"] = "relative";
    EXPECT_THROW(SearchQuery::fromJson(broken), JsonDecodeError);
    query.startFolder = "/bad\xff";
    EXPECT_THROW((void)query.toJson(), JsonEncodeError);
}

// Snapshots of a growing content search share their lines: an earlier one
// keeps what it had, lookups find lines in merged and unmerged parts alike,
// and the parts stay few.
TEST(SearchDetailsTest, BatchesOfLinesAreSharedNotCopied) {
    SearchDetails details;
    std::vector<SearchDetails> snapshots;
    int next = 0;
    for (int batch = 0; batch < 60; ++batch) {
        SearchDetails::MatchLines lines;
        for (int i = 0; i < (batch % 3 == 0 ? 1500 : 70); ++i, ++next)
            lines.emplace("id" + std::to_string(next), "line " + std::to_string(next));
        details.addMatchLines(std::move(lines));
        snapshots.push_back(details);
    }
    EXPECT_EQ(details.matchLineCount(), static_cast<std::size_t>(next));
    EXPECT_LE(details.matchLineParts.size(), 2u * static_cast<std::size_t>(next) / 4096 + 2);
    for (int id = 0; id < next; id += 97)
        ASSERT_NE(details.matchLine("id" + std::to_string(id)), nullptr) << id;
    EXPECT_EQ(*details.matchLine("id4242"), "line 4242");
    EXPECT_EQ(details.matchLine("id" + std::to_string(next)), nullptr);
    EXPECT_EQ(snapshots.front().matchLineCount(), 1500u);
    EXPECT_EQ(snapshots.front().matchLine("id1500"), nullptr);
    EXPECT_EQ(*snapshots.front().matchLine("id1499"), "line 1499");
}
