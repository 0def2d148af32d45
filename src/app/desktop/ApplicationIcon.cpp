#include "desktop/ApplicationIcon.h"

namespace dromel {

QIcon ApplicationIcon::of(const DesktopApplication &application) {
    const QString name = QString::fromStdString(application.icon);
    if (name.startsWith(QLatin1Char('/')))
        return QIcon(name);
    const QIcon fallback = QIcon::fromTheme(QStringLiteral("application-x-executable"));
    return name.isEmpty() ? fallback : QIcon::fromTheme(name, fallback);
}

} // namespace dromel
