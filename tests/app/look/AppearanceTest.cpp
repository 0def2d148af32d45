#include "look/Appearance.h"
#include "support/WaitUntil.h"

#include <QApplication>
#include <QEvent>
#include <QStyle>
#include <QWidget>
#include <gtest/gtest.h>

using namespace dromel;

namespace {

// Counts the palette changes a live widget receives.
class PaletteWatcher : public QWidget {
public:
    int changes = 0;

protected:
    void changeEvent(QEvent *event) override {
        if (event->type() == QEvent::PaletteChange)
            ++changes;
        QWidget::changeEvent(event);
    }
};

bool waitFor(const QWidget &widget, const QColor &window) {
    return test::waitUntil([&] { return widget.palette().color(QPalette::Window) == window; });
}

} // namespace

TEST(AppearanceTest, LightAndDarkApplyAtOnceAndSystemGivesTheDesktopBack) {
    const QString desktopStyle = QApplication::style()->name();
    const QColor desktopWindow = QApplication::palette().color(QPalette::Window);
    PaletteWatcher widget;
    widget.show();

    Appearance::apply(AppAppearance::dark);
    EXPECT_EQ(Appearance::current(), AppAppearance::dark);
    EXPECT_EQ(QApplication::style()->name().toLower(), "fusion");
    EXPECT_TRUE(Appearance::isDark());
    // Live widgets follow within the same turn of the event loop.
    EXPECT_TRUE(waitFor(widget, Appearance::darkPalette().color(QPalette::Window)));
    EXPECT_GE(widget.changes, 1);

    const int before = widget.changes;
    Appearance::apply(AppAppearance::light);
    EXPECT_FALSE(Appearance::isDark());
    EXPECT_TRUE(waitFor(widget, Appearance::lightPalette().color(QPalette::Window)));
    EXPECT_GT(widget.changes, before);

    Appearance::apply(AppAppearance::system);
    EXPECT_EQ(Appearance::current(), AppAppearance::system);
    EXPECT_EQ(Appearance::desktopStyle(), desktopStyle);
    EXPECT_EQ(QApplication::style()->name(), desktopStyle);
    EXPECT_EQ(QApplication::palette().color(QPalette::Window), desktopWindow);
    EXPECT_TRUE(waitFor(widget, desktopWindow));
}
