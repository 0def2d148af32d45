#include "look/Appearance.h"

#include <QApplication>
#include <QStyle>
#include <QStyleFactory>
#include <QStyleHints>

#include <optional>

namespace dromel {

namespace {

constexpr auto kOwnStyle = "Fusion";

struct State {
    QString desktopStyle;
    AppAppearance current = AppAppearance::system;
    // What the settings portal said, when one answered.
    std::optional<bool> portalPrefersDark;
};

State &state() {
    static State captured{QApplication::style()->name(), AppAppearance::system, std::nullopt};
    return captured;
}

void useStyle(const QString &name) {
    if (QApplication::style()->name().compare(name, Qt::CaseInsensitive) == 0)
        return;
    if (QStyle *style = QStyleFactory::create(name))
        QApplication::setStyle(style);
}

bool desktopPrefersDark() {
#if QT_VERSION >= QT_VERSION_CHECK(6, 5, 0)
    return QGuiApplication::styleHints()->colorScheme() == Qt::ColorScheme::Dark;
#else
    return false;
#endif
}

struct PaletteColors {
    QColor window, text, base, alternateBase, toolTipBase, placeholderText, button, brightText;
    QColor light, midlight, mid, dark, shadow, highlight, link, linkVisited;
    QColor disabledText, disabledHighlight;
};

QPalette paletteOf(const PaletteColors &c) {
    QPalette palette;
    palette.setColor(QPalette::Window, c.window);
    palette.setColor(QPalette::WindowText, c.text);
    palette.setColor(QPalette::Base, c.base);
    palette.setColor(QPalette::AlternateBase, c.alternateBase);
    palette.setColor(QPalette::ToolTipBase, c.toolTipBase);
    palette.setColor(QPalette::ToolTipText, c.text);
    palette.setColor(QPalette::PlaceholderText, c.placeholderText);
    palette.setColor(QPalette::Text, c.text);
    palette.setColor(QPalette::Button, c.button);
    palette.setColor(QPalette::ButtonText, c.text);
    palette.setColor(QPalette::BrightText, c.brightText);
    palette.setColor(QPalette::Light, c.light);
    palette.setColor(QPalette::Midlight, c.midlight);
    palette.setColor(QPalette::Mid, c.mid);
    palette.setColor(QPalette::Dark, c.dark);
    palette.setColor(QPalette::Shadow, c.shadow);
    palette.setColor(QPalette::Highlight, c.highlight);
    palette.setColor(QPalette::HighlightedText, Qt::white);
    palette.setColor(QPalette::Link, c.link);
    palette.setColor(QPalette::LinkVisited, c.linkVisited);
    for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        palette.setColor(QPalette::Disabled, role, c.disabledText);
    palette.setColor(QPalette::Disabled, QPalette::Base, c.window);
    palette.setColor(QPalette::Disabled, QPalette::Highlight, c.disabledHighlight);
    return palette;
}

} // namespace

void Appearance::apply(AppAppearance appearance) {
    State &current = state();
    current.current = appearance;
    switch (appearance) {
    case AppAppearance::system:
        useStyle(current.desktopStyle);
        // An empty palette resolves entirely against the desktop's, and Qt
        // re-resolves it when the desktop changes theme.
        QApplication::setPalette(QPalette());
        // A desktop that says it prefers dark but hands Qt a light palette
        // (no platform theme) still gets a dark window.
        if (current.portalPrefersDark.value_or(desktopPrefersDark()) && !isDark()) {
            useStyle(QString::fromLatin1(kOwnStyle));
            QApplication::setPalette(darkPalette());
        } else if (current.portalPrefersDark == false && isDark()) {
            useStyle(QString::fromLatin1(kOwnStyle));
            QApplication::setPalette(lightPalette());
        }
        break;
    case AppAppearance::light:
        useStyle(QString::fromLatin1(kOwnStyle));
        QApplication::setPalette(lightPalette());
        break;
    case AppAppearance::dark:
        useStyle(QString::fromLatin1(kOwnStyle));
        QApplication::setPalette(darkPalette());
        break;
    }
}

void Appearance::setDesktopPreference(std::optional<bool> prefersDark) {
    State &current = state();
    if (current.portalPrefersDark == prefersDark)
        return;
    current.portalPrefersDark = prefersDark;
    if (current.current == AppAppearance::system)
        apply(AppAppearance::system);
}

AppAppearance Appearance::current() {
    return state().current;
}

bool Appearance::isDark() {
    const QPalette palette = QApplication::palette();
    return palette.color(QPalette::Window).lightness() < palette.color(QPalette::WindowText).lightness();
}

QString Appearance::desktopStyle() {
    return state().desktopStyle;
}

QPalette Appearance::lightPalette() {
    return paletteOf({.window = QColor(239, 239, 239),
                      .text = QColor(0, 0, 0),
                      .base = QColor(255, 255, 255),
                      .alternateBase = QColor(245, 245, 245),
                      .toolTipBase = QColor(255, 255, 220),
                      .placeholderText = QColor(0, 0, 0, 128),
                      .button = QColor(239, 239, 239),
                      .brightText = Qt::white,
                      .light = Qt::white,
                      .midlight = QColor(227, 227, 227),
                      .mid = QColor(160, 160, 160),
                      .dark = QColor(160, 160, 160),
                      .shadow = QColor(105, 105, 105),
                      .highlight = QColor(48, 140, 198),
                      .link = QColor(0, 0, 255),
                      .linkVisited = QColor(255, 0, 255),
                      .disabledText = QColor(190, 190, 190),
                      .disabledHighlight = QColor(145, 145, 145)});
}

QPalette Appearance::darkPalette() {
    return paletteOf({.window = QColor(45, 45, 48),
                      .text = QColor(230, 230, 230),
                      .base = QColor(30, 30, 32),
                      .alternateBase = QColor(38, 38, 41),
                      .toolTipBase = QColor(60, 60, 64),
                      .placeholderText = QColor(230, 230, 230, 128),
                      .button = QColor(58, 58, 62),
                      .brightText = QColor(255, 80, 80),
                      .light = QColor(80, 80, 85),
                      .midlight = QColor(66, 66, 70),
                      .mid = QColor(36, 36, 38),
                      .dark = QColor(24, 24, 26),
                      .shadow = QColor(0, 0, 0),
                      .highlight = QColor(42, 130, 218),
                      .link = QColor(90, 160, 255),
                      .linkVisited = QColor(190, 130, 255),
                      .disabledText = QColor(120, 120, 120),
                      .disabledHighlight = QColor(80, 80, 80)});
}

} // namespace dromel
