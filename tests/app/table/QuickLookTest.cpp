// The preview window reading real files on its own queue.
#include "table/QuickLook.h"

#include "look/Icons.h"
#include "support/TempTree.h"
#include "support/WaitUntil.h"

#include <QImage>
#include <QSignalSpy>

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace dromel;

namespace {

class QuickLookTest : public ::testing::Test {
protected:
    FileEntry entry(const std::string &name, bool folder = false) const {
        struct stat status {};
        ::lstat(tree.path(name).c_str(), &status);
        return FileEntry(tree.path(name), tree.path(name), name, folder, false, false,
                         folder ? std::nullopt : std::optional<std::int64_t>(status.st_size), std::nullopt,
                         folder ? "Folder" : "File");
    }
    std::string writeImage(const std::string &name, int width, int height) const {
        QImage image(width, height, QImage::Format_RGB32);
        image.fill(Qt::darkMagenta);
        EXPECT_TRUE(image.save(QString::fromStdString(tree.path(name))));
        return tree.path(name);
    }

    test::TempTree tree;
    Icons icons;
};

} // namespace

TEST_F(QuickLookTest, ShowsTheStartOfTextScaledImagesAndDetailsOtherwise) {
    QuickLook preview(icons);
    QSignalSpy loaded(&preview, &QuickLook::loaded);
    std::string text(QuickLook::kTextBytes + 100, 'a');
    text.replace(QuickLook::kTextBytes - 1, 2, "\xc3\xa9"); // a character cut by the limit
    tree.writeFile("long.txt", text);
    preview.showEntry(entry("long.txt"), "Plain text");
    ASSERT_TRUE(loaded.wait(10000));
    ASSERT_EQ(preview.content(), QuickLook::Content::text);
    EXPECT_EQ(preview.text().size(), QuickLook::kTextBytes - 1)
        << "the cut character is left out, not mangled";
    EXPECT_FALSE(preview.text().contains(QChar::ReplacementCharacter));

    writeImage("huge.png", 5000, 1000);
    preview.showEntry(entry("huge.png"), "PNG image");
    ASSERT_TRUE(loaded.wait(10000));
    ASSERT_EQ(preview.content(), QuickLook::Content::image);
    EXPECT_EQ(preview.image().size(), QSize(QuickLook::kImageBound, QuickLook::kImageBound / 5))
        << "large images are read scaled down, keeping their shape";

    tree.makeFifo("pipe");
    preview.showEntry(entry("pipe"), "File");
    ASSERT_TRUE(loaded.wait(10000)) << "a FIFO must not hold the reader";
    EXPECT_EQ(preview.content(), QuickLook::Content::info);
    EXPECT_EQ(preview.windowTitle(), "pipe");
}

TEST_F(QuickLookTest, OnlyTheLastItemShownReceivesItsResult) {
    writeImage("picture.png", 3000, 3000);
    tree.writeFile("notes.txt", "notes");
    QuickLook preview(icons);
    QSignalSpy loaded(&preview, &QuickLook::loaded);
    preview.showEntry(entry("picture.png"), "PNG image");
    preview.showEntry(entry("notes.txt"), "Plain text");
    ASSERT_TRUE(loaded.wait(10000));
    // The queue is serial, so the picture's result (if any) came first and was dropped.
    ASSERT_TRUE(test::waitUntil([&] { return preview.content() == QuickLook::Content::text; }));
    test::spinFor(std::chrono::milliseconds(100));
    EXPECT_EQ(preview.content(), QuickLook::Content::text);
    EXPECT_EQ(preview.path(), tree.path("notes.txt"));
    EXPECT_EQ(loaded.count(), 1) << "the stale picture was dropped silently";
}

TEST_F(QuickLookTest, DestroyedWhileAReadIsInFlight) {
    writeImage("picture.png", 4000, 4000);
    auto preview = std::make_unique<QuickLook>(icons);
    preview->showEntry(entry("picture.png"), "PNG image");
    // Waits for the running read; its posted result must then find nobody (the
    // sanitizer build reports a use after free otherwise).
    preview.reset();
    test::spinFor(std::chrono::milliseconds(100));
}
