// Thumbnails through the shared freedesktop cache, on real files in a temporary
// home: trusted while they match, remade when stale, written so that other
// programs read them, failures remembered.
#include "look/ThumbnailLoader.h"
#include "look/ThumbnailMaker.h"

#include "core/FileEntry.h"
#include "support/ScopedEnv.h"
#include "support/TempTree.h"
#include "support/WaitUntil.h"

#include <QCryptographicHash>
#include <QFile>
#include <QImage>

#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sys/stat.h>
#include <unistd.h>

using namespace dromel;
using namespace dromel::test;

namespace {

// The PNG text chunks of a file, read without Qt: a check independent of the
// writer.
std::map<std::string, std::string> pngTexts(const std::string &file) {
    std::ifstream in(file, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::map<std::string, std::string> texts;
    if (bytes.size() < 8 || bytes.compare(1, 3, "PNG") != 0)
        return texts;
    std::size_t at = 8;
    while (at + 12 <= bytes.size()) {
        const auto byte = [&](std::size_t i) {
            return static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[i]));
        };
        const std::uint32_t length = byte(at) << 24 | byte(at + 1) << 16 | byte(at + 2) << 8 | byte(at + 3);
        const std::string type = bytes.substr(at + 4, 4);
        if (type == "tEXt") {
            const std::string body = bytes.substr(at + 8, length);
            const std::size_t zero = body.find('\0');
            texts[body.substr(0, zero)] = body.substr(zero + 1);
        }
        if (type == "IDAT" && !texts.empty() && texts.contains("Thumb::URI"))
            texts["(text before image data)"] = "yes";
        at += 12 + length;
    }
    return texts;
}

class ThumbnailLoaderTest : public ::testing::Test {
protected:
    ThumbnailLoaderTest() : cache(tree.path("cache/thumbnails")) {}

    // A real PNG of one colour.
    std::string writeImage(const std::string &name, QColor colour, QSize size = {300, 200}) {
        QImage image(size, QImage::Format_RGB32);
        image.fill(colour);
        const std::string path = tree.path(name);
        EXPECT_TRUE(image.save(QString::fromStdString(path), "png"));
        return path;
    }
    FileEntry entryOf(const std::string &path) const {
        struct stat status {};
        EXPECT_EQ(::stat(path.c_str(), &status), 0);
        const FileTime modified{std::chrono::seconds(status.st_mtim.tv_sec)};
        return FileEntry(path, path, path.substr(path.rfind('/') + 1), false, false, false, status.st_size,
                         modified, "PNG image");
    }
    ThumbnailCache::Source sourceOf(const std::string &path) const {
        struct stat status {};
        EXPECT_EQ(::stat(path.c_str(), &status), 0);
        return {path, status.st_mtim.tv_sec, status.st_size};
    }
    // Asks until the loader answers with a picture, or gives up.
    QPixmap load(ThumbnailLoader &loader, const std::string &path) {
        const FileEntry entry = entryOf(path);
        QPixmap pixmap;
        waitUntil([&] {
            pixmap = loader.thumbnail(entry);
            return !pixmap.isNull();
        });
        return pixmap;
    }
    static QColor centre(const QPixmap &pixmap) {
        const QImage image = pixmap.toImage();
        return image.pixelColor(image.width() / 2, image.height() / 2);
    }
    std::string md5Name(const std::string &uri) const {
        return QCryptographicHash::hash(QByteArray::fromStdString(uri), QCryptographicHash::Md5)
                   .toHex()
                   .toStdString() +
               ".png";
    }

    TempTree tree;
    ThumbnailCache cache;
};

} // namespace

TEST_F(ThumbnailLoaderTest, UrisAndFileNamesFollowTheDesktopsEscaping) {
    EXPECT_EQ(ThumbnailCache::uriOf("/home/ann/a b/été+1 (2)#.png"),
              "file:///home/ann/a%20b/%C3%A9t%C3%A9+1%20(2)%23.png");
    EXPECT_EQ(ThumbnailCache::uriOf("/x/\xff;?"), "file:///x/%FF%3B%3F") << "any bytes, not only UTF-8";
    EXPECT_EQ(cache.pathFor(ThumbnailCache::Flavour::large, "file:///x/a.png"),
              cache.root() + "/large/" + md5Name("file:///x/a.png"));
    EXPECT_EQ(ThumbnailCache::flavourFor(20), ThumbnailCache::Flavour::normal);
    EXPECT_EQ(ThumbnailCache::flavourFor(200), ThumbnailCache::Flavour::large);
    EXPECT_EQ(ThumbnailCache::flavourFor(4000), ThumbnailCache::Flavour::xxLarge);
}

