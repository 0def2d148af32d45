#include "sidebar/SidebarIcons.h"

#include <QApplication>
#include <QStyle>

#include <map>

namespace dromel::SidebarIcons {

namespace {

QStyle::StandardPixmap standIn(const std::string &name) {
    if (name == "user-home")
        return QStyle::SP_DirHomeIcon;
    if (name == "user-desktop")
        return QStyle::SP_DesktopIcon;
    if (name.rfind("drive-", 0) == 0)
        return QStyle::SP_DriveHDIcon;
    if (name == "dialog-warning")
        return QStyle::SP_MessageBoxWarning;
    return QStyle::SP_DirIcon;
}

} // namespace

QIcon icon(const std::string &name) {
    // Looked up once per name: data() asks for every painted row.
    static std::map<std::string, QIcon> cache;
    auto found = cache.find(name);
    if (found == cache.end()) {
        const QIcon fallback = QApplication::style()->standardIcon(standIn(name));
        found = cache.emplace(name, QIcon::fromTheme(QString::fromStdString(name), fallback)).first;
    }
    return found->second;
}

} // namespace dromel::SidebarIcons
