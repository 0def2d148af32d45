#pragma once

#include "desktop/DesktopApplication.h"

#include <QIcon>

namespace dromel::ApplicationIcon {

// The application's icon from the icon theme, or its image file; a generic
// program icon when it names none the theme has.
QIcon of(const DesktopApplication &application);

} // namespace dromel::ApplicationIcon
