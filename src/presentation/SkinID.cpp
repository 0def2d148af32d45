#include "presentation/SkinID.h"

namespace dromel {

std::string_view rawValue(SkinID skin) {
    switch (skin) {
    case SkinID::glass:
        return "glass";
    case SkinID::solid:
        return "solid";
    }
    return "glass";
}

std::optional<SkinID> skinIDFromRawValue(std::string_view raw) {
    for (SkinID skin : kAllSkinIDs)
        if (rawValue(skin) == raw)
            return skin;
    return std::nullopt;
}

} // namespace dromel
