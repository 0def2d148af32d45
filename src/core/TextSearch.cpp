#include "core/TextSearch.h"

#include "core/detail/BrowseCollation.h"

#include <unicode/unistr.h>

#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace dromel {

namespace {

bool isLetter(unsigned char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

unsigned char lower(unsigned char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<unsigned char>(c - 'A' + 'a') : c;
}

// How common a byte is in text and source code, roughly: the scan keys on the
// query's least common byte so that candidates are few.
int commonness(unsigned char c) {
    if (c == ' ' || c == 'e' || c == 't' || c == 'a' || c == 'o' || c == 'i' || c == 'n' || c == 's' ||
        c == 'r')
        return 3;
    if (isLetter(c))
        return 2;
    if (c == '_' || c == '.' || c == ',' || c == '(' || c == ')' || c == '\n' || c == '-')
        return 2;
    return 1;
}

std::string foldCase(std::string_view text) {
    icu::UnicodeString unicode =
        icu::UnicodeString::fromUTF8(icu::StringPiece(text.data(), static_cast<std::int32_t>(text.size())));
    unicode.foldCase();
    std::string folded;
    unicode.toUTF8String(folded);
    return folded;
}

bool equalsIgnoringAsciiCase(const char *text, std::string_view lowered) {
    for (std::size_t i = 0; i < lowered.size(); ++i)
        if (lower(static_cast<unsigned char>(text[i])) != static_cast<unsigned char>(lowered[i]))
            return false;
    return true;
}

} // namespace

TextSearch::TextSearch(std::string_view query) {
    m_ascii = detail::isAscii(query);
    if (!m_ascii) {
        m_query = foldCase(query);
        return;
    }
    m_query.assign(query);
    for (char &c : m_query)
        c = static_cast<char>(lower(static_cast<unsigned char>(c)));
    if (m_query.empty())
        return;
    m_rareAt = m_query.size() - 1;
    for (std::size_t i = m_query.size(); i-- > 1;)
        if (commonness(static_cast<unsigned char>(m_query[i])) <
            commonness(static_cast<unsigned char>(m_query[m_rareAt])))
            m_rareAt = i;
    m_firstLower = static_cast<unsigned char>(m_query[0]);
    m_rareLower = static_cast<unsigned char>(m_query[m_rareAt]);
    m_firstLetter = isLetter(m_firstLower);
    m_rareLetter = isLetter(m_rareLower);
}

std::size_t TextSearch::find(std::string_view text) const {
    if (m_query.empty())
        return 0;
    return m_ascii ? findAscii(text) : findFolded(text);
}

std::size_t TextSearch::findAscii(std::string_view text) const {
    const std::size_t size = m_query.size();
    if (text.size() < size)
        return std::string_view::npos;
    const std::size_t last = text.size() - size; // last possible start
    const char *data = text.data();
    std::size_t start = 0;
#if defined(__SSE2__)
    // Sixteen starts at a time: the first byte and the rarest byte of the
    // query must both be there (letters compared with the case bit set, which
    // lets a few non-letters through; the check below drops them).
    const __m128i firstCase = _mm_set1_epi8(static_cast<char>(m_firstLetter ? 0x20 : 0));
    const __m128i rareCase = _mm_set1_epi8(static_cast<char>(m_rareLetter ? 0x20 : 0));
    const __m128i first = _mm_set1_epi8(static_cast<char>(m_firstLower));
    const __m128i rare = _mm_set1_epi8(static_cast<char>(m_rareLower));
    for (; start + 16 <= last + 1; start += 16) {
        const __m128i a =
            _mm_or_si128(_mm_loadu_si128(reinterpret_cast<const __m128i *>(data + start)), firstCase);
        const __m128i b = _mm_or_si128(
            _mm_loadu_si128(reinterpret_cast<const __m128i *>(data + start + m_rareAt)), rareCase);
        auto mask = static_cast<unsigned>(
            _mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(a, first), _mm_cmpeq_epi8(b, rare))));
        while (mask != 0) {
            const std::size_t at = start + static_cast<std::size_t>(__builtin_ctz(mask));
            if (equalsIgnoringAsciiCase(data + at, m_query))
                return at;
            mask &= mask - 1;
        }
    }
#endif
    for (; start <= last; ++start)
        if (lower(static_cast<unsigned char>(data[start])) == m_firstLower &&
            equalsIgnoringAsciiCase(data + start, m_query))
            return start;
    return std::string_view::npos;
}

std::size_t TextSearch::findFolded(std::string_view text) const {
    // Folding may change a line's length, so matches are found line by line
    // and reported at the line's start.
    std::size_t start = 0;
    while (start < text.size()) {
        const auto *end =
            static_cast<const char *>(std::memchr(text.data() + start, '\n', text.size() - start));
        const std::size_t stop = end ? static_cast<std::size_t>(end - text.data()) : text.size();
        if (foldCase(text.substr(start, stop - start)).find(m_query) != std::string::npos)
            return start;
        start = stop + 1;
    }
    return std::string_view::npos;
}

} // namespace dromel
