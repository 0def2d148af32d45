#include "core/FileSort.h"

#include "core/Location.h"
#include "core/detail/BrowseCollation.h"

#include <algorithm>
#include <cstring>
#include <unordered_map>
#include <utility>

namespace dromel {

namespace {

// One entry's precomputed sort data: the first sixteen sort-key bytes decide
// most comparisons (names in a folder share long beginnings) without touching
// the key itself, which lives elsewhere in memory.
struct SortItem {
    std::uint64_t prefix = 0;
    std::uint64_t prefix2 = 0;
    const char *key = nullptr; // the name's sort key, NUL-terminated
    std::uint32_t index = 0;
};

// Keys hold no inner NUL, so equal prefixes whose last byte is NUL mean equal keys.
int compareNameKeys(const SortItem &a, const SortItem &b) {
    if (a.prefix != b.prefix)
        return a.prefix < b.prefix ? -1 : 1;
    if ((a.prefix & 0xFF) == 0)
        return 0;
    if (a.prefix2 != b.prefix2)
        return a.prefix2 < b.prefix2 ? -1 : 1;
    if ((a.prefix2 & 0xFF) == 0)
        return 0;
    return std::strcmp(a.key + 16, b.key + 16);
}

// Distinct texts are ranked once by their collation keys, so comparing two
// entries' texts is comparing two numbers.
template <typename Key> class TextRanks {
public:
    void add(Key key, std::string_view text) {
        if (m_byKey.try_emplace(key, 0).second) {
            m_scratch.clear();
            detail::appendSortKey(text, m_scratch);
            m_keyed.emplace_back(std::string(m_scratch.data(), std::strlen(m_scratch.data())), key);
        }
    }
    // Call once, after every add().
    void rank() {
        std::sort(m_keyed.begin(), m_keyed.end());
        std::int64_t rank = 0;
        for (std::size_t i = 0; i < m_keyed.size(); ++i) {
            if (i > 0 && m_keyed[i].first != m_keyed[i - 1].first)
                ++rank;
            m_byKey[m_keyed[i].second] = rank;
        }
    }
    std::int64_t of(const Key &key) const { return m_byKey.at(key); }

private:
    std::unordered_map<Key, std::int64_t> m_byKey;
    std::vector<std::pair<std::string, Key>> m_keyed;
    std::vector<char> m_scratch;
};

// Kinds are few and their texts shared, so they are told apart by address.
std::vector<std::int64_t> kindRanks(const std::vector<const FileEntry *> &entries) {
    TextRanks<const std::string *> ranks;
    for (const FileEntry *entry : entries)
        ranks.add(&entry->kind(), entry->kind());
    ranks.rank();
    std::vector<std::int64_t> values(entries.size());
    for (std::size_t i = 0; i < entries.size(); ++i)
        values[i] = ranks.of(&entries[i]->kind());
    return values;
}

// The folder each entry is in, collated as names are; the start of a search
// is a prefix of every result's folder, so it sorts first.
std::vector<std::int64_t> folderRanks(const std::vector<const FileEntry *> &entries) {
    std::vector<std::string> folders;
    folders.reserve(entries.size());
    TextRanks<std::string> ranks;
    for (const FileEntry *entry : entries) {
        folders.push_back(Location::parent(entry->url()));
        ranks.add(folders.back(), folders.back());
    }
    ranks.rank();
    std::vector<std::int64_t> values(entries.size());
    for (std::size_t i = 0; i < entries.size(); ++i)
        values[i] = ranks.of(folders[i]);
    return values;
}

std::vector<std::int64_t> columnValues(SortColumn column, const std::vector<const FileEntry *> &entries) {
    std::vector<std::int64_t> values;
    switch (column) {
    case SortColumn::name:
        break;
    case SortColumn::kind:
        values = kindRanks(entries);
        break;
    case SortColumn::location:
        values = folderRanks(entries);
        break;
    case SortColumn::size:
        values.reserve(entries.size());
        for (const FileEntry *entry : entries)
            values.push_back(entry->size().value_or(-1));
        break;
    case SortColumn::modified:
        values.reserve(entries.size());
        for (const FileEntry *entry : entries) {
            const auto modified = entry->modified();
            values.push_back(modified ? modified->time_since_epoch().count() : INT64_MIN);
        }
        break;
    }
    return values;
}

// Scratch space kept per thread between sorts: a fresh 100,000-entry sort
// would otherwise spend a fifth of its time faulting in new pages. Kept only
// up to a bound, so one huge folder does not pin its memory for good.
struct Scratch {
    std::vector<const FileEntry *> pointers;
    std::vector<SortItem> folders;
    std::vector<SortItem> files;
    std::vector<SortItem> buffer;
    std::vector<std::uint32_t> counts;