TEST_F(ThumbnailLoaderTest, ACachedThumbnailIsTrustedWhileItMatchesAndRemadeWhenStale) {
    const std::string photo = writeImage("photo.png", Qt::red);
    const std::string uri = ThumbnailCache::uriOf(photo);
    const ThumbnailCache::Source source = sourceOf(photo);
    // Another program's thumbnail, written with Qt's own PNG texts.
    const auto plant = [&](QColor colour, std::int64_t modified) {
        QImage cached(128, 85, QImage::Format_RGB32);
        cached.fill(colour);
        cached.setText("Thumb::URI", QString::fromStdString(uri));
        cached.setText("Thumb::MTime", QString::number(modified));
        std::filesystem::create_directories(cache.root() + "/normal");
        ASSERT_TRUE(cached.save(QString::fromStdString(cache.pathFor(ThumbnailCache::Flavour::normal, uri))));
    };
    plant(Qt::blue, source.modifiedSeconds);
    {
        ThumbnailLoader loader(64, cache);
        EXPECT_EQ(centre(load(loader, photo)), QColor(Qt::blue)) << "the cached picture, not a new one";
    }
    plant(Qt::blue, source.modifiedSeconds - 60);
    ThumbnailLoader loader(64, cache);
    const QPixmap remade = load(loader, photo);
    EXPECT_EQ(centre(remade), QColor(Qt::red)) << "a thumbnail of another version is remade";
    EXPECT_EQ(remade.width(), 64);
    EXPECT_EQ(pngTexts(cache.pathFor(ThumbnailCache::Flavour::normal, uri))["Thumb::MTime"],
              std::to_string(source.modifiedSeconds));
}

