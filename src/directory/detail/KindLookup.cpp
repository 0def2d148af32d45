#include "directory/detail/KindLookup.h"

#include "core/FileEntry.h"

#include <QFile>
#include <QMimeDatabase>

#include <vector>

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

// The patterns a name without a dot can match (Makefile, README*, *~): few,
// so most such names are told apart from them without asking the database.
static const std::vector<std::string> &dotlessPatterns() {
    static const std::vector<std::string> patterns = [] {
        std::vector<std::string> result;
        for (const QMimeType &type : QMimeDatabase().allMimeTypes())
            for (const QString &pattern : type.globPatterns())
                if (!pattern.contains(u'.'))
                    result.push_back(pattern.toStdString());
        return result;
    }();
    return patterns;
}

static char lowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Shell-style matching (*, ?, [set]) ignoring ASCII case: fnmatch() with
// FNM_CASEFOLD converts every name to wide characters, too slow per item.
static bool globMatches(std::string_view pattern, std::string_view name) {
    std::size_t p = 0;
    std::size_t n = 0;
    std::size_t starP = std::string_view::npos;
    std::size_t starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            starP = p++;
            starN = n;
            continue;
        }
        bool matched = false;
        std::size_t next = p + 1;
        if (p < pattern.size() && pattern[p] == '?') {
            matched = true;
        } else if (p < pattern.size() && pattern[p] == '[') {
            const std::size_t close = pattern.find(']', p + 2);
            if (close != std::string_view::npos) {
                const char c = lowerAscii(name[n]);
                for (std::size_t i = p + 1; i < close; ++i) {
                    if (i + 2 < close && pattern[i + 1] == '-') {
                        matched = matched || (c >= lowerAscii(pattern[i]) && c <= lowerAscii(pattern[i + 2]));
                        i += 2;
                    } else {
                        matched = matched || c == lowerAscii(pattern[i]);
                    }
                }
                next = close + 1;
            } else {
                matched = name[n] == '[';
            }
        } else if (p < pattern.size()) {
            matched = lowerAscii(pattern[p]) == lowerAscii(name[n]);
        }
        if (matched) {
            p = next;
            ++n;
        } else if (starP != std::string_view::npos) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*')
        ++p;
    return p == pattern.size();
}

static bool mayHaveNamedType(std::string_view name) {
    for (const std::string &pattern : dotlessPatterns())
        if (globMatches(pattern, name))
            return true;
    return false;
}

std::shared_ptr<const std::string> KindLookup::fileKind(std::string_view name) {
    if (name.find('.') == std::string_view::npos && !mayHaveNamedType(name)) {
        if (!m_plain)
            m_plain = FileEntry::internKind("File");
        return m_plain;
    }
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
