#include "look/Symbols.h"

#include <QBuffer>
#include <QImage>
#include <QImageReader>
#include <QPalette>
#include <QPixmap>

namespace dromel::Symbols {

namespace {

struct Drawing {
    const char *themeName;
    const char *paths; // SVG elements on a 16 × 16 grid, drawn with the colour "C"
};

Drawing drawing(Symbol symbol) {
    constexpr const char *stroke =
        R"(fill="none" stroke="C" stroke-width="1.6" stroke-linecap="round" stroke-linejoin="round")";
    static const std::string back = std::string("<path d='M10 3 L5 8 L10 13' ") + stroke + "/>";
    static const std::string forward = std::string("<path d='M6 3 L11 8 L6 13' ") + stroke + "/>";
    static const std::string up = std::string("<path d='M8 13 V3 M3.5 7.5 L8 3 L12.5 7.5' ") + stroke + "/>";
    static const std::string refresh = std::string("<path d='M13 8 A5 5 0 1 1 11.4 4.3' ") + stroke +
                                       "/><path d='M9.2 4.2 L11.9 4.2 L11.9 1.5' " + stroke + "/>";
    static const std::string newTab = std::string("<path d='M8 3 V13 M3 8 H13' ") + stroke + "/>";
    static const std::string editPath =
        std::string("<path d='M3 13 L3.6 10.4 L10.6 3.4 L12.6 5.4 L5.6 12.4 Z M9.4 4.6 L11.4 6.6' ") +
        stroke + "/>";
    static const std::string preview =
        std::string(
            "<path d='M1.5 8 C3.5 4.5 5.5 3.5 8 3.5 C10.5 3.5 12.5 4.5 14.5 8 C12.5 11.5 10.5 12.5 8 12.5 "
            "C5.5 12.5 3.5 11.5 1.5 8 Z' ") +
        stroke + "/><circle cx='8' cy='8' r='2.2' fill='C'/>";
    static const std::string more =
        "<circle cx='3.5' cy='8' r='1.4' fill='C'/><circle cx='8' cy='8' r='1.4' fill='C'/>"
        "<circle cx='12.5' cy='8' r='1.4' fill='C'/>";
    static const std::string settings = std::string("<circle cx='8' cy='8' r='2.1' ") + stroke +
                                        "/><path d='M8 1.8 V3.6 M8 12.4 V14.2 M1.8 8 H3.6 M12.4 8 H14.2 M3.6 "
                                        "3.6 L4.9 4.9 M11.1 11.1 L12.4 12.4 "
                                        "M3.6 12.4 L4.9 11.1 M11.1 4.9 L12.4 3.6' " +
                                        stroke + "/><circle cx='8' cy='8' r='4.4' " + stroke + "/>";
    static const std::string search = std::string("<circle cx='6.8' cy='6.8' r='4.3' ") + stroke +
                                      "/><path d='M10 10 L14 14' " + stroke + "/>";
    static const std::string dismiss = std::string("<path d='M4 4 L12 12 M12 4 L4 12' ") + stroke + "/>";
    static const std::string icons = std::string("<rect x='2.5' y='2.5' width='4.5' height='4.5' rx='1' ") +
                                     stroke + "/><rect x='9' y='2.5' width='4.5' height='4.5' rx='1' " +
                                     stroke + "/><rect x='2.5' y='9' width='4.5' height='4.5' rx='1' " +
                                     stroke + "/><rect x='9' y='9' width='4.5' height='4.5' rx='1' " +
                                     stroke + "/>";
    // Things moving both ways, for the file operations.
    static const std::string operations =
        std::string("<path d='M2.5 5 H12.5 M10 2.5 L12.5 5 L10 7.5 M13.5 11 H3.5 M6 8.5 L3.5 11 L6 13.5' ") +
        stroke + "/>";
    switch (symbol) {
    case Symbol::icons:
        return {"view-list-icons", icons.c_str()};
    case Symbol::back:
        return {"go-previous", back.c_str()};
    case Symbol::forward:
        return {"go-next", forward.c_str()};
    case Symbol::up:
        return {"go-up", up.c_str()};
    case Symbol::refresh:
        return {"view-refresh", refresh.c_str()};
    case Symbol::newTab:
        return {"tab-new", newTab.c_str()};
    case Symbol::editPath:
        return {"document-edit", editPath.c_str()};
    case Symbol::preview:
        return {"view-reveal", preview.c_str()};
    case Symbol::more:
        return {"view-more", more.c_str()};
    case Symbol::settings:
        return {"preferences-system", settings.c_str()};
    case Symbol::dismiss:
        return {"window-close", dismiss.c_str()};
    case Symbol::search:
        return {"edit-find", search.c_str()};
    case Symbol::operations:
        // Themes have no common name for it: always the bundled drawing.
        return {"", operations.c_str()};
    }
    return {"", ""};
}

QPixmap render(const char *paths, const QColor &colour, int size) {
    QByteArray svg = QByteArrayLiteral("<svg xmlns='http://www.w3.org/2000/svg' width='16' height='16' "
                                       "viewBox='0 0 16 16'>") +
                     QByteArray(paths) + QByteArrayLiteral("</svg>");
    svg.replace("\"C\"", "'" + colour.name().toLatin1() + "'");
    svg.replace("'C'", "'" + colour.name().toLatin1() + "'");
    QBuffer buffer(&svg);
    QImageReader reader(&buffer, "svg");
    reader.setScaledSize(QSize(size, size));
    return QPixmap::fromImage(reader.read());
}

} // namespace

QIcon icon(Symbol symbol, const QPalette &palette) {
    const Drawing source = drawing(symbol);
    // Only a real desktop theme is asked: Qt's built-in fallback theme has no
    // symbols, and a half-themed toolbar looks worse than a bundled one.
    if (*source.themeName && !QIcon::themeName().isEmpty() && QIcon::themeName() != "hicolor" &&
        QIcon::themeName() != "dromel-fallback" && QIcon::hasThemeIcon(source.themeName))
        return QIcon::fromTheme(source.themeName);
    QIcon result;
    const QColor normal = palette.color(QPalette::Active, QPalette::ButtonText);
    const QColor disabled = palette.color(QPalette::Disabled, QPalette::ButtonText);
    for (int size : {16, 24, 32, 48}) {
        result.addPixmap(render(source.paths, normal, size), QIcon::Normal);
        result.addPixmap(render(source.paths, disabled, size), QIcon::Disabled);
    }
    return result;
}

} // namespace dromel::Symbols
