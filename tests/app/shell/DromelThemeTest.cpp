#include "shell/DromelTheme.h"
#include "shell/Appearance.h"
#include "support/WaitUntil.h"

#include <QApplication>
#include <QFontDatabase>
#include <gtest/gtest.h>

using namespace dromel;

TEST(DromelThemeTest, FontsStepDownFromTheDesktopFontButStayReadable) {
    const QFont desktop = QApplication::font();
    QFont large = desktop;
    large.setPointSizeF(26);
    QApplication::setFont(large);
    EXPECT_EQ(DromelTheme::body(), large);
    EXPECT_EQ(DromelTheme::control().family(), large.family());
    EXPECT_DOUBLE_EQ(DromelTheme::control().pointSizeF(), 24);
    EXPECT_DOUBLE_EQ(DromelTheme::caption().pointSizeF(), 22);

    // Never smaller than the desktop's smallest readable size.
    const double smallest = QFontDatabase::systemFont(QFontDatabase::SmallestReadableFont).pointSizeF();
    QFont small = desktop;
    small.setPointSizeF(smallest + 0.5);
    QApplication::setFont(small);
    EXPECT_DOUBLE_EQ(DromelTheme::caption().pointSizeF(), smallest);
    QApplication::setFont(desktop);
}

TEST(DromelThemeTest, SkinChangesAreAnnounced) {
    int changed = 0, accessibility = 0;
    QObject receiver;
    QObject::connect(DromelTheme::instance(), &DromelTheme::didChange, &receiver, [&] { ++changed; });
    QObject::connect(DromelTheme::instance(), &DromelTheme::accessibilityChanged, &receiver,
                     [&] { ++accessibility; });
    EXPECT_EQ(DromelTheme::skin(), SkinID::glass);
    DromelTheme::setSkin(SkinID::solid);
    EXPECT_EQ(DromelTheme::skin(), SkinID::solid);
    // Launch announces the loaded skin even when it is the current one.
    DromelTheme::setSkin(SkinID::solid);
    EXPECT_EQ(changed, 2);
    DromelTheme::setReduceTransparency(true);
    DromelTheme::setReduceTransparency(true);
    DromelTheme::setReduceTransparency(false);
    EXPECT_EQ(accessibility, 2);
    DromelTheme::setSkin(SkinID::glass);
}

TEST(DromelThemeTest, LabelsElideInTheMiddleAndKeepTheirText) {
    const QString text = "/home/someone/a-rather-long-folder-name/with-a-file-at-the-end.txt";
    std::unique_ptr<QLabel> label(DromelTheme::label(text, false));
    label->resize(label->sizeHint());
    auto *themed = static_cast<DromelTheme::Label *>(label.get());
    EXPECT_EQ(themed->shownText(), text);
    label->resize(label->fontMetrics().horizontalAdvance(text) / 3, label->height());
    const QString shown = themed->shownText();
    EXPECT_TRUE(shown.contains(QChar(0x2026))) << shown.toStdString();
    EXPECT_TRUE(shown.startsWith("/home")) << shown.toStdString();
    EXPECT_TRUE(shown.endsWith(".txt")) << shown.toStdString();
    EXPECT_EQ(label->text(), text);
    EXPECT_LT(label->minimumSizeHint().width(), label->width());
    EXPECT_EQ(label->font(), DromelTheme::body());
    EXPECT_EQ(label->foregroundRole(), QPalette::WindowText);
    label->grab(); // paints without trouble
}

TEST(DromelThemeTest, CaptionLabelsUseTheSecondaryColourOfTheCurrentPalette) {
    std::unique_ptr<QLabel> caption(DromelTheme::label("note", true));
    EXPECT_EQ(caption->font(), DromelTheme::caption());
    EXPECT_EQ(caption->foregroundRole(), QPalette::PlaceholderText);
    const auto secondaryBecomes = [&](const QPalette &palette) {
        return test::waitUntil([&] {
            return caption->palette().color(caption->foregroundRole()) ==
                   palette.color(QPalette::PlaceholderText);
        });
    };
    Appearance::apply(AppAppearance::dark);
    EXPECT_TRUE(secondaryBecomes(Appearance::darkPalette()));
    Appearance::apply(AppAppearance::light);
    EXPECT_TRUE(secondaryBecomes(Appearance::lightPalette()));
    Appearance::apply(AppAppearance::system);
}
