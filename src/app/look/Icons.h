#pragma once

#include <QCache>
#include <QIcon>
#include <QMimeDatabase>
#include <QString>

#include <string>
#include <unordered_map>
#include <unordered_set>

namespace dromel {

class FileEntry;

// Icons from the desktop's theme by their freedesktop names. Where the desktop
// names no theme (a bare X session, a window manager alone), a full theme
// installed with Dromel (Breeze, else Adwaita) is used, and a small bundled
// set stands behind everything so the toolbar and the list always draw. File
// icons come from the MIME type guessed from the name alone (its icon name,
// then its generic icon name), so no lookup reads a file; they are cached by
// kind, which the reader already derived from the same MIME type, so a folder
// of 100,000 items costs a few theme lookups. Main thread only.
class Icons {
public:
    static constexpr int kCacheLimit = 200;

    Icons();

    // Puts the bundled set behind the desktop's theme (and in front of nothing
    // when there is no theme). Idempotent; call once a QGuiApplication exists.
    static void installFallback();
    // The theme used when the desktop names none: the first installed of
    // these, in this order.
    static QStringList fallbackThemes();
    // With a theme chosen here (not the desktop's), takes its dark variant on
    // a dark palette and back, so symbolic icons stay visible.
    static void matchPalette(bool dark);
    // A themed icon, else the bundled one; null only for a name neither has.
    static QIcon named(const QString &name);

    // The icon of a listed item: the folder icon (or the icon of a well-known
    // folder such as Downloads), else the icon of its MIME type; links carry
    // the link emblem, mount points the mounted one, folders the user may not
    // open the unreadable one.
    QIcon forEntry(const FileEntry &entry);
    // Folders (path bytes) where a volume is mounted.
    void setMountPoints(std::unordered_set<std::string> paths);
    QIcon forVolume(bool removable) const;
    // Forgets the cached icons (the desktop's theme may have changed).
    void clear();
    int cachedCount() const { return static_cast<int>(m_cache.count()); }

private:
    QIcon baseIcon(const FileEntry &entry, const QString &specialName);
    static QIcon withEmblem(const QIcon &base, std::initializer_list<const char *> emblemNames);

    QCache<QString, QIcon> m_cache;
    QMimeDatabase m_mimeTypes;
    // Well-known folders (path bytes) and the name of their icon.
    std::unordered_map<std::string, QString> m_specialFolders;
    std::unordered_set<std::string> m_mountPoints;
};

} // namespace dromel
