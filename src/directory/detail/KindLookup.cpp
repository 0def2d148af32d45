#include "directory/detail/KindLookup.h"

#include "core/FileEntry.h"

#include <QFile>
#include <QMimeDatabase>
#include <QStandardPaths>

#include <bitset>
#include <fstream>
#include <mutex>
#include <unordered_set>
#include <vector>

namespace dromel::detail {

namespace {

constexpr std::size_t kMaxCached = 4096;

char lowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Shell-style matching (*, ?, [set]) ignoring ASCII case: fnmatch() with
// FNM_CASEFOLD converts every name to wide characters, too slow per item.
bool globMatches(std::string_view pattern, std::string_view name) {
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

// Globs such as "*.tar.gz" span two suffixes, so the key keeps up to two;
// a name without a dot (Makefile, README) is its own key.
std::string_view suffixKey(std::string_view name) {
    const std::size_t last = name.rfind('.');
    if (last == std::string_view::npos || last == 0)
        return name;
    const std::size_t previous = name.rfind('.', last - 1);
    if (previous != std::string_view::npos && previous > 0)
        return name.substr(previous);
    return name.substr(last);
}

// Whether every name with the same suffix key agrees on `pattern`: "*" and a
// tail without "*" whose dots are all literal and either absent (the tail
// then ends after the name's last dot) or two at most with one in front (the
// tail then lies within the key).
bool decidedBySuffix(std::string_view pattern) {
    if (!pattern.starts_with('*'))
        return false;
    const std::string_view tail = pattern.substr(1);
    std::size_t dots = 0;
    for (std::size_t i = 0; i < tail.size(); ++i) {
        if (tail[i] == '*' || tail[i] == '?')
            return false;
        if (tail[i] == '[') {
            const std::size_t close = tail.find(']', i + 1);
            if (close == std::string_view::npos ||
                tail.substr(i, close - i).find('.') != std::string_view::npos)
                return false;
            i = close;
        } else if (tail[i] == '.') {
            ++dots;
        }
    }
    return dots == 0 || (tail.starts_with('.') && dots <= 2);
}

// The type patterns that are not decided by a name's suffix, read once per
// process from the shared-mime-info glob lists (or, where there are none, from
// every type Qt knows, which is much slower).
class NamePatterns {
public:
    static const NamePatterns &instance() {
        static const NamePatterns patterns;
        return patterns;
    }

    // True when a whole-name pattern may match `name` (a superset: case is
    // ignored). Asked for every item of a folder, so it allocates nothing and
    // tries only the globs that can match the name's first character.
    bool mayMatch(std::string_view name) const {
        if (name.empty())
            return false;
        if (name.size() < m_literalLengths.size() && m_literalLengths[name.size()]) {
            char lower[kLiteralLengths];
            for (std::size_t i = 0; i < name.size(); ++i)
                lower[i] = lowerAscii(name[i]);
            if (m_literals.contains(std::string_view(lower, name.size())))
                return true;
        }
        const auto matches = [name](const std::vector<std::string> &patterns) {
            for (const std::string &pattern : patterns)
                if (globMatches(pattern, name))
                    return true;
            return false;
        };
        return matches(m_globsByFirst[static_cast<unsigned char>(lowerAscii(name.front()))]) ||
               matches(m_globs);
    }

    // True when a suffix pattern without a dot ("*~", "*,v") matches a name
    // without a dot.
    bool dotlessTailMatches(std::string_view name) const {
        for (const std::string &pattern : m_dotlessTails)
            if (globMatches(pattern, name))
                return true;
        return false;
    }

private:
    NamePatterns() {
        bool found = false;
        for (const QString &folder : QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation)) {
            std::ifstream globs(QFile::encodeName(folder + QStringLiteral("/mime/globs2")).toStdString());
            found = found || globs.is_open();
            // Lines are "weight:type:pattern[:flags]".
            for (std::string line; std::getline(globs, line);) {
                if (line.empty() || line.front() == '#')
                    continue;
                const std::size_t first = line.find(':');
                const std::size_t second = first == std::string::npos ? first : line.find(':', first + 1);
                if (second == std::string::npos)
                    continue;
                const std::size_t end = line.find(':', second + 1);
                add(line.substr(second + 1, end == std::string::npos ? end : end - second - 1));
            }
        }
        if (!found)
            for (const QMimeType &type : QMimeDatabase().allMimeTypes())
                for (const QString &pattern : type.globPatterns())
                    add(pattern.toStdString());
    }

    void add(std::string pattern) {
        if (pattern.empty())
            return;
        for (char &c : pattern)
            c = lowerAscii(c);
        if (decidedBySuffix(pattern)) {
            if (pattern.find('.') == std::string::npos)
                m_dotlessTails.push_back(std::move(pattern));
        } else if (pattern.find_first_of("*?[") == std::string::npos) {
            if (pattern.size() < m_literalLengths.size())
                m_literalLengths[pattern.size()] = true;
            else
                m_globs.push_back(pattern); // matched as a glob instead
            m_literals.insert(std::move(pattern));
        } else if (pattern.front() != '*' && pattern.front() != '?' && pattern.front() != '[') {
            m_globsByFirst[static_cast<unsigned char>(pattern.front())].push_back(std::move(pattern));
        } else {
            m_globs.push_back(std::move(pattern));
        }
    }

    struct TextHash {
        using is_transparent = void;
        std::size_t operator()(std::string_view text) const { return std::hash<std::string_view>()(text); }
    };
    static constexpr std::size_t kLiteralLengths = 256;

    std::unordered_set<std::string, TextHash, std::equal_to<>> m_literals;
    std::bitset<kLiteralLengths> m_literalLengths;
    std::vector<std::string> m_globsByFirst[256]; // by their first character, lower case
    std::vector<std::string> m_globs;             // those starting with a wildcard
    std::vector<std::string> m_dotlessTails;
};

} // namespace

std::shared_ptr<const std::string> KindLookup::folderKind() {
    if (!m_folder)
        m_folder = FileEntry::internKind("Folder");
    return m_folder;
}

std::shared_ptr<const std::string> KindLookup::lookUp(std::string_view name) const {
    // QMimeDatabase is thread-safe behind its own futex lock, which
    // ThreadSanitizer cannot see; one lock of ours makes the two reader
    // threads' use visible. Lookups are few (cached per suffix), so it costs
    // nothing that matters.
    static std::mutex database;
    std::lock_guard lock(database);
    const QString fileName = QFile::decodeName(QByteArray(name.data(), static_cast<qsizetype>(name.size())));
    const QMimeType type = QMimeDatabase().mimeTypeForFile(fileName, QMimeDatabase::MatchExtension);
    const QString comment = type.isValid() && !type.isDefault() ? type.comment() : QString();
    return FileEntry::internKind(comment.isEmpty() ? std::string("File") : comment.toStdString());
}

std::shared_ptr<const std::string> KindLookup::fileKind(std::string_view name) {
    const NamePatterns &patterns = NamePatterns::instance();
    if (patterns.mayMatch(name))
        return lookUp(name);
    if (name.find('.') == std::string_view::npos) {
        if (patterns.dotlessTailMatches(name))
            return lookUp(name);
        if (!m_plain)
            m_plain = FileEntry::internKind("File");
        return m_plain;
    }
    const std::string key(suffixKey(name));
    if (auto found = m_cache.find(key); found != m_cache.end())
        return found->second;
    auto kind = lookUp(name);
    if (m_cache.size() < kMaxCached)
        m_cache.emplace(key, kind);
    return kind;
}

} // namespace dromel::detail
