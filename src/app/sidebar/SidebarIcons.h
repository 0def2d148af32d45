#pragma once

#include <QIcon>

#include <string>

namespace dromel::SidebarIcons {

// The theme icon `name` ("user-home", "folder", "drive-harddisk", ...), or a
// stand-in from the widget style where the theme has none.
QIcon icon(const std::string &name);

} // namespace dromel::SidebarIcons
