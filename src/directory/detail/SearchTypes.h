#pragma once

#include "core/SearchQuery.h"

#include <string>
#include <string_view>
#include <unordered_map>

namespace dromel::detail {

// Whether a file's name puts it in a search type (image, audio, archive …),
// by the MIME type its name suggests. Names with a suffix are decided once
// per suffix. One per thread; not thread-safe.
class SearchTypes {
public:
    bool fileIs(SearchType type, std::string_view name);

private:
    SearchType typeOf(std::string_view name) const;

    std::unordered_map<std::string, SearchType> m_bySuffix;
};

} // namespace dromel::detail
