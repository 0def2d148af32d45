#include "core/SortColumn.h"

namespace dromel {

std::optional<SortColumn> sortColumnFromRawValue(std::string_view raw) {
    for (SortColumn column : kAllSortColumns)
        if (rawValue(column) == raw)
            return column;
    return std::nullopt;
}

std::string rawValue(SortColumn column) {
    switch (column) {
    case SortColumn::name:
        return "name";
    case SortColumn::kind:
        return "kind";
    case SortColumn::size:
        return "size";
    case SortColumn::modified:
        return "modified";
    case SortColumn::location:
        return "location";
    }
    return "name";
}

} // namespace dromel
