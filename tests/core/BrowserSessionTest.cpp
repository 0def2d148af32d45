#include "core/BrowserSession.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace dromel;

namespace {

std::string decodeError(const std::string &text) {
    try {
        BrowserSession::decode(text);
    } catch (const JsonDecodeError &error) {
        return error.what();
    }
    return "decoded";
}

// Appended rather than "/" + text: GCC 12 at -O2 reports a false -Wrestrict
// on the inlined insert of operator+(const char *, std::string &&).
std::string numbered(std::size_t number) {
    std::string path("/");
    path += std::to_string(number);
    return path;
}

BrowserTab tabWithHistory(std::size_t count, std::size_t index) {
    BrowserTab tab(Uuid::random(), "/0");
    for (std::size_t i = 1; i < count; ++i)
        tab.history.visit(numbered(i));
    tab.history.index = index;
    return tab;
}

} // namespace

TEST(BrowserSessionTest, HistoryWindowKeepsHundredAroundTheCurrentLocation) {
    struct Case {
        std::size_t index, first, windowIndex;
    };
    for (const Case c :
         {Case{10, 0, 10}, Case{200, 150, 50}, Case{240, 150, 90}, Case{0, 0, 0}, Case{249, 150, 99}}) {
        const TabSession tab(tabWithHistory(250, c.index));
        ASSERT_EQ(tab.history.size(), 100u);
        EXPECT_EQ(tab.history.front(), numbered(c.first));
        EXPECT_EQ(tab.historyIndex, static_cast<std::int64_t>(c.windowIndex));
        EXPECT_TRUE(tab.valid());
    }
}

TEST(BrowserSessionTest, RoundTripKeepsEveryField) {
    BrowserTab live = tabWithHistory(3, 1);
    live.setFilter("Caf\xC3\xA9 ");
    live.sort = FileSort{SortColumn::modified, false};
    live.selection = {"1:2:a", "1:3:b"};
    live.scrollOffset = 123.456789012345;
    const BrowserSession session({TabSession(live), TabSession(tabWithHistory(1, 0))}, 1);
    const std::string text = session.encoded();
    EXPECT_EQ(
        text.rfind(R"({"schemaVersion":2,"tabs":[{"history":["/0","/1","/2"],"historyIndex":1,"filter":)", 0),
        0u)
        << text;
    const BrowserSession back = BrowserSession::decode(text);
    EXPECT_EQ(back, session);
    const BrowserTab restored = back.tabs[0].restore();
    EXPECT_EQ(restored.url(), "/1");
    EXPECT_EQ(restored.history, live.history);
    EXPECT_EQ(restored.sort, live.sort);
    EXPECT_TRUE(restored.selection.empty());
    EXPECT_EQ(back.paths(), (std::vector<std::string>{"/1", "/0"}));
}

TEST(BrowserSessionTest, DecodeFailuresNameTheirCause) {
    const std::string tab =
        R"({"history":["/a"],"historyIndex":0,"filter":"","sort":{"column":"name","ascending":true},"selection":["x","x"],"scrollOffset":-0.0})";
    const std::string good = R"({"schemaVersion":2,"tabs":[)" + tab + R"(],"activeIndex":0})";
    const BrowserSession session = BrowserSession::decode(good);
    EXPECT_EQ(session.tabs[0].selection.size(), 1u);
    EXPECT_TRUE(std::signbit(session.tabs[0].scrollOffset));
    EXPECT_EQ(decodeError(R"({"schemaVersion":3,"tabs":[],"activeIndex":0})"), "Unsupported session version");
    const auto replaced = [&](const std::string &from, const std::string &to) {
        std::string text = good;
        text.replace(text.find(from), from.size(), to);
        return decodeError(text);
    };
    EXPECT_EQ(replaced("-0.0", "-1"), "Invalid browsing state");
    for (const auto &[from, to] : std::vector<std::pair<std::string, std::string>>{
             {"\"historyIndex\":0", "\"historyIndex\":\"0\""},
             {"[\"x\",\"x\"]", "[1]"},
             {"\"schemaVersion\":2", "\"schemaVersion\":2,\"schemaVersion\":2"},
             {"\"/a\"", "\"/\xFF\""}})
        EXPECT_NE(replaced(from, to), "decoded") << to;
    EXPECT_NE(decodeError(std::string(100, '[') + std::string(100, ']')), "decoded");
}

TEST(BrowserSessionTest, PathsThatAreNotUtf8StayOutOfTheWrittenWindow) {
    TabSession tab({"/ok1", "/bad\xFF", "/ok2"}, 1, "f", FileSort{}, {"1:2:n\xFF", "%literal", "plain"}, 0);
    const Json json = tab.toJson();
    EXPECT_EQ(json["history"], Json::parse(R"(["/ok1","/ok2"])"));
    EXPECT_EQ(json["historyIndex"], 0);
    const TabSession back = TabSession::fromJson(json);
    EXPECT_EQ(back.selection, tab.selection);
    EXPECT_TRUE(back.valid());
    tab.historyIndex = 2;
    EXPECT_EQ(tab.toJson()["historyIndex"], 1);
    TabSession first({"/bad\xFF", "/ok"}, 0, "", FileSort{}, {}, 0);
    EXPECT_EQ(first.toJson()["historyIndex"], 0);

    const TabSession lost({"/only\xFE"}, 0, "", FileSort{}, {}, 0);
    const TabSession kept({"/k"}, 0, "", FileSort{}, {}, 0);
    const BrowserSession session({kept, lost, kept}, 1);
    const BrowserSession written = BrowserSession::decode(session.encoded());
    EXPECT_EQ(written.tabs.size(), 2u);
    EXPECT_EQ(written.activeIndex, 0);
    EXPECT_THROW(BrowserSession({lost}, 0).toJson(), JsonEncodeError);
}

TEST(BrowserSessionTest, ViewModeAndZoomTravelWithTheTab) {
    BrowserTab live = tabWithHistory(2, 1);
    live.viewMode = TabViewMode::icons;
    live.iconZoom = 160;
    const BrowserSession session({TabSession(live), TabSession(tabWithHistory(1, 0))}, 0);
    const BrowserSession back = BrowserSession::decode(session.encoded());
    EXPECT_EQ(back, session);
    const BrowserTab restored = back.tabs[0].restore();
    EXPECT_EQ(restored.viewMode, TabViewMode::icons);
    EXPECT_EQ(restored.iconZoom, 160);
    EXPECT_EQ(back.tabs[1].viewMode, TabViewMode::list);

    // Sessions written before the icon view, and a mode a later version may add.
    const std::string old =
        R"({"history":["/a"],"historyIndex":0,"filter":"","sort":{"column":"name","ascending":true},"selection":[],"scrollOffset":0)";
    const auto tab = [&](const std::string &extra) {
        return TabSession::fromJson(Json::parse(old + extra + "}"));
    };
    EXPECT_EQ(tab("").viewMode, TabViewMode::list);
    EXPECT_EQ(tab("").iconZoom, 0);
    EXPECT_EQ(tab(R"(,"viewMode":"columns")").viewMode, TabViewMode::list);
    EXPECT_THROW(tab(R"(,"viewMode":2)"), JsonDecodeError);
    EXPECT_THROW(tab(R"(,"iconZoom":-1)"), JsonDecodeError);
    EXPECT_THROW(tab(R"(,"iconZoom":"big")"), JsonDecodeError);
}
