#include "core/FileSort.h"

#include "core/detail/BrowseCollation.h"

#include <algorithm>
#include <cstring>
#include <unordered_map>

namespace dromel {

namespace {

// One entry's precomputed sort data; keys live in a shared arena so a sort of
// 100,000 names makes a handful of allocations, and the first key bytes sit in
// the item so most comparisons never touch the arena.
struct SortItem {
    std::uint64_t namePrefix = 0;
    std::uint64_t namePrefix2 = 0;
    std::int64_t value = 0; // size, modification time or kind key offset
    std::uint64_t kindPrefix = 0;
    std::uint32_t nameKey = 0;
    std::uint32_t index = 0;
    bool navigable = false;
    bool nameEnds = false; // the name key ends within its 16-byte prefix
    bool kindEnds = false;
};

std::uint64_t prefixOf(const char *key) {
    std::uint64_t prefix = 0;
    for (int i = 0; i < 8; ++i) {
        const auto byte = static_cast<unsigned char>(key[i]);
        prefix = (prefix << 8) | byte;
        if (byte == 0) {
            prefix <<= 8 * (7 - i);
            break;
        }
    }
    return prefix;
}

// Equal prefixes that hold the key's end mean equal keys (keys hold no inner NUL).
int compareKeys(std::uint64_t prefixA, std::uint64_t prefixB, bool ends, const char *a, const char *b) {
    if (prefixA != prefixB)
        return prefixA < prefixB ? -1 : 1;
    if (ends)
        return 0;
    return std::strcmp(a + 8, b + 8);
}

int compareNameKeys(const SortItem &a, const SortItem &b, const char *base) {
    if (a.namePrefix != b.namePrefix)
        return a.namePrefix < b.namePrefix ? -1 : 1;
    if (a.namePrefix2 != b.namePrefix2)
        return a.namePrefix2 < b.namePrefix2 ? -1 : 1;
    if (a.nameEnds)
        return 0;
    return std::strcmp(base + a.nameKey + 16, base + b.nameKey + 16);
}

template <typename Sequence> std::vector<FileEntry> order(const FileSort &sort, const Sequence &entries) {
    std::vector<const FileEntry *> pointers;
    pointers.reserve(entries.size());
    for (const FileEntry &entry : entries)
        pointers.push_back(&entry);

    detail::refreshCollation();
    std::vector<char> arena;
    arena.reserve(pointers.size() * 24);
    std::vector<SortItem> items(pointers.size());
    std::vector<std::uint32_t> nameKeys(pointers.size());
    std::unordered_map<std::string, std::uint32_t> kindKeys;
    for (std::size_t i = 0; i < pointers.size(); ++i) {
        const FileEntry &entry = *pointers[i];
        SortItem &item = items[i];
        item.index = static_cast<std::uint32_t>(i);
        item.navigable = entry.isNavigable();
        item.nameKey = static_cast<std::uint32_t>(arena.size());
        detail::appendSortKey(entry.name(), arena);
        switch (sort.column) {
        case SortColumn::name:
            break;
        case SortColumn::kind: {
            auto [it, inserted] = kindKeys.try_emplace(entry.kind(), 0);
            if (inserted) {
                it->second = static_cast<std::uint32_t>(arena.size());
                detail::appendSortKey(entry.kind(), arena);
            }
            item.value = it->second;
            break;
        }
        case SortColumn::size:
            item.value = entry.size().value_or(-1);
            break;
        case SortColumn::modified: {
            const auto modified = entry.modified();
            item.value = modified ? modified->time_since_epoch().count() : INT64_MIN;
            break;
        }
        }
    }
    arena.resize(arena.size() + 16, '\0'); // prefix reads never run past the end
    const char *base = arena.data();
    for (SortItem &item : items) {
        const char *key = base + item.nameKey;
        item.namePrefix = prefixOf(key);
        item.nameEnds = std::memchr(key, 0, 16) != nullptr;
        item.namePrefix2 = std::memchr(key, 0, 8) ? 0 : prefixOf(key + 8);
        if (sort.column == SortColumn::kind) {
            item.kindPrefix = prefixOf(base + item.value);
            item.kindEnds = std::memchr(base + item.value, 0, 8) != nullptr;
        }
    }

    const bool ascending = sort.ascending;
    const SortColumn column = sort.column;
    std::sort(items.begin(), items.end(), [&](const SortItem &a, const SortItem &b) {
        if (a.navigable != b.navigable)
            return a.navigable;
        int order = 0;
        if (column == SortColumn::kind)
            order = compareKeys(a.kindPrefix, b.kindPrefix, a.kindEnds, base + a.value, base + b.value);
        else if (column != SortColumn::name)
            order = a.value < b.value ? -1 : (a.value > b.value ? 1 : 0);
        if (order == 0)
            order = compareNameKeys(a, b, base);
        if (order != 0)
            return ascending ? order < 0 : order > 0;
        return a.index < b.index;
    });

    std::vector<FileEntry> result;
    result.reserve(items.size());
    for (const SortItem &item : items)
        result.push_back(*pointers[item.index]);
    return result;
}

template <typename Sequence>
std::vector<FileEntry> filterInto(const Sequence &entries, std::string_view filter) {
    const std::string folded = detail::foldForFilter(filter);
    std::vector<FileEntry> result;
    for (const FileEntry &entry : entries)
        if (detail::containsFolded(entry.name(), entry.foldedName(), folded))
            result.push_back(entry);
    return result;
}

} // namespace

FileEntryList FileSort::apply(const FileEntryList &entries, std::string_view filter) const {
    if (filter.empty())
        return FileEntryList(order(*this, entries));
    return FileEntryList(order(*this, filterInto(entries, filter)));
}

std::vector<FileEntry> FileSort::apply(const std::vector<FileEntry> &entries, std::string_view filter) const {
    if (filter.empty())
        return order(*this, entries);
    return order(*this, filterInto(entries, filter));
}

FileEntryList FileSort::filtered(const FileEntryList &entries, std::string_view filter) {
    if (filter.empty())
        return entries;
    return FileEntryList(filterInto(entries, filter));
}

bool FileSort::matches(const FileEntry &entry, std::string_view filter) {
    return detail::containsFolded(entry.name(), entry.foldedName(), detail::foldForFilter(filter));
}

int FileSort::compareNames(std::string_view a, std::string_view b) {
    return detail::compareNames(a, b);
}

Json FileSort::toJson() const {
    Json json = Json::object();
    json["column"] = rawValue(column);
    json["ascending"] = ascending;
    return json;
}

FileSort FileSort::fromJson(const Json &json) {
    const auto column = sortColumnFromRawValue(json::requireString(json, "column"));
    if (!column)
        throw JsonDecodeError("Unknown sort column", "column");
    return FileSort{*column, json::requireBool(json, "ascending")};
}

} // namespace dromel
