#pragma once

#include <QIcon>

class QPalette;

namespace dromel {

// The toolbar's small monochrome symbols. The desktop's icon theme serves them
// when it has them; otherwise bundled drawings are tinted with the palette's
// text colours, so they read in light and dark appearance alike.
namespace Symbols {

// The toolbar's buttons and the symbols in them; a button made elsewhere for
// the toolbar takes these so it lines up with the rest.
constexpr int kButtonSide = 26;
constexpr int kSymbolSide = 16;

enum class Symbol {
    back,
    forward,
    up,
    refresh,
    newTab,
    editPath,
    preview,
    more,
    settings,
    dismiss,
    icons,
    search,
    operations
};

QIcon icon(Symbol symbol, const QPalette &palette);

} // namespace Symbols
} // namespace dromel
