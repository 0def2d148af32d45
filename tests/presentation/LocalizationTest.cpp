#include "presentation/Localization.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTranslator>
#include <gtest/gtest.h>

using namespace dromel;

namespace {

Localization english() {
    return Localization(AppLanguage::english, {}, QLocale(QLocale::English, QLocale::UnitedStates));
}
Localization chinese() {
    return Localization(AppLanguage::simplifiedChinese, {}, QLocale(QLocale::Chinese, QLocale::China));
}

QString raw(TextKey key) {
    return QString::fromLatin1(rawValue(key).data());
}

} // namespace

TEST(TextKeyTest, RawValuesAreTheCaseNamesAndRoundTrip) {
    EXPECT_EQ(kAllTextKeys.size(), 141u);
    EXPECT_EQ(rawValue(TextKey::conflictTitle), "conflictTitle");
    EXPECT_EQ(rawValue(kAllTextKeys.front()), "undoFileOperation");
    EXPECT_EQ(rawValue(kAllTextKeys.back()), "quitAfterCancel");
    for (TextKey key : kAllTextKeys)
        EXPECT_EQ(textKeyFromRawValue(rawValue(key)), key) << rawValue(key);
    EXPECT_EQ(textKeyFromRawValue("ConflictTitle"), std::nullopt);
    EXPECT_EQ(textKeyFromRawValue(""), std::nullopt);
}

// Each table is checked on its own, so a key that only falls back to its raw
// name (or to the other language) is caught.
TEST(LocalizationTest, BothTablesHaveAnEntryForEveryKey) {
    for (const char *code : {"en", "zh-Hans"}) {
        QTranslator table;
        ASSERT_TRUE(table.load(Localization::embeddedTables() + "/" + code + ".qm")) << code;
        for (TextKey key : kAllTextKeys) {
            const QString text = table.translate(nullptr, rawValue(key).data());
            EXPECT_FALSE(text.isEmpty()) << code << " lacks " << rawValue(key);
        }
    }
    const Localization en = english();
    const Localization zh = chinese();
    for (TextKey key : kAllTextKeys) {
        EXPECT_NE(en.text(key), raw(key)) << rawValue(key);
        EXPECT_NE(zh.text(key), en.text(key)) << rawValue(key) << " is not translated";
    }
}

TEST(LocalizationTest, CountedKeysTakeTheirNumbers) {
    const Localization en = english();
    EXPECT_EQ(en.count(TextKey::items, 1), "1 item");
    EXPECT_EQ(en.count(TextKey::items, 0), "0 items");
    EXPECT_EQ(en.count(TextKey::items, 1234), "1,234 items");
    EXPECT_EQ(en.count(TextKey::selected, 2), "2 selected");
    const Localization zh = chinese();
    EXPECT_EQ(zh.count(TextKey::items, 1), "1 个项目");
    EXPECT_EQ(zh.count(TextKey::items, 1234), "1,234 个项目");
    EXPECT_EQ(zh.count(TextKey::selected, 5), "已选择 5 个");
    EXPECT_EQ(en.count(TextKey::items, qint64(5'000'000'000)), "5,000,000,000 items");
}

TEST(LocalizationTest, FormatSubstitutesArgumentsOnce) {
    const Localization en = english();
    EXPECT_EQ(en.format(TextKey::directoryError, QString("/tmp/x"), QString("Permission denied")),
              "Cannot read “/tmp/x”: Permission denied");
    // A name that looks like a marker stays as it is.
    EXPECT_EQ(en.format(TextKey::directoryError, QString("/tmp/%2"), QString("gone")),
              "Cannot read “/tmp/%2”: gone");
    EXPECT_EQ(chinese().format(TextKey::closeNamedTab, QString("文档")), "关闭“文档”");
    EXPECT_EQ(
        en.format(TextKey::statusSelection, en.count(TextKey::items, 3), en.count(TextKey::selected, 1)),
        "3 items, 1 selected");
}

TEST(LocalizationTest, ResolvesTheLanguageFromThePreferredList) {
    EXPECT_EQ(Localization::resolveLanguage(AppLanguage::english, {"zh-CN"}), "en");
    EXPECT_EQ(Localization::resolveLanguage(AppLanguage::simplifiedChinese, {"en-US"}), "zh-Hans");
    EXPECT_EQ(Localization::resolveLanguage(AppLanguage::system, {}), "en");
    EXPECT_EQ(Localization::resolveLanguage(AppLanguage::system, {"C"}), "en");
    EXPECT_EQ(Localization::resolveLanguage(AppLanguage::system, {"zh_CN.UTF-8"}), "zh-Hans");
    EXPECT_EQ(Localization::resolveLanguage(AppLanguage::system, {"zh-Hans-CN", "en"}), "zh-Hans");
    EXPECT_EQ(Localization::resolveLanguage(AppLanguage::system, {"zh-SG"}), "zh-Hans");
    EXPECT_EQ(Localization::resolveLanguage(AppLanguage::system, {"de-DE", "zh"}), "zh-Hans");
    // Traditional Chinese is not served by the Simplified table.
    EXPECT_EQ(Localization::resolveLanguage(AppLanguage::system, {"zh-Hant-TW", "en-US"}), "en");
    EXPECT_EQ(Localization::resolveLanguage(AppLanguage::system, {"zh_TW", "zh_CN"}), "zh-Hans");
    EXPECT_EQ(Localization::resolveLanguage(AppLanguage::system, {"fr_FR@euro", "de"}), "en");
}

TEST(LocalizationTest, MissingTableFallsBackToEnglishAndMissingKeyShowsItsName) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    ASSERT_TRUE(QFile::copy(Localization::embeddedTables() + "/en.qm", folder.filePath("en.qm")));
    const Localization fallback(AppLanguage::simplifiedChinese, {}, QLocale(QLocale::Chinese, QLocale::China),
                                folder.path());
    EXPECT_EQ(fallback.language(), "zh-Hans");
    EXPECT_EQ(fallback.text(TextKey::cancel), "Cancel");

    // A table that has no entries at all still loads: every key shows its name.
    const char magic[] = "\x3c\xb8\x64\x18\xca\xef\x9c\x95\xcd\x21\x1c\xbf\x60\xa1\xbd\xdd";
    QFile table(folder.filePath("en.qm"));
    ASSERT_TRUE(table.remove());
    ASSERT_TRUE(table.open(QIODevice::WriteOnly));
    table.write(magic, 16);
    table.close();
    const Localization bare(AppLanguage::english, {}, QLocale(QLocale::English), folder.path());
    EXPECT_EQ(bare.text(TextKey::cancel), "cancel");
    EXPECT_EQ(bare.count(TextKey::items, 3), "items");
    EXPECT_EQ(bare.format(TextKey::directoryError, QString("a"), QString("b")), "directoryError");
}
