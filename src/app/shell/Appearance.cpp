#include "shell/Appearance.h"

#include <QApplication>
#include <QStyle>
#include <QStyleFactory>
#include <QStyleHints>

namespace dromel {

namespace {

constexpr auto kOwnStyle = "Fusion";

struct State {
    QString desktopStyle;
    AppAppearance current = AppAppearance::system;
};

State &state() {
    static State captured{QApplication::style()->name(), AppAppearance::system};
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
        if (desktopPrefersDark() && !isDark()) {
            useStyle(QString::fromLatin1(kOwnStyle));
            QApplication::setPalette(darkPalette());
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
    QPalette palette;
    const QColor window(239, 239, 239), text(0, 0, 0), base(255, 255, 255), highlight(48, 140, 198);
    const QColor disabledText(190, 190, 190);
    palette.setColor(QPalette::Window, window);
    palette.setColor(QPalette::WindowText, text);
    palette.setColor(QPalette::Base, base);
    palette.setColor(QPalette::AlternateBase, QColor(245, 245, 245));
    palette.setColor(QPalette::ToolTipBase, QColor(255, 255, 220));
    palette.setColor(QPalette::ToolTipText, text);
    palette.setColor(QPalette::PlaceholderText, QColor(0, 0, 0, 128));
    palette.setColor(QPalette::Text, text);
    palette.setColor(QPalette::Button, window);
    palette.setColor(QPalette::ButtonText, text);
    palette.setColor(QPalette::BrightText, Qt::white);
    palette.setColor(QPalette::Light, Qt::white);
    palette.setColor(QPalette::Midlight, QColor(227, 227, 227));
    palette.setColor(QPalette::Mid, QColor(160, 160, 160));
    palette.setColor(QPalette::Dark, QColor(160, 160, 160));
    palette.setColor(QPalette::Shadow, QColor(105, 105, 105));
    palette.setColor(QPalette::Highlight, highlight);
    palette.setColor(QPalette::HighlightedText, Qt::white);
    palette.setColor(QPalette::Link, QColor(0, 0, 255));
    palette.setColor(QPalette::LinkVisited, QColor(255, 0, 255));
    for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        palette.setColor(QPalette::Disabled, role, disabledText);
    palette.setColor(QPalette::Disabled, QPalette::Base, window);
    palette.setColor(QPalette::Disabled, QPalette::Highlight, QColor(145, 145, 145));
    return palette;
}

QPalette Appearance::darkPalette() {
    QPalette palette;
    const QColor window(45, 45, 48), text(230, 230, 230), base(30, 30, 32), highlight(42, 130, 218);
    const QColor disabledText(120, 120, 120);
    palette.setColor(QPalette::Window, window);
    palette.setColor(QPalette::WindowText, text);
    palette.setColor(QPalette::Base, base);
    palette.setColor(QPalette::AlternateBase, QColor(38, 38, 41));
    palette.setColor(QPalette::ToolTipBase, QColor(60, 60, 64));
    palette.setColor(QPalette::ToolTipText, text);
    palette.setColor(QPalette::PlaceholderText, QColor(230, 230, 230, 128));
    palette.setColor(QPalette::Text, text);
    palette.setColor(QPalette::Button, QColor(58, 58, 62));
    palette.setColor(QPalette::ButtonText, text);
    palette.setColor(QPalette::BrightText, QColor(255, 80, 80));
    palette.setColor(QPalette::Light, QColor(80, 80, 85));
    palette.setColor(QPalette::Midlight, QColor(66, 66, 70));
    palette.setColor(QPalette::Mid, QColor(36, 36, 38));
    palette.setColor(QPalette::Dark, QColor(24, 24, 26));
    palette.setColor(QPalette::Shadow, QColor(0, 0, 0));
    palette.setColor(QPalette::Highlight, highlight);
    palette.setColor(QPalette::HighlightedText, Qt::white);
    palette.setColor(QPalette::Link, QColor(90, 160, 255));
    palette.setColor(QPalette::LinkVisited, QColor(190, 130, 255));
    for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        palette.setColor(QPalette::Disabled, role, disabledText);
    palette.setColor(QPalette::Disabled, QPalette::Base, window);
    palette.setColor(QPalette::Disabled, QPalette::Highlight, QColor(80, 80, 80));
    return palette;
}

} // namespace dromel
