#include "window/PlaceTitles.h"

#include "core/Location.h"

#include <map>

namespace dromel::PlaceTitles {

namespace {

std::map<std::string, QString> &titles() {
    static std::map<std::string, QString> byURL;
    return byURL;
}

} // namespace

void set(const std::string &url, const QString &title) {
    titles()[Location::standardized(url)] = title;
}

std::optional<QString> of(const std::string &url) {
    const auto found = titles().find(Location::standardized(url));
    if (found == titles().end())
        return std::nullopt;
    return found->second;
}

} // namespace dromel::PlaceTitles
