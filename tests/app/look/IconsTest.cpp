// Icons on a desktop without an icon theme: the bundled set must stand in.
#include "look/Icons.h"

#include "core/FileEntry.h"

#include <QDir>
#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

using namespace dromel;

namespace {

class IconsTest : public ::testing::Test {
protected:
    void SetUp() override {
        Icons::installFallback();
        m_theme = QIcon::themeName();
        QIcon::setThemeName(QStringLiteral("no-such-theme"));
    }
    void TearDown() override { QIcon::setThemeName(m_theme); }

    static FileEntry file(const std::string &folder, const std::string &name, const std::string &kind,
                          bool link = false) {
        return FileEntry(name, folder + "/" + name, name, false, false, link, 1, std::nullopt, kind);
    }
    static FileEntry folder(const std::string &path, bool link = false) {
        const auto slash = path.rfind('/');
        return FileEntry(path, path, path.substr(slash + 1), true, false, link, std::nullopt, std::nullopt,
                         "Folder");
    }
    static QImage render(const QIcon &icon, int side = 32) {
        QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        icon.paint(&painter, image.rect());
        return image;
    }
    static int paintedPixels(const QImage &image) {
        int count = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                count += qAlpha(image.pixel(x, y)) > 0;
        return count;
    }

    QString m_theme;
};

} // namespace

TEST_F(IconsTest, TheBundledSetStandsInForAMissingTheme) {
    for (const char *name :
         {"folder", "text-x-generic", "go-previous", "go-next", "go-up", "view-refresh", "tab-new",
          "edit-find", "user-home", "drive-harddisk", "drive-removable-media", "emblem-symbolic-link"}) {
        const QIcon icon = Icons::named(QString::fromLatin1(name));
        ASSERT_FALSE(icon.isNull()) << name;
        EXPECT_GT(paintedPixels(render(icon)), 50) << name << " draws something";
    }
    EXPECT_TRUE(Icons::named(QStringLiteral("no-such-icon-anywhere")).isNull());
}

TEST_F(IconsTest, FilesTakeTheirMimeTypesIconAndLinksCarryTheEmblem) {
    Icons icons;
    const QImage picture = render(icons.forEntry(file("/data", "photo.png", "PNG image")));
    EXPECT_EQ(picture, render(Icons::named(QStringLiteral("image-x-generic"))))
        << "image/png falls back to the generic image icon";
    EXPECT_EQ(render(icons.forEntry(file("/data", "song.ogg", "Ogg audio"))),
              render(Icons::named(QStringLiteral("audio-x-generic"))));
    EXPECT_EQ(render(icons.forEntry(file("/data", "mystery", "File"))),
              render(Icons::named(QStringLiteral("text-x-generic"))));
    EXPECT_EQ(render(icons.forEntry(folder("/data/sub"))), render(Icons::named(QStringLiteral("folder"))));

    const QImage link = render(icons.forEntry(file("/data", "photo-link.png", "PNG image", true)));
    EXPECT_NE(link, picture) << "the link emblem is drawn over the icon";
    // The emblem covers the lower left quarter only.
    EXPECT_EQ(link.copy(16, 0, 16, 16), picture.copy(16, 0, 16, 16));
    EXPECT_NE(render(icons.forEntry(folder("/data/linked", true))), render(Icons::named("folder")));
    EXPECT_EQ(render(icons.forEntry(folder(QDir::homePath().toStdString()))),
              render(Icons::named(QStringLiteral("user-home"))))
        << "well-known folders have their own icons";
}

TEST_F(IconsTest, AnInstalledThemeGivesEachTypeItsOwnIcon) {
    QIcon::setThemeName(QStringLiteral("breeze"));
    if (QIcon::fromTheme(QStringLiteral("application-pdf")).isNull())
        GTEST_SKIP() << "breeze-icon-theme is not installed";
    Icons icons;
    const struct {
        const char *name;
        const char *kind;
        const char *icon;
    } types[] = {
        {"report.pdf", "PDF document", "application-pdf"},
        {"main.cpp", "C++ source code", "text-x-c++src"},
        {"notes.txt", "plain text document", "text-plain"},
        {"song.mp3", "MP3 audio", "audio-mpeg"},
        {"archive.tar.gz", "Tar archive (gzip-compressed)", "application-x-compressed-tar"},
        {"unknown.qqq", "File", "text-x-generic"},
    };
    for (const auto &type : types) {
        const QIcon expected = QIcon::fromTheme(QString::fromLatin1(type.icon));
        ASSERT_FALSE(expected.isNull()) << type.icon;
        EXPECT_EQ(render(icons.forEntry(file("/data", type.name, type.kind))), render(expected)) << type.name;
    }
    EXPECT_NE(render(icons.forEntry(file("/data", "report.pdf", "PDF document"))),
              render(icons.forEntry(file("/data", "main.cpp", "C++ source code"))));

    const QImage plain = render(icons.forEntry(folder("/data/disk")));
    icons.setMountPoints({"/data/disk"});
    const QImage mounted = render(icons.forEntry(folder("/data/disk")));
    EXPECT_NE(mounted, plain) << "a mount point carries an emblem";
    EXPECT_EQ(mounted.copy(16, 0, 16, 16), plain.copy(16, 0, 16, 16)) << "in the lower left quarter only";

    const auto listed = [](bool unreadable) {
        return FileEntry::listed(std::make_shared<const std::string>("/data"), "private", 1, 2, true, false,
                                 false, std::nullopt, std::nullopt, nullptr, unreadable);
    };
    const QImage open = render(icons.forEntry(listed(false)));
    const QImage locked = render(icons.forEntry(listed(true)));
    EXPECT_NE(locked, open) << "a folder the user cannot open carries an emblem";
    EXPECT_EQ(render(icons.forEntry(listed(false))), open) << "cached apart";
}
