#include "core/TabSession.h"

#include "core/Location.h"

#include <algorithm>
#include <cmath>
#include <optional>

namespace dromel {

namespace {

constexpr char kEscapedIdPrefix = '%';

std::string escapeId(const std::string &id) {
    if (json::isValidUtf8(id) && (id.empty() || id.front() != kEscapedIdPrefix))
        return id;
    static const char *const kHex = "0123456789ABCDEF";
    std::string escaped(1, kEscapedIdPrefix);
    for (unsigned char c : id) {
        escaped += kHex[c >> 4];
        escaped += kHex[c & 0xF];
    }
    return escaped;
}

std::optional<std::string> unescapeId(const std::string &text) {
    if (text.empty() || text.front() != kEscapedIdPrefix)
        return text;
    if ((text.size() - 1) % 2 != 0)
        return std::nullopt;
    std::string id;
    for (std::size_t i = 1; i < text.size(); i += 2) {
        const auto digit = [](char c) -> int {
            if (c >= '0' && c <= '9')
                return c - '0';
            if (c >= 'A' && c <= 'F')
                return c - 'A' + 10;
            return -1;
        };
        const int high = digit(text[i]), low = digit(text[i + 1]);
        if (high < 0 || low < 0)
            return std::nullopt;
        id += static_cast<char>(high * 16 + low);
    }
    return id;
}

} // namespace

TabSession::TabSession(std::vector<std::string> paths, std::int64_t index, std::string filterText,
                       FileSort fileSort, std::set<std::string> selected, double offset)
    : history(std::move(paths)), historyIndex(index), filter(std::move(filterText)), sort(fileSort),
      selection(std::move(selected)), scrollOffset(offset) {}

TabSession::TabSession(const BrowserTab &tab)
    : filter(tab.filter()), sort(tab.sort), selection(tab.selection), scrollOffset(tab.scrollOffset),
      search(tab.search), viewMode(tab.viewMode), iconZoom(tab.iconZoom) {
    const auto count = static_cast<std::int64_t>(tab.history.locations.size());
    const auto index = static_cast<std::int64_t>(tab.history.index);
    const auto limit = static_cast<std::int64_t>(kMaxHistory);
    const std::int64_t start = std::max<std::int64_t>(0, std::min(count - limit, index - limit / 2));
    const std::int64_t end = std::min(count, start + limit);
    history.assign(tab.history.locations.begin() + start, tab.history.locations.begin() + end);
    historyIndex = index - start;
}

bool TabSession::valid() const {
    if (history.empty() || history.size() > kMaxHistory)
        return false;
    if (historyIndex < 0 || historyIndex >= static_cast<std::int64_t>(history.size()))
        return false;
    for (const std::string &path : history)
        if (!path.starts_with('/') || path.find('\0') != std::string::npos)
            return false;
    if (iconZoom < 0 || iconZoom > kMaxIconZoom)
        return false;
    return std::isfinite(scrollOffset) && scrollOffset >= 0;
}

BrowserTab TabSession::restore() const {
    const auto index = static_cast<std::size_t>(historyIndex);
    BrowserTab tab(Uuid::random(), history[index]);
    tab.history = NavigationHistory(history, index);
    tab.setFilter(filter);
    tab.sort = sort;
    tab.scrollOffset = scrollOffset;
    tab.search = search;
    tab.viewMode = viewMode;
    tab.iconZoom = iconZoom;
    return tab;
}

Json TabSession::toJson() const {
    Json paths = Json::array();
    std::int64_t index = -1;
    std::int64_t nearestNewer = -1;
    for (std::size_t i = 0; i < history.size(); ++i) {
        if (!json::isValidUtf8(history[i]))
            continue;
        const auto position = static_cast<std::int64_t>(i);
        if (position <= historyIndex)
            index = static_cast<std::int64_t>(paths.size());
        else if (nearestNewer < 0)
            nearestNewer = static_cast<std::int64_t>(paths.size());
        paths.push_back(history[i]);
    }
    if (paths.empty())
        throw JsonEncodeError("No location of the tab can be written");
    if (index < 0)
        index = nearestNewer;

    Json selected = Json::array();
    for (const std::string &id : selection)
        selected.push_back(escapeId(id));

    Json json = Json::object();
    json["history"] = std::move(paths);
    json["historyIndex"] = index;
    json["filter"] = json::repairedUtf8(filter);
    json["sort"] = sort.toJson();
    json["selection"] = std::move(selected);
    json["scrollOffset"] = scrollOffset;
    json["viewMode"] = rawValue(viewMode);
    json["iconZoom"] = iconZoom;
    // The query only: results are found again. A query JSON cannot hold is
    // not kept.
    if (search) {
        try {
            json["search"] = search->toJson();
        } catch (const JsonEncodeError &) {
        }
    }
    return json;
}

TabSession TabSession::fromJson(const Json &json) {
    json::expectObject(json, "tabs");
    TabSession tab;
    for (const Json &path : json::requireArray(json, "history"))
        tab.history.push_back(json::asString(path, "history"));
    tab.historyIndex = json::requireInt(json, "historyIndex");
    tab.filter = json::requireString(json, "filter");
    tab.sort = FileSort::fromJson(json::requireObject(json, "sort"));
    for (const Json &id : json::requireArray(json, "selection")) {
        const auto decoded = unescapeId(json::asString(id, "selection"));
        if (!decoded)
            throw JsonDecodeError("Invalid selection identifier", "selection");
        tab.selection.insert(*decoded);
    }
    tab.scrollOffset = json::requireDouble(json, "scrollOffset");
    // A mode a later version added reads as the list rather than losing
    // every tab.
    if (const auto mode = json::optionalString(json, "viewMode"))
        tab.viewMode = tabViewModeFromRawValue(*mode).value_or(TabViewMode::list);
    if (const auto zoom = json::optionalInt(json, "iconZoom")) {
        if (*zoom < 0 || *zoom > kMaxIconZoom)
            throw JsonDecodeError("Invalid icon size", "iconZoom");
        tab.iconZoom = static_cast<int>(*zoom);
    }
    if (json.contains("search"))
        tab.search = SearchQuery::fromJson(json::requireObject(json, "search"));
    return tab;
}

} // namespace dromel
