#pragma once

#include "core/JsonSupport.h"
#include "core/TabSession.h"

#include <string>
#include <string_view>
#include <vector>

namespace dromel {

// The persisted set of open tabs. No invalid session ever leaves the decoder.
struct BrowserSession {
    static constexpr std::int64_t kCurrentVersion = 2;
    static constexpr std::size_t kMaxTabs = 50;

    std::int64_t schemaVersion = kCurrentVersion;
    std::vector<TabSession> tabs;
    std::int64_t activeIndex = 0;

    BrowserSession(std::vector<TabSession> tabs, std::int64_t activeIndex);
    // The legacy form: one fresh tab per path.
    static BrowserSession fromPaths(const std::vector<std::string> &paths, std::int64_t activeIndex);

    // Each tab's current path; only for a valid session.
    std::vector<std::string> paths() const;
    bool valid() const;

    // Tabs with no writable location (see TabSession::toJson) are left out
    // and activeIndex follows; throws JsonEncodeError when none remains.
    Json toJson() const;
    std::string encoded() const { return toJson().dump(); }
    // Throws JsonDecodeError: "Unsupported session version" (key
    // "schemaVersion"), "Invalid browsing state" (key "tabs"), or a
    // missing-key / type-mismatch error.
    static BrowserSession fromJson(const Json &json);
    static BrowserSession decode(std::string_view text);

    friend bool operator==(const BrowserSession &, const BrowserSession &) = default;
};

} // namespace dromel
