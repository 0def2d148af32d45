#include "look/MaterialHost.h"
#include "look/Appearance.h"
#include "look/DromelTheme.h"
#include "support/WaitUntil.h"

#include <QApplication>
#include <QImage>
#include <QPointer>
#include <QVBoxLayout>
#include <gtest/gtest.h>

using namespace dromel;

namespace {

// A window with a sidebar host and a content host, each over an empty
// (transparent) content widget so the backing shows.
struct Window {
    QWidget window;
    MaterialHost *sidebar = new MaterialHost(new QWidget, 20, true);
    MaterialHost *main = new MaterialHost(new QWidget, 16, false);

    Window() {
        window.setAutoFillBackground(true);
        auto *layout = new QVBoxLayout(&window);
        layout->addWidget(sidebar);
        layout->addWidget(main);
        window.resize(300, 300);
    }
    // Palette changes reach widgets through posted events.
    bool settled(const QPalette &palette) {
        return test::waitUntil([&] {
            return window.palette().color(QPalette::Window) == palette.color(QPalette::Window) &&
                   main->palette().color(QPalette::Window) == palette.color(QPalette::Window);
        });
    }
    // The colour painted at the centre of a host, over the window background.
    QColor centre(MaterialHost *host) {
        const QImage image = window.grab().toImage();
        return image.pixelColor(host->geometry().center());
    }
};

class MaterialHostTest : public ::testing::Test {
protected:
    void TearDown() override {
        DromelTheme::setSkin(SkinID::glass);
        DromelTheme::setReduceTransparency(false);
        Appearance::apply(AppAppearance::system);
        QCoreApplication::processEvents();
    }
};

} // namespace

TEST_F(MaterialHostTest, GlassIsTranslucentOverTheWindowAndSolidIsTheWindowColour) {
    Appearance::apply(AppAppearance::light);
    Window w;
    ASSERT_TRUE(w.settled(Appearance::lightPalette()));
    const QColor window = w.window.palette().color(QPalette::Window);
    const QColor sidebarGlass = w.centre(w.sidebar);
    const QColor mainGlass = w.centre(w.main);
    EXPECT_NE(sidebarGlass, window);
    EXPECT_NE(mainGlass, window);
    // The sidebar lets more of the window through than the main area.
    const int base = w.window.palette().color(QPalette::Base).lightness();
    EXPECT_LT(std::abs(base - mainGlass.lightness()), std::abs(base - sidebarGlass.lightness()));

    DromelTheme::setSkin(SkinID::solid);
    EXPECT_EQ(w.centre(w.sidebar), window);
    EXPECT_EQ(w.centre(w.main), window);
    // Rounded: the very corner is the window's own background, not the panel's edge.
    EXPECT_EQ(w.window.grab().toImage().pixelColor(w.main->geometry().topLeft()), window);
    DromelTheme::setSkin(SkinID::glass);
    DromelTheme::setReduceTransparency(true);
    EXPECT_EQ(w.main->backing(), MaterialHost::Backing::solid) << "reduced transparency asks for solid";
    EXPECT_EQ(w.centre(w.sidebar), window);
}
