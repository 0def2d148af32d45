#pragma once

#include "presentation/SkinID.h"
#include "presentation/TextKey.h"

namespace dromel {

// The catalogue entry of a skin: its name in the settings and how its panels
// are backed.
struct SkinDescriptor {
    enum class Material { nativeGlass, opaque };

    SkinID id = SkinID::glass;
    TextKey title = TextKey::glass;
    Material material = Material::nativeGlass;

    static SkinDescriptor resolve(SkinID id);

    friend bool operator==(const SkinDescriptor &, const SkinDescriptor &) = default;
};

} // namespace dromel
