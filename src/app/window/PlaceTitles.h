#pragma once

#include <QString>

#include <optional>
#include <string>

// The names of places that are not plain folders (the Trash), for the window's
// title and the tabs; every other location is named by its last part. Main
// thread only.
namespace dromel::PlaceTitles {

void set(const std::string &url, const QString &title);
std::optional<QString> of(const std::string &url);

} // namespace dromel::PlaceTitles
