// How a search's text meets names and contents, and how a query is kept.
#include "core/NameMatch.h"
#include "core/SearchQuery.h"
#include "core/TextSearch.h"

#include <gtest/gtest.h>

#include <string>

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
