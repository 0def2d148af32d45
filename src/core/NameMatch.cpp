#include "core/NameMatch.h"

#include "core/detail/BrowseCollation.h"

namespace dromel {

namespace {

char lowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Bytes of the UTF-8 sequence starting with `lead` (1 for a stray byte), so
// `?` and a set stand for one character as the user sees it.
std::size_t sequenceLength(unsigned char lead) {
    if (lead >= 0xF0 && lead < 0xF8)
        return 4;
    if (lead >= 0xE0)
        return lead < 0xF0 ? 3 : 1;
    if (lead >= 0xC0)
        return 2;
    return 1;
}

std::size_t characterAt(std::string_view text, std::size_t at) {
    return std::min(sequenceLength(static_cast<unsigned char>(text[at])), text.size() - at);
}

// Matches the set starting at pattern[p] == '[' against the character at
// name[n]; returns the pattern index after the set, or npos when the pattern
// has no closing bracket (then '[' is literal).
std::size_t matchSet(std::string_view pattern, std::size_t p, std::string_view character, bool &matched) {
    std::size_t i = p + 1;
    const bool negated = i < pattern.size() && (pattern[i] == '!' || pattern[i] == '^');
    if (negated)
        ++i;
    const std::size_t first = i;
    const std::size_t close = pattern.find(']', first + 1);
    if (close == std::string_view::npos)
        return std::string_view::npos;
    matched = false;
    while (i < close) {
        const std::string_view low = pattern.substr(i, characterAt(pattern, i));
        i += low.size();
        if (i + 1 < close && pattern[i] == '-') {
            const std::string_view high = pattern.substr(i + 1, characterAt(pattern, i + 1));
            i += 1 + high.size();
            matched = matched || (character >= low && character <= high);
        } else {
            matched = matched || character == low;
        }
    }
    matched = matched != negated;
    return close + 1;
}

// Shell-style matching of an already folded name by an already folded pattern,
// one character (not byte) per `?` or set.
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
        const std::size_t width = characterAt(name, n);
        bool matched = false;
        std::size_t nextP = p + 1;
        if (p < pattern.size() && pattern[p] == '?') {
            matched = true;
        } else if (p < pattern.size() && pattern[p] == '[') {
            nextP = matchSet(pattern, p, name.substr(n, width), matched);
            if (nextP == std::string_view::npos) {
                matched = name[n] == '[';
                nextP = p + 1;
            }
        } else if (p < pattern.size()) {
            const std::size_t literal = characterAt(pattern, p);
            matched = pattern.substr(p, literal) == name.substr(n, width);
            nextP = p + literal;
        }
        if (matched) {
            p = nextP;
            n += width;
        } else if (starP != std::string_view::npos) {
            p = starP + 1;
            n = starN + characterAt(name, starN);
            starN = n;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*')
        ++p;
    return p == pattern.size();
}

} // namespace

NameMatch::NameMatch(std::string_view text) : m_folded(detail::foldForFilter(text)) {
    m_glob = m_folded.find_first_of("*?[") != std::string::npos;
    m_all = m_folded.empty() || m_folded.find_first_not_of('*') == std::string::npos;
    if (m_glob && m_folded.size() > 1 && m_folded[0] == '*' &&
        m_folded.find_first_of("*?[", 1) == std::string::npos) {
        m_suffixOnly = true;
        m_suffix = m_folded.substr(1);
    }
}

bool NameMatch::matches(std::string_view name) const {
    if (m_all)
        return true;
    if (detail::isAscii(name))
        return matchesAscii(name);
    return matchesFolded(detail::foldForFilter(name));
}

bool NameMatch::matchesAscii(std::string_view name) const {
    if (!m_glob)
        return detail::containsFolded(name, nullptr, m_folded);
    if (m_suffixOnly) {
        if (name.size() < m_suffix.size())
            return false;
        const std::size_t start = name.size() - m_suffix.size();
        for (std::size_t i = 0; i < m_suffix.size(); ++i)
            if (lowerAscii(name[start + i]) != m_suffix[i])
                return false;
        return true;
    }
    std::string lower(name);
    for (char &c : lower)
        c = lowerAscii(c);
    return globMatches(m_folded, lower);
}

bool NameMatch::matchesFolded(std::string_view folded) const {
    if (!m_glob)
        return folded.find(m_folded) != std::string_view::npos;
    if (m_suffixOnly)
        return folded.ends_with(m_suffix);
    return globMatches(m_folded, folded);
}

} // namespace dromel
