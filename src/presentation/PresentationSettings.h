#pragma once

#include "presentation/AppAppearance.h"
#include "presentation/AppLanguage.h"
#include "presentation/SkinID.h"

#include <QByteArray>

#include <optional>

namespace dromel {

// The user's presentation choices, stored as JSON under "presentation.v1".
// Encoded with the keys in the order schemaVersion, language, appearance,
// skin; enumerations as their raw values.
struct PresentationSettings {
    static constexpr int kSchemaVersion = 1;

    int schemaVersion = kSchemaVersion;
    AppLanguage language = AppLanguage::system;
    AppAppearance appearance = AppAppearance::system;
    SkinID skin = SkinID::glass;

    QByteArray toJson() const;
    // Strict: all four keys with their types and known raw values, else
    // nothing. Keys it does not know are ignored.
    static std::optional<PresentationSettings> fromJson(const QByteArray &json);
    // Never fails: no data, data that does not decode, or another schema
    // version give the defaults, which the next change overwrites.
    static PresentationSettings load(const std::optional<QByteArray> &data);

    friend bool operator==(const PresentationSettings &, const PresentationSettings &) = default;
};

} // namespace dromel
