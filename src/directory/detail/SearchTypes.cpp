#include "directory/detail/SearchTypes.h"

#include <QMimeDatabase>

namespace dromel::detail {

namespace {

bool startsWithAny(const QString &name, std::initializer_list<const char *> prefixes) {
    for (const char *prefix : prefixes)
        if (name.startsWith(QLatin1String(prefix)))
            return true;
    return false;
}

SearchType familyOf(const QMimeType &type) {
    const QString name = type.name();
    if (name.startsWith(QLatin1String("image/")))
        return SearchType::image;
    if (name.startsWith(QLatin1String("audio/")))
        return SearchType::audio;
    if (name.startsWith(QLatin1String("video/")))
        return SearchType::video;
    if (type.inherits(QStringLiteral("application/x-compressed-tar")) ||
        startsWithAny(name,
                      {"application/zip", "application/x-tar", "application/gzip", "application/x-7z",
                       "application/x-rar", "application/vnd.rar", "application/x-xz", "application/x-bzip",
                       "application/zstd", "application/x-zstd", "application/x-lzma",
                       "application/x-compress", "application/x-archive", "application/x-cpio",
                       "application/vnd.debian.binary-package", "application/x-rpm", "application/x-lz"}))
        return SearchType::archive;
    if (name.startsWith(QLatin1String("text/")) || type.inherits(QStringLiteral("text/plain")) ||
        startsWithAny(name, {"application/pdf", "application/vnd.oasis.opendocument", "application/msword",
                             "application/vnd.openxmlformats-officedocument", "application/vnd.ms-",
                             "application/rtf", "application/epub", "application/x-tex",
                             "application/postscript", "application/x-mobipocket"}))
        return SearchType::document;
    return SearchType::any;
}

char lowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

} // namespace

bool SearchTypes::fileIs(SearchType type, std::string_view name) {
    if (type == SearchType::any)
        return true;
    if (type == SearchType::folder)
        return false;
    const std::size_t dot = name.rfind('.');
    if (dot == std::string_view::npos || dot == 0 || dot + 1 == name.size() || name.size() - dot > 12)
        return typeOf(name) == type;
    std::string suffix(name.substr(dot));
    for (char &c : suffix)
        c = lowerAscii(c);
    auto found = m_bySuffix.find(suffix);
    if (found == m_bySuffix.end())
        found = m_bySuffix.emplace(suffix, typeOf(name)).first;
    return found->second == type;
}

SearchType SearchTypes::typeOf(std::string_view name) const {
    // QMimeDatabase is thread-safe; by name only, so nothing is read.
    const QMimeType type = QMimeDatabase().mimeTypeForFile(
        QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())), QMimeDatabase::MatchExtension);
    return type.isValid() && !type.isDefault() ? familyOf(type) : SearchType::any;
}

} // namespace dromel::detail
