#include "engine/TrashedItem.h"

#include "core/Location.h"

namespace dromel {

std::string TrashedItem::shownName() const {
    if (originalPath) {
        std::string last = Location::lastComponent(*originalPath);
        if (!last.empty())
            return last;
    }
    return name;
}

} // namespace dromel
