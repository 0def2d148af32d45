#include "core/BrowserSession.h"

namespace dromel {

BrowserSession::BrowserSession(std::vector<TabSession> sessionTabs, std::int64_t active)
    : tabs(std::move(sessionTabs)), activeIndex(active) {}

BrowserSession BrowserSession::fromPaths(const std::vector<std::string> &paths, std::int64_t activeIndex) {
    std::vector<TabSession> tabs;
    tabs.reserve(paths.size());
    for (const std::string &path : paths)
        tabs.emplace_back(std::vector<std::string>{path}, 0, std::string(), FileSort{},
                          std::set<std::string>{}, 0.0);
    return BrowserSession(std::move(tabs), activeIndex);
}

std::vector<std::string> BrowserSession::paths() const {
    std::vector<std::string> result;
    for (const TabSession &tab : tabs)
        result.push_back(tab.history[static_cast<std::size_t>(tab.historyIndex)]);
    return result;
}

bool BrowserSession::valid() const {
    if (schemaVersion != kCurrentVersion || tabs.empty() || tabs.size() > kMaxTabs)
        return false;
    for (const TabSession &tab : tabs)
        if (!tab.valid())
            return false;
    return activeIndex >= 0 && activeIndex < static_cast<std::int64_t>(tabs.size());
}

Json BrowserSession::toJson() const {
    Json written = Json::array();
    std::int64_t active = -1;
    for (std::size_t i = 0; i < tabs.size(); ++i) {
        Json tab;
        try {
            tab = tabs[i].toJson();
        } catch (const JsonEncodeError &) {
            continue; // this tab has no writable location; the others are still saved
        }
        if (static_cast<std::int64_t>(i) <= activeIndex || active < 0)
            active = static_cast<std::int64_t>(written.size());
        written.push_back(std::move(tab));
    }
    if (written.empty())
        throw JsonEncodeError("No tab of the session can be written");
    Json json = Json::object();
    json["schemaVersion"] = schemaVersion;
    json["tabs"] = std::move(written);
    json["activeIndex"] = active;
    return json;
}

BrowserSession BrowserSession::fromJson(const Json &json) {
    const std::int64_t version = json::requireInt(json, "schemaVersion");
    const std::int64_t active = json::requireInt(json, "activeIndex");
    BrowserSession session({}, active);
    if (version == 2) {
        for (const Json &tab : json::requireArray(json, "tabs"))
            session.tabs.push_back(TabSession::fromJson(tab));
    } else if (version == 1) {
        std::vector<std::string> paths;
        for (const Json &path : json::requireArray(json, "paths"))
            paths.push_back(json::asString(path, "paths"));
        session = fromPaths(paths, active);
    } else {
        throw JsonDecodeError("Unsupported session version", "schemaVersion");
    }
    if (!session.valid())
        throw JsonDecodeError("Invalid browsing state", "tabs");
    return session;
}

BrowserSession BrowserSession::decode(std::string_view text) {
    return fromJson(parseJsonStrict(text));
}

} // namespace dromel
