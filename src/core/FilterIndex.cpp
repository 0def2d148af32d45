#include "core/FilterIndex.h"

#include "core/FileSort.h"
#include "core/detail/BrowseCollation.h"

#include <algorithm>
#include <iterator>

namespace dromel {

namespace {

constexpr char kSeparator = '/';

} // namespace

FilterIndex::FilterIndex(const FileEntryList &entries) {
    // Sized exactly first: growing a buffer of megabytes by doubling leaves
    // the outgrown copies resident on the building thread.
    std::size_t bytes = 0;
    for (const FileEntry &entry : entries) {
        const std::string *folded = entry.foldedName();
        bytes += (folded ? folded->size() : entry.name().size()) + 1;
    }
    m_names.reserve(bytes);
    m_ends.reserve(entries.size());
    for (const FileEntry &entry : entries) {
        // The same fold the entry-by-entry match uses: the kept fold for
        // other names, ASCII lower case for ASCII ones.
        if (const std::string *folded = entry.foldedName())
            m_names += *folded;
        else
            for (const char c : entry.name())
                m_names += (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
        m_ends.push_back(static_cast<std::uint32_t>(m_names.size()));
        m_names += kSeparator;
    }
}

FileEntryList FilterIndex::filtered(const FileEntryList &entries, std::string_view filter) const {
    const std::string folded = detail::foldForFilter(filter);
    // A separator in the filter would match across names.
    if (entries.size() != m_ends.size() || folded.find(kSeparator) != std::string::npos)
        return FileSort::filtered(entries, filter);
    if (folded.empty())
        return entries;
    std::vector<FileEntry> result;
    const std::string_view names(m_names);
    auto entry = entries.begin();
    std::size_t index = 0;
    for (std::size_t found = names.find(folded); found != std::string_view::npos;
         found = names.find(folded, m_ends[index] + std::size_t{1})) {
        const auto end = std::upper_bound(m_ends.begin() + static_cast<std::ptrdiff_t>(index), m_ends.end(),
                                          static_cast<std::uint32_t>(found));
        const auto next = static_cast<std::size_t>(end - m_ends.begin());
        std::advance(entry, static_cast<std::ptrdiff_t>(next - index));
        index = next;
        result.push_back(*entry);
    }
    return FileEntryList(std::move(result));
}

} // namespace dromel
