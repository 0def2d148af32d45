#include "commands/FileClipboard.h"

#include <QMimeData>
#include <gtest/gtest.h>

using namespace dromel;

namespace {

const std::string kLatin1Name = std::string("/tmp/caf\xE9 menu"); // not UTF-8

std::optional<FileClipboard::Contents>
decode(std::initializer_list<std::pair<const char *, QByteArray>> formats) {
    QMimeData data;
    for (const auto &[format, bytes] : formats)
        data.setData(format, bytes);
    return FileClipboard::decodeFiles(data);
}

} // namespace

TEST(FileClipboardTest, CopyAndCutRoundTripExactPathBytes) {
    const std::vector<std::string> paths = {"/tmp/plain", kLatin1Name, "/tmp/100% sure#1?", "/tmp/日本"};
    for (bool cut : {false, true}) {
        auto data = FileClipboard::encodeFiles(paths, cut);
        auto contents = FileClipboard::decodeFiles(*data);
        ASSERT_TRUE(contents);
        EXPECT_EQ(contents->paths, paths);
        EXPECT_EQ(contents->cut, cut);
    }
}

TEST(FileClipboardTest, WritesTheFormatsOtherFileManagersRead) {
    auto data = FileClipboard::encodeFiles({"/tmp/a b", kLatin1Name}, true);
    EXPECT_EQ(data->data(FileClipboard::kUriList), "file:///tmp/a%20b\r\nfile:///tmp/caf%E9%20menu\r\n");
    EXPECT_EQ(data->data(FileClipboard::kGnomeCopiedFiles),
              "cut\nfile:///tmp/a%20b\nfile:///tmp/caf%E9%20menu");
    EXPECT_EQ(data->data(FileClipboard::kKdeCutSelection), "1");
    EXPECT_TRUE(data->text().startsWith("/tmp/a b\n/tmp/caf"));

    auto copied = FileClipboard::encodeFiles({"/tmp/a"}, false);
    EXPECT_EQ(copied->data(FileClipboard::kGnomeCopiedFiles), "copy\nfile:///tmp/a");
    EXPECT_EQ(copied->data(FileClipboard::kKdeCutSelection), "0");
}

TEST(FileClipboardTest, ReadsForeignForms) {
    // GNOME Files: copied-files only, cut.
    auto gnome = decode(
        {{FileClipboard::kGnomeCopiedFiles, "cut\nfile:///home/u/a%20b\nfile://localhost/home/u/c\n"}});
    ASSERT_TRUE(gnome);
    EXPECT_TRUE(gnome->cut);
    EXPECT_EQ(gnome->paths, (std::vector<std::string>{"/home/u/a b", "/home/u/c"}));

    // Dolphin: uri-list plus the KDE marker.
    auto kdeCut =
        decode({{FileClipboard::kUriList, "file:///home/u/x\r\n"}, {FileClipboard::kKdeCutSelection, "1"}});
    ASSERT_TRUE(kdeCut);
    EXPECT_TRUE(kdeCut->cut);
    auto kdeCopy =
        decode({{FileClipboard::kUriList, "file:///home/u/x\r\n"}, {FileClipboard::kKdeCutSelection, "0"}});
    ASSERT_TRUE(kdeCopy);
    EXPECT_FALSE(kdeCopy->cut);

    // Newer Nautilus puts the GNOME form into plain text.
    auto nautilus = decode({{"text/plain", "x-special/nautilus-clipboard\ncut\nfile:///srv/f%C3%BC\n"}});
    ASSERT_TRUE(nautilus);
    EXPECT_TRUE(nautilus->cut);
    EXPECT_EQ(nautilus->paths, std::vector<std::string>{"/srv/f\xC3\xBC"});

    // A uri-list from a browser: comments, other schemes and bad escapes and escaped slashes are left out.
    auto mixed =
        decode({{FileClipboard::kUriList,
                 "# dragged\r\nhttps://example.org/x\r\nfile:///tmp/ok\r\nfile:///tmp/nul%00byte\r\n"
                 "file://otherhost/tmp/y\r\nfile:///tmp/a%2F..%2F..%2Fetc\r\nfile:/tmp/one-slash\r\n"}});
    ASSERT_TRUE(mixed);
    EXPECT_FALSE(mixed->cut);
    EXPECT_EQ(mixed->paths, (std::vector<std::string>{"/tmp/ok", "/tmp/one-slash"}));

    // Nothing to paste: plain text, other schemes, an unknown verb, copied paths.
    EXPECT_FALSE(decode({}));
    EXPECT_FALSE(decode({{"text/plain", "/tmp/a path typed as text"}}));
    EXPECT_FALSE(decode({{FileClipboard::kUriList, "https://example.org/\r\n"}}));
    EXPECT_FALSE(decode({{FileClipboard::kGnomeCopiedFiles, "move\nfile:///tmp/a"}}));
    EXPECT_FALSE(FileClipboard::decodeFiles(*FileClipboard::encodeText({"/tmp/a", "/tmp/b c"})));
}
