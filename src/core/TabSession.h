#pragma once

#include "core/BrowserTab.h"
#include "core/FileSort.h"
#include "core/JsonSupport.h"
#include "core/SearchQuery.h"
#include "core/TabViewMode.h"

#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace dromel {

// The persisted form of one tab. Paths are raw bytes in memory; see toJson()
// for those that are not UTF-8.
struct TabSession {
    static constexpr std::size_t kMaxHistory = 100;
    static constexpr int kMaxIconZoom = 4096;

    std::vector<std::string> history;
    std::int64_t historyIndex = 0;
    std::string filter;
    FileSort sort;
    std::set<std::string> selection;
    double scrollOffset = 0;
    // A search the tab showed; found again on restore.
    std::optional<SearchQuery> search;
    // Absent from sessions written before the icon view: they read as the
    // list at the default size.
    TabViewMode viewMode = TabViewMode::list;
    int iconZoom = 0;

    TabSession() = default;
    TabSession(std::vector<std::string> history, std::int64_t historyIndex, std::string filter, FileSort sort,
               std::set<std::string> selection, double scrollOffset);
    // A window of at most 100 locations around the current one.
    explicit TabSession(const BrowserTab &tab);

    bool valid() const;
    // Only for a valid session.
    BrowserTab restore() const;

    // JSON cannot hold a path that is not UTF-8, and a repaired path would name
    // another folder, so such locations are left out of "history" and the
    // index follows the current one (or its nearest older, else newer,
    // neighbour when the current one itself is left out). Throws
    // JsonEncodeError when no location remains. Selection ids that are not
    // UTF-8 (or begin with "%") are written as "%" + their percent-encoded
    // bytes and read back exactly; a non-UTF-8 filter is written repaired.
    Json toJson() const;
    static TabSession fromJson(const Json &json);

    friend bool operator==(const TabSession &, const TabSession &) = default;
};

} // namespace dromel
