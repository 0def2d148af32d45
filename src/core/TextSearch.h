#pragma once

#include <algorithm>
#include <cstddef>
#include <string>
#include <string_view>

namespace dromel {

// Finds a piece of text in file contents ignoring case: ASCII case for an
// ASCII query (a vector scan for two of its bytes, then a check), Unicode
// simple case folding line by line for any other query. Immutable; safe to
// share between threads.
class TextSearch {
public:
    explicit TextSearch(std::string_view query);

    // Offset of the first match in `text`, or npos. A match never spans the
    // end of `text`: callers that read in blocks keep the last overlap() bytes.
    std::size_t find(std::string_view text) const;
    // Folding may shorten text ("ß" folds to "ss"), hence the margin for
    // other queries.
    std::size_t overlap() const {
        return m_ascii ? std::max<std::size_t>(m_query.size(), 1) - 1 : 3 * m_query.size();
    }
    bool empty() const { return m_query.empty(); }

private:
    std::size_t findAscii(std::string_view text) const;
    std::size_t findFolded(std::string_view text) const;

    std::string m_query; // lower-cased (ASCII) or case-folded UTF-8
    bool m_ascii = true;
    // The query's two bytes the vector scan looks for, and their distance.
    std::size_t m_rareAt = 0;
    unsigned char m_firstLower = 0;
    unsigned char m_rareLower = 0;
    bool m_firstLetter = false;
    bool m_rareLetter = false;
};

} // namespace dromel
