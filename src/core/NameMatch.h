#pragma once

#include <string>
#include <string_view>

namespace dromel {

// Whether a file name answers a search's text, with the name filter's folding
// (case and diacritics ignored, NFC). Text with `*`, `?` or `[` is a glob that
// must match the whole name (`*.pdf`); any other text matches anywhere in the
// name. Immutable; safe to share between threads.
class NameMatch {
public:
    explicit NameMatch(std::string_view text);

    bool matches(std::string_view name) const;
    bool isGlob() const { return m_glob; }
    // True when every name matches (empty text, or a glob of stars).
    bool matchesAll() const { return m_all; }

private:
    bool matchesFolded(std::string_view folded) const;
    bool matchesAscii(std::string_view name) const;

    std::string m_folded;
    // A glob `*literal` is a suffix test, by far the most common glob.
    std::string m_suffix;
    bool m_glob = false;
    bool m_suffixOnly = false;
    bool m_all = false;
};

} // namespace dromel
