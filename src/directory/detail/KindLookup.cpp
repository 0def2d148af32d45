#include "directory/detail/KindLookup.h"

#include "core/FileEntry.h"

#include <QFile>
#include <QMimeDatabase>

namespace dromel::detail {

static constexpr std::size_t kMaxCached = 4096;

// Globs such as "*.tar.gz" span two suffixes, so the key keeps up to two;
// a name without a dot (Makefile, README) is its own key.
static std::string_view cacheKey(std::string_view name) {
    const std::size_t last = name.rfind('.');
    if (last == std::string_view::npos || last == 0)
        return name;
    const std::size_t previous = name.rfind('.', last - 1);
    if (previous != std::string_view::npos && previous > 0)
        return name.substr(previous);
    return name.substr(last);
}

std::shared_ptr<const std::string> KindLookup::folderKind() {
    if (!m_folder)
        m_folder = FileEntry::internKind("Folder");
    return m_folder;
}

std::shared_ptr<const std::string> KindLookup::fileKind(std::string_view name) {
    const std::string key(cacheKey(name));
    if (auto found = m_cache.find(key); found != m_cache.end())
        return found->second;
    const QString fileName = QFile::decodeName(QByteArray(name.data(), static_cast<qsizetype>(name.size())));
    const QMimeType type = QMimeDatabase().mimeTypeForFile(fileName, QMimeDatabase::MatchExtension);
    const QString comment = type.isValid() && !type.isDefault() ? type.comment() : QString();
    auto kind = FileEntry::internKind(comment.isEmpty() ? std::string("File") : comment.toStdString());
    if (m_cache.size() < kMaxCached)
        m_cache.emplace(key, kind);
    return kind;
}

} // namespace dromel::detail
