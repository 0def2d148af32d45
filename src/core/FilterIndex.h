#pragma once

#include "core/FileEntryList.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace dromel {

// The folded names of one listing laid end to end, in its order. The name
// filter then reads one contiguous buffer instead of touching every entry of a
// large listing where it lies on the heap, which is what makes filtering
// 100,000 names slow. Immutable once built; may be built on any thread.
class FilterIndex {
public:
    explicit FilterIndex(const FileEntryList &entries);

    std::size_t size() const { return m_ends.size(); }

    // FileSort::filtered(entries, filter) for the list this was built from
    // (any other list is filtered entry by entry).
    FileEntryList filtered(const FileEntryList &entries, std::string_view filter) const;

private:
    // Each folded name followed by '/', which no name holds.
    std::string m_names;
    // Where each name's '/' is.
    std::vector<std::uint32_t> m_ends;
};

} // namespace dromel
