#pragma once

#include <QString>

namespace dromel {

// The sidebar's texts by key (the keys of the application's text tables).
enum class TextKey { home, desktop, downloads, documents, favorites, tree, volumes, loading, readError };

namespace SidebarTexts {

QString text(TextKey key);
// readError with the failure's description.
QString readError(const QString &description);

} // namespace SidebarTexts

} // namespace dromel