    void release() {
        constexpr std::size_t kKeptItems = 1u << 20;
        for (auto *items : {&folders, &files, &buffer})
            if (items->capacity() > kKeptItems)
                std::vector<SortItem>().swap(*items);
        if (pointers.capacity() > kKeptItems)
            std::vector<const FileEntry *>().swap(pointers);
    }
};

Scratch &threadScratch() {
    thread_local Scratch scratch;
    return scratch;
}

// Stable LSD radix sort on the 16 inline key bytes, then the few runs whose
// inline bytes agree (and hold no key end) finished by the full comparison.
// Stability keeps equal names in incoming order, as the comparison would.
template <typename Before>
void sortByName(std::vector<SortItem> &items, bool ascending, const Before &before) {
    constexpr std::size_t kRadixThreshold = 512;
    if (items.size() < kRadixThreshold) {
        std::sort(items.begin(), items.end(), before);
        return;
    }
    std::vector<SortItem> &buffer = threadScratch().buffer;
    buffer.resize(items.size());
    std::vector<std::uint32_t> &counts = threadScratch().counts;
    counts.resize(1u << 16);
    for (int pass = 0; pass < 8; ++pass) {
        const int shift = (pass % 4) * 16;
        const bool second = pass < 4;
        const auto digit = [&](const SortItem &item) {
            const std::uint64_t word = second ? item.prefix2 : item.prefix;
            return static_cast<std::uint32_t>(((ascending ? word : ~word) >> shift) & 0xFFFF);
        };
        std::fill(counts.begin(), counts.end(), 0);
        for (const SortItem &item : items)
            ++counts[digit(item)];
        if (counts[digit(items.front())] == items.size())
            continue; // every item has this digit
        std::uint32_t start = 0;
        for (std::uint32_t &count : counts)
            start += std::exchange(count, start);
        for (const SortItem &item : items)
            buffer[counts[digit(item)]++] = item;
        items.swap(buffer);
    }
    for (std::size_t i = 0; i < items.size();) {
        std::size_t j = i + 1;
        while (j < items.size() && items[j].prefix == items[i].prefix && items[j].prefix2 == items[i].prefix2)
            ++j;
        if (j - i > 1 && (items[i].prefix & 0xFF) && (items[i].prefix2 & 0xFF))
            std::sort(items.begin() + static_cast<std::ptrdiff_t>(i),
                      items.begin() + static_cast<std::ptrdiff_t>(j), before);
        i = j;
    }
}

template <typename Sequence> std::vector<FileEntry> order(const FileSort &sort, const Sequence &entries) {
    Scratch &scratch = threadScratch();
    std::vector<const FileEntry *> &pointers = scratch.pointers;
    pointers.clear();
    pointers.reserve(entries.size());
    for (const FileEntry &entry : entries)
        pointers.push_back(&entry);

    const std::uint32_t collation = detail::refreshCollation();
    const std::vector<std::int64_t> values = columnValues(sort.column, pointers);
    // Keys come with the entries; only entries made under another locale need
    // new ones. Offsets first: the arena may move while it grows.
    std::vector<char> arena;
    std::vector<std::pair<std::size_t, std::size_t>> arenaKeys; // (item, offset)
    // Navigable folders come first in both directions, so the two groups are
    // sorted apart instead of testing the flag in every comparison.
    std::vector<SortItem> &folders = scratch.folders;
    std::vector<SortItem> &files = scratch.files;
    folders.clear();
    files.clear();
    files.reserve(pointers.size());
    for (std::size_t i = 0; i < pointers.size(); ++i) {
        std::vector<SortItem> &group = pointers[i]->isNavigable() ? folders : files;
        SortItem item{0, 0, nullptr, static_cast<std::uint32_t>(i)};
        std::uint64_t prefix[2];
        if (const std::string *key = pointers[i]->sortKey(collation, prefix)) {
            item.key = key->c_str();
            item.prefix = prefix[0];
            item.prefix2 = prefix[1];
        } else {
            arenaKeys.emplace_back(i, arena.size());
            detail::appendSortKey(pointers[i]->name(), arena);
        }
        group.push_back(item);
    }
    if (!arenaKeys.empty()) {
        std::vector<const char *> keys(pointers.size(), nullptr);
        for (const auto &[index, offset] : arenaKeys)
            keys[index] = arena.data() + offset;
        for (auto *group : {&folders, &files})
            for (SortItem &item : *group)
                if (!item.key) {
                    item.key = keys[item.index];
                    const detail::KeyPrefix prefix = detail::keyPrefix(item.key);
                    item.prefix = prefix.first;
                    item.prefix2 = prefix.second;
                }
    }

    const bool ascending = sort.ascending;
    const bool byName = sort.column == SortColumn::name;
    const auto before = [&](const SortItem &a, const SortItem &b) {
        int order = 0;
        if (!byName) {
            const std::int64_t x = values[a.index];
            const std::int64_t y = values[b.index];
            order = x < y ? -1 : (x > y ? 1 : 0);
        }
        if (order == 0)
            order = compareNameKeys(a, b);
        if (order != 0)
            return ascending ? order < 0 : order > 0;
        return a.index < b.index;
    };
    for (auto *group : {&folders, &files}) {
        if (byName)
            sortByName(*group, ascending, before);
        else
            std::sort(group->begin(), group->end(), before);
    }

    std::vector<FileEntry> result;
    result.reserve(pointers.size());
    for (auto *group : {&folders, &files})
        for (const SortItem &item : *group)
            result.push_back(*pointers[item.index]);
    scratch.release();
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

bool FileSort::narrows(std::string_view narrower, std::string_view wider) {
    return detail::foldForFilter(narrower).find(detail::foldForFilter(wider)) != std::string::npos;
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
