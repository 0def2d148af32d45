#include "presentation/SkinDescriptor.h"

namespace dromel {

SkinDescriptor SkinDescriptor::resolve(SkinID id) {
    switch (id) {
    case SkinID::glass:
        return {SkinID::glass, TextKey::glass, Material::nativeGlass};
    case SkinID::solid:
        return {SkinID::solid, TextKey::solid, Material::opaque};
    }
    return {};
}

} // namespace dromel
