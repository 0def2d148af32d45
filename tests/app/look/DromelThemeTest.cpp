#include "look/DromelTheme.h"

#include <QApplication>
#include <gtest/gtest.h>

using namespace dromel;

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
    label->grab(); // paints without trouble
}
