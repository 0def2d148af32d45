#pragma once

#include "core/JsonSupport.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace dromel {

enum class SearchMode { name, content };

// The broad families a search can be narrowed to, decided by the item's name
// (its MIME type by extension) except for folders.
enum class SearchType { any, folder, document, image, audio, video, archive };

std::optional<SearchType> searchTypeFromRawValue(std::string_view raw);
std::string rawValue(SearchType type);

// What one search asks for below one folder. Plain value: the session keeps
// it (the results are found again), the walker reads it.
struct SearchQuery {
    std::string text;
    SearchMode mode = SearchMode::name;
    // Absolute path the walk starts from.
    std::string startFolder;
    // Enter other volumes mounted below the start (off: as `find -xdev`).
    bool crossVolumes = false;
    SearchType type = SearchType::any;
    // Modified no longer ago than this many seconds.
    std::optional<std::int64_t> modifiedWithinSeconds;
    // Files larger than / smaller than this many bytes (folders have no size
    // and fail either bound).
    std::optional<std::int64_t> sizeAbove;
    std::optional<std::int64_t> sizeBelow;

    bool hasConstraints() const {
        return type != SearchType::any || modifiedWithinSeconds || sizeAbove || sizeBelow;
    }

    // Throws JsonEncodeError for a start folder that is not UTF-8.
    Json toJson() const;
    static SearchQuery fromJson(const Json &json);

    friend bool operator==(const SearchQuery &, const SearchQuery &) = default;
};

} // namespace dromel