TEST_F(ThumbnailLoaderTest, MadeThumbnailsCarryTheStandardsKeysForOtherPrograms) {
    const std::string photo = writeImage("holiday photo é.png", Qt::green, {1000, 500});
    const ThumbnailCache::Source source = sourceOf(photo);
    ThumbnailLoader loader(256, cache);
    ASSERT_FALSE(load(loader, photo).isNull());

    const std::string uri = ThumbnailCache::uriOf(photo);
    const std::string written = cache.root() + "/large/" + md5Name(uri);
    const auto texts = pngTexts(written);
    EXPECT_EQ(texts.at("Thumb::URI"), uri);
    EXPECT_EQ(texts.at("Thumb::MTime"), std::to_string(source.modifiedSeconds));
    EXPECT_EQ(texts.at("Thumb::Size"), std::to_string(source.size));
    EXPECT_EQ(texts.at("Thumb::Mimetype"), "image/png");
    EXPECT_TRUE(texts.contains("(text before image data)"));
    struct stat status {};
    ASSERT_EQ(::stat(written.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0600u);
    ASSERT_EQ(::stat(cache.root().c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0700u);
    const QImage image(QString::fromStdString(written));
    EXPECT_EQ(image.size(), QSize(256, 128)) << "the large flavour, the picture's proportions kept";
}

TEST_F(ThumbnailLoaderTest, ALargerSideTakesTheLargerFlavourAndDropsSmallerPictures) {
    const std::string photo = writeImage("wide.png", Qt::blue, {1000, 500});
    ThumbnailLoader loader(128, cache);
    EXPECT_EQ(load(loader, photo).width(), 128);
    loader.setSide(200);
    EXPECT_EQ(loader.side(), 256);
    EXPECT_EQ(load(loader, photo).width(), 256) << "not the smaller picture kept in memory";
    EXPECT_TRUE(QFile::exists(
        QString::fromStdString(cache.pathFor(ThumbnailCache::Flavour::large, ThumbnailCache::uriOf(photo)))));
    // One on its way at the old side is not kept either.
    const std::string other = writeImage("other.png", Qt::cyan, {1200, 600});
    (void)loader.thumbnail(entryOf(other));
    loader.setSide(512);
    EXPECT_EQ(load(loader, other).width(), 512);
}

TEST_F(ThumbnailLoaderTest, ABrokenImageIsRecordedAsFailedAndNotTriedAgain) {
    const std::string broken = tree.writeFile("broken.png", "\x89PNG\r\n\x1a\n not really a picture");
    const std::string good = writeImage("good.png", Qt::yellow);
    ThumbnailLoader loader(64, cache);
    const FileEntry entry = entryOf(broken);
    EXPECT_TRUE(loader.thumbnail(entry).isNull());
    ASSERT_FALSE(load(loader, good).isNull());
    ASSERT_TRUE(waitUntil([&] { return loader.pendingCount() == 0; }));
    const std::string uri = ThumbnailCache::uriOf(broken);
    const std::string failure = cache.root() + "/fail/dromel-" DROMEL_VERSION "/" + md5Name(uri);
    EXPECT_EQ(pngTexts(failure)["Thumb::URI"], uri);
    EXPECT_FALSE(QFile::exists(QString::fromStdString(cache.pathFor(ThumbnailCache::Flavour::normal, uri))));
    EXPECT_TRUE(cache.hasFailed(sourceOf(broken)));
    EXPECT_TRUE(loader.thumbnail(entry).isNull());
    EXPECT_EQ(loader.pendingCount(), 0) << "a failed item is not asked for again";
}

TEST_F(ThumbnailLoaderTest, ItemsScrolledAwayAreDroppedBeforeTheyStart) {
    ThumbnailLoader loader(64, cache);
    std::vector<std::string> paths;
    for (int i = 0; i < 12; ++i)
        paths.push_back(writeImage("p" + std::to_string(i) + ".png", Qt::gray));
    for (const std::string &path : paths)
        (void)loader.thumbnail(entryOf(path));
    loader.keepOnly({paths.back()});
    EXPECT_LE(loader.pendingCount(), 3) << "two running at most, and the one still shown";
    ASSERT_TRUE(waitUntil([&] { return loader.pendingCount() == 0; }));
    EXPECT_FALSE(load(loader, paths.back()).isNull());
}

// The thumbnailer notes the network it sees; a name on PATH is found there.
TEST_F(ThumbnailLoaderTest, SystemThumbnailersRunWithoutTheNetwork) {
    const std::string picture = writeImage("made-elsewhere.png", Qt::cyan, {32, 32});
    tree.makeFolder("bin");
    tree.writeFile("bin/net-probe",
                   "#!/bin/sh\nreadlink /proc/self/ns/net > '" + tree.path("seen") + "'\ncp '" + picture +
                       "' \"$2\"\n",
                   0755);
    tree.makeFolder("thumbnailers");
    tree.writeFile("thumbnailers/probe.thumbnailer",
                   "[Thumbnailer Entry]\nExec=net-probe %i %o\nMimeType=application/x-dromel-probe;\n");
    const char *path = std::getenv("PATH");
    ScopedEnv searched("PATH", tree.path("bin") + ":" + (path ? path : "/usr/bin:/bin"));
    const ThumbnailMaker maker({tree.path("thumbnailers")});
    ASSERT_EQ(maker.make(tree.writeFile("x.probe", "x"), "application/x-dromel-probe", 64).outcome,
              ThumbnailMaker::Outcome::made);
    std::ifstream seen(tree.path("seen"));
    std::string theirs;
    std::getline(seen, theirs);
    std::array<char, 64> ours{};
    ASSERT_GT(::readlink("/proc/self/ns/net", ours.data(), ours.size() - 1), 0);
    EXPECT_FALSE(theirs.empty());
    EXPECT_NE(theirs, std::string(ours.data())) << "a network namespace of its own";
}

TEST_F(ThumbnailLoaderTest, SystemThumbnailersRunAsProcessesAndAreStoppedPastTheTimeLimit) {
    // Two thumbnailer entries as a desktop installs them: one that copies a
    // picture to the output, one that hangs.
    const std::string picture = writeImage("made-elsewhere.png", Qt::magenta, {64, 48});
    tree.makeFolder("thumbnailers");
    tree.writeFile("thumbnailers/copy.sh", "#!/bin/sh\ncp '" + picture + "' \"$2\"\n", 0755);
    tree.writeFile("thumbnailers/hang.sh", "#!/bin/sh\nexec sleep 30\n", 0755);
    tree.writeFile("thumbnailers/a.thumbnailer",
                   "[Thumbnailer Entry]\nExec=" + tree.path("thumbnailers/copy.sh") +
                       " %i %o %s\nMimeType=application/x-dromel-a;\n");
    tree.writeFile("thumbnailers/b.thumbnailer",
                   "[Thumbnailer Entry]\nTryExec=" + tree.path("thumbnailers/hang.sh") + "\nExec=" +
                       tree.path("thumbnailers/hang.sh") + " %u %o\nMimeType=application/x-dromel-b;\n");
    const std::string document = tree.writeFile("document.a", "anything");
    const ThumbnailMaker maker({tree.path("thumbnailers")}, std::chrono::milliseconds(300));
    EXPECT_TRUE(maker.hasThumbnailer("application/x-dromel-a"));
    EXPECT_FALSE(maker.hasThumbnailer("application/x-dromel-c"));

    const ThumbnailMaker::Result made = maker.make(document, "application/x-dromel-a", 128);
    ASSERT_EQ(made.outcome, ThumbnailMaker::Outcome::made);
    EXPECT_EQ(made.image.size(), QSize(64, 48));
    EXPECT_EQ(made.image.pixelColor(10, 10), QColor(Qt::magenta));

    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(maker.make(document, "application/x-dromel-b", 128).outcome, ThumbnailMaker::Outcome::failed);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(20))
        << "killed, not waited for";
    EXPECT_EQ(maker.make(document, "application/x-dromel-c", 128).outcome,
              ThumbnailMaker::Outcome::unsupported);
}
