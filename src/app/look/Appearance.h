#pragma once

#include "presentation/AppAppearance.h"

#include <QPalette>
#include <QString>

#include <optional>

namespace dromel {

// Applies the light/dark choice to the running application at once.
// `system` gives back the desktop's own style and palette (and Qt keeps
// following the desktop's changes from then on); `light` and `dark` use the
// Fusion style with a light or dark palette, the same on every desktop.
// Main thread only, with a QApplication.
class Appearance {
public:
    static void apply(AppAppearance appearance);
    static AppAppearance current();
    // The desktop's light or dark preference from its settings portal (none
    // when it states none); `system` follows it from then on.
    static void setDesktopPreference(std::optional<bool> prefersDark);

    // Whether the application now paints dark, whatever the choice was.
    static bool isDark();

    // The style the desktop gave the application, remembered before the
    // first change.
    static QString desktopStyle();

    static QPalette lightPalette();
    static QPalette darkPalette();
};

} // namespace dromel
