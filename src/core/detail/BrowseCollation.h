#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Name comparison and containment for listings. Names are bytes: each byte
// that is not part of valid UTF-8 stands for the private-use code point
// U+F700 + byte, so such names still sort and filter, distinctly and stably.
namespace dromel::detail {

bool isAscii(std::string_view text);

// Case folded, diacritics removed, NFC, as UTF-8. ASCII text folds to its lower case.
std::string foldForFilter(std::string_view text);

// Whether `name` (with its cached fold, or null for ASCII names) contains the
// already folded filter.
bool containsFolded(std::string_view name, const std::string *foldedName, std::string_view foldedFilter);

// Re-reads the locale environment for this thread's collator; call once
// before a run of appendSortKey(). Returns the collation's id: equal ids mean
// keys built by any thread compare meaningfully with each other.
std::uint32_t refreshCollation();
// The id of the collation this thread's keys are built with now (never 0).
std::uint32_t currentCollation();

// The collation key of `text`, as appendSortKey() makes it, without the NUL.
std::string sortKey(std::string_view text);

// The first sixteen bytes of a NUL-terminated key as two big-endian words,
// zero-padded after the key's end (the second is 0 when the key ends in the
// first eight). Never reads past the NUL.
struct KeyPrefix {
    std::uint64_t first = 0;
    std::uint64_t second = 0;
};
KeyPrefix keyPrefix(const char *key);

// Appends the collation key of `text` (NUL-terminated) for the user's locale:
// case-insensitive, digit runs by numeric value. Keys compare with strcmp.
void appendSortKey(std::string_view text, std::vector<char> &arena);

// Negative, zero or positive, by the same collation.
int compareNames(std::string_view a, std::string_view b);

// ICU locale id from LC_ALL, LC_COLLATE, LANG; "" (root) for C/POSIX or none.
std::string collationLocale();

} // namespace dromel::detail
