#pragma once

#include <QCache>
#include <QIcon>
#include <QMimeDatabase>
#include <QString>

#include <string>
#include <unordered_map>

namespace dromel {

class FileEntry;

// Icons from the desktop's theme by their freedesktop names, with a bundled
// set behind them so a desktop without a theme still shows folders, files and
// the toolbar. File icons come from the MIME type guessed from the name alone,
// so no lookup reads a file; they are cached by kind, which the reader already
// derived from the same MIME type, so a folder of 100,000 items costs a few
// theme lookups. Main thread only.
class Icons {
public:
    static constexpr int kCacheLimit = 200;

    Icons();

    // Puts the bundled set behind the desktop's theme (and in front of nothing
    // when there is no theme). Idempotent; call once a QGuiApplication exists.
    static void installFallback();
    // A themed icon, else the bundled one; null only for a name neither has.
    static QIcon named(const QString &name);

    // The icon of a listed item: the folder icon (or the icon of a well-known
    // folder such as Downloads), else the icon of its MIME type; links carry
    // the link emblem.
    QIcon forEntry(const FileEntry &entry);
    QIcon forVolume(bool removable) const;
    // Forgets the cached icons (the desktop's theme may have changed).
    void clear();
    int cachedCount() const { return static_cast<int>(m_cache.count()); }

private:
    QIcon baseIcon(const FileEntry &entry, const QString &specialName);

    QCache<QString, QIcon> m_cache;
    QMimeDatabase m_mimeTypes;
    // Well-known folders (path bytes) and the name of their icon.
    std::unordered_map<std::string, QString> m_specialFolders;
};

} // namespace dromel
