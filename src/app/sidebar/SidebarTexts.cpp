#include "sidebar/SidebarTexts.h"

namespace dromel::SidebarTexts {

QString text(TextKey key) {
    switch (key) {
    case TextKey::home:
        return QStringLiteral("Home");
    case TextKey::desktop:
        return QStringLiteral("Desktop");
    case TextKey::downloads:
        return QStringLiteral("Downloads");
    case TextKey::documents:
        return QStringLiteral("Documents");
    case TextKey::favorites:
        return QStringLiteral("Favorites");
    case TextKey::tree:
        return QStringLiteral("Folders");
    case TextKey::volumes:
        return QStringLiteral("Volumes");
    case TextKey::loading:
        return QStringLiteral("Loading…");
    case TextKey::readError:
        return QStringLiteral("Cannot read: %1");
    }
    return {};
}

QString readError(const QString &description) {
    return text(TextKey::readError).arg(description);
}

} // namespace dromel::SidebarTexts
