#include "look/Icons.h"

#include "core/FileEntry.h"
#include "look/EmblemIconEngine.h"

#include <QFile>
#include <QStandardPaths>

// The resource initialiser lives in a static library; naming it here keeps the
// linker from dropping the bundled icons.
static void initialiseBundledIcons() {
    Q_INIT_RESOURCE(Icons);
}

namespace dromel {

namespace {

const QString kFallbackTheme = QStringLiteral("dromel-fallback");
const QString kThemeRoot = QStringLiteral(":/icons");
const QString kBundledFolder = QStringLiteral(":/icons/dromel-fallback/scalable/");

// Whether the theme in use was picked by installFallback().
bool &chosenHere() {
    static bool chosen = false;
    return chosen;
}

std::string pathBytes(const QString &path) {
    return QFile::encodeName(path).toStdString();
}

} // namespace

Icons::Icons() : m_cache(kCacheLimit) {
    installFallback();
    const QString home = QStandardPaths::writableLocation(QStandardPaths::HomeLocation);
    // The desktop's special folders (xdg-user-dirs) and their icons.
    const std::pair<QStandardPaths::StandardLocation, const char *> wellKnown[] = {
        {QStandardPaths::DesktopLocation, "user-desktop"},
        {QStandardPaths::DownloadLocation, "folder-download"},
        {QStandardPaths::DocumentsLocation, "folder-documents"},
        {QStandardPaths::MusicLocation, "folder-music"},
        {QStandardPaths::PicturesLocation, "folder-pictures"},
        {QStandardPaths::MoviesLocation, "folder-videos"},
        {QStandardPaths::TemplatesLocation, "folder-templates"},
        {QStandardPaths::PublicShareLocation, "folder-publicshare"},
    };
    // XDG points unset folders at home; home keeps its own icon then.
    for (const auto &[location, name] : wellKnown) {
        const QString path = QStandardPaths::writableLocation(location);
        if (!path.isEmpty() && path != home)
            m_specialFolders.emplace(pathBytes(path), QString::fromLatin1(name));
    }
    if (!home.isEmpty())
        m_specialFolders.emplace(pathBytes(home), QStringLiteral("user-home"));
}

void Icons::installFallback() {
    static bool installed = false;
    if (installed)
        return;
    installed = true;
    initialiseBundledIcons();
    QStringList themePaths = QIcon::themeSearchPaths();
    // Some platform plugins (offscreen, minimal) name no theme folders: the
    // XDG data folders' icons are where Linux keeps themes.
    for (const QString &folder : QStandardPaths::locateAll(
             QStandardPaths::GenericDataLocation, QStringLiteral("icons"), QStandardPaths::LocateDirectory))
        if (!themePaths.contains(folder))
            themePaths.append(folder);
    if (!themePaths.contains(kThemeRoot))
        themePaths.append(kThemeRoot);
    QIcon::setThemeSearchPaths(themePaths);
    QIcon::setFallbackThemeName(kFallbackTheme);
    QStringList plainPaths = QIcon::fallbackSearchPaths();
    plainPaths.append(kBundledFolder);
    QIcon::setFallbackSearchPaths(plainPaths);
    // Qt's generic platform names no theme (or only hicolor, which has no
    // file types): file types would then all look alike.
    const QString desktopTheme = QIcon::themeName();
    if (desktopTheme.isEmpty() || desktopTheme == QStringLiteral("hicolor")) {
        QString chosen = kFallbackTheme;
        for (const QString &theme : fallbackThemes())
            for (const QString &folder : QIcon::themeSearchPaths())
                if (chosen == kFallbackTheme &&
                    QFile::exists(folder + '/' + theme + QStringLiteral("/index.theme")))
                    chosen = theme;
        QIcon::setThemeName(chosen);
        chosenHere() = true;
    }
}

void Icons::matchPalette(bool dark) {
    if (!chosenHere())
        return;
    const QString theme = QIcon::themeName();
    const QString suffix = QStringLiteral("-dark");
    const QString light = theme.endsWith(suffix) ? theme.chopped(suffix.size()) : theme;
    const QString wanted = dark ? light + suffix : light;
    if (wanted == theme)
        return;
    for (const QString &folder : QIcon::themeSearchPaths())
        if (QFile::exists(folder + '/' + wanted + QStringLiteral("/index.theme"))) {
            QIcon::setThemeName(wanted);
            return;
        }
}

QStringList Icons::fallbackThemes() {
    // Breeze draws a distinct icon for several hundred MIME types; Adwaita
    // only for their generic families.
    return {QStringLiteral("breeze"), QStringLiteral("Adwaita")};
}

QIcon Icons::named(const QString &name) {
    QIcon icon = QIcon::fromTheme(name);
    if (icon.isNull() && QFile::exists(kBundledFolder + name + QStringLiteral(".svg")))
        icon = QIcon(kBundledFolder + name + QStringLiteral(".svg"));
    return icon;
}

QIcon Icons::forEntry(const FileEntry &entry) {
    QString special;
    if (entry.isNavigable() && !m_specialFolders.empty()) {
        if (const auto found = m_specialFolders.find(entry.url()); found != m_specialFolders.end())
            special = found->second;
    }
    QString key = !special.isEmpty()    ? QStringLiteral("s:") + special
                  : entry.isNavigable() ? QStringLiteral("d")
                                        : QStringLiteral("f:") + QString::fromStdString(entry.kind());
    const bool mounted = entry.isNavigable() && !m_mountPoints.empty() && m_mountPoints.contains(entry.url());
    if (entry.isSymbolicLink())
        key += QStringLiteral("|link");
    else if (mounted)
        key += QStringLiteral("|mount");
    else if (entry.isUnreadable())
        key += QStringLiteral("|locked");
    if (const QIcon *cached = m_cache.object(key))
        return *cached;
    QIcon icon = baseIcon(entry, special);
    if (entry.isSymbolicLink())
        icon = withEmblem(icon, {"emblem-symbolic-link"});
    else if (mounted)
        icon = withEmblem(icon, {"emblem-mounted", "drive-harddisk"});
    else if (entry.isUnreadable())
        icon = withEmblem(icon, {"emblem-unreadable", "emblem-locked"});
    m_cache.insert(key, new QIcon(icon));
    return icon;
}

QIcon Icons::withEmblem(const QIcon &base, std::initializer_list<const char *> emblemNames) {
    for (const char *name : emblemNames)
        if (QIcon emblem = named(QString::fromLatin1(name)); !emblem.isNull())
            return QIcon(new EmblemIconEngine(base, emblem));
    return base;
}

void Icons::setMountPoints(std::unordered_set<std::string> paths) {
    if (paths == m_mountPoints)
        return;
    m_mountPoints = std::move(paths);
    m_cache.clear();
}

QIcon Icons::baseIcon(const FileEntry &entry, const QString &specialName) {
    if (!specialName.isEmpty()) {
        QIcon icon = named(specialName);
        if (!icon.isNull())
            return icon;
    }
    if (entry.isNavigable())
        return named(QStringLiteral("folder"));
    const QString fileName =
        QString::fromUtf8(entry.name().data(), static_cast<qsizetype>(entry.name().size()));
    const QMimeType type = m_mimeTypes.mimeTypeForFile(fileName, QMimeDatabase::MatchExtension);
    if (type.isValid() && !type.isDefault()) {
        for (const QString &name : {type.iconName(), type.genericIconName()}) {
            QIcon icon = named(name);
            if (!icon.isNull())
                return icon;
        }
    }
    return named(QStringLiteral("text-x-generic"));
}

QIcon Icons::forVolume(bool removable) const {
    return named(removable ? QStringLiteral("drive-removable-media") : QStringLiteral("drive-harddisk"));
}

void Icons::clear() {
    m_cache.clear();
}

} // namespace dromel
