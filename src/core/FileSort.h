#pragma once

#include "core/FileEntryList.h"
#include "core/JsonSupport.h"
#include "core/SortColumn.h"

#include <string>
#include <string_view>
#include <vector>

namespace dromel {

// How a listing is ordered. apply() is the one routine that filters and orders
// a listing; it is pure and safe to call from any thread.
struct FileSort {
    SortColumn column = SortColumn::name;
    bool ascending = true;

    // The entries whose name contains `filter` (ignoring case and diacritics;
    // empty passes all), navigable folders first, then by the column in this
    // direction, ties by name in this direction, then by incoming order.
    FileEntryList apply(const FileEntryList &entries, std::string_view filter) const;
    std::vector<FileEntry> apply(const std::vector<FileEntry> &entries, std::string_view filter) const;

    // The name filter alone; keeps the incoming order.
    static FileEntryList filtered(const FileEntryList &entries, std::string_view filter);
    static bool matches(const FileEntry &entry, std::string_view filter);
    // True when every name that matches `narrower` also matches `wider`: the
    // folded `wider` is a part of the folded `narrower`.
    static bool narrows(std::string_view narrower, std::string_view wider);
    // The localized comparison of names: negative, zero or positive.
    static int compareNames(std::string_view a, std::string_view b);

    Json toJson() const;
    static FileSort fromJson(const Json &json);

    friend bool operator==(const FileSort &, const FileSort &) = default;
};

} // namespace dromel

template <> struct std::hash<dromel::FileSort> {
    std::size_t operator()(const dromel::FileSort &sort) const noexcept {
        return static_cast<std::size_t>(sort.column) * 2 + (sort.ascending ? 1 : 0);
    }
};
