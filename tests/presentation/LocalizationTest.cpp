#include "presentation/Localization.h"
#include "QStringPrinting.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
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
    // Both tables must ask for the same arguments, or a formatted text would
    // lose one (or show a bare marker) in one language only.
    const QRegularExpression marker(QStringLiteral("%(L?n|[1-9])"));
    const auto markersOf = [&](const QString &text) {
        QStringList found;
        for (auto match = marker.globalMatch(text); match.hasNext();)
            found << match.next().captured();
        found.sort();
        return found;
    };
    for (TextKey key : kAllTextKeys) {
        EXPECT_EQ(textKeyFromRawValue(rawValue(key)), key) << rawValue(key);
        EXPECT_NE(en.text(key), raw(key)) << rawValue(key);
        EXPECT_NE(zh.text(key), en.text(key)) << rawValue(key) << " is not translated";
        EXPECT_EQ(markersOf(en.text(key)), markersOf(zh.text(key))) << rawValue(key);
    }
}

TEST(LocalizationTest, CountedKeysTakeTheirNumbersAndFormatSubstitutesArgumentsOnce) {
    const Localization en = english();
    const Localization zh = chinese();
    EXPECT_EQ(en.count(TextKey::items, 1), "1 item");
    EXPECT_EQ(en.count(TextKey::items, 1234), "1,234 items");
    EXPECT_EQ(zh.count(TextKey::items, 1), "1 个项目");
    EXPECT_EQ(zh.count(TextKey::items, 1234), "1,234 个项目");
    EXPECT_EQ(zh.count(TextKey::selected, 5), "已选择 5 个");
    EXPECT_EQ(en.count(TextKey::items, qint64(5'000'000'000)), "5,000,000,000 items");

    EXPECT_EQ(en.format(TextKey::directoryError, QString("/tmp/x"), QString("Permission denied")),
              "Cannot read “/tmp/x”: Permission denied");
    // A name that looks like a marker stays as it is.
    EXPECT_EQ(en.format(TextKey::directoryError, QString("/tmp/%2"), QString("gone")),
              "Cannot read “/tmp/%2”: gone");
    EXPECT_EQ(zh.format(TextKey::closeNamedTab, QString("文档")), "关闭“文档”");
    // Literals and integers (locale digits, no grouping, like printf's %d) are accepted too.
    EXPECT_EQ(en.format(TextKey::operationProgress, "1.2 MB", 12345), "1.2 MB of 12345");
    const std::string notUtf8{'a', '\xff', 'b'};
    EXPECT_EQ(en.format(TextKey::undoTask, notUtf8), "Undo “a\uFFFDb”");
}

TEST(LocalizationTest, ResolvesTheLanguageFromThePreferredList) {
    EXPECT_EQ(Localization::resolveLanguage(AppLanguage::english, {"zh-CN"}), "en");
    EXPECT_EQ(Localization::resolveLanguage(AppLanguage::simplifiedChinese, {"en-US"}), "zh-Hans");
    EXPECT_EQ(Localization::resolveLanguage(AppLanguage::system, {}), "en");
    EXPECT_EQ(Localization::resolveLanguage(AppLanguage::system, {"zh_CN.UTF-8"}), "zh-Hans");
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

TEST(LocalizationTest, NumbersDatesAndSizesFollowTheLanguage) {
    const Localization en = english();
    const Localization zh = chinese();
    EXPECT_EQ(en.bytes(0), "0 bytes");
    EXPECT_EQ(zh.bytes(0), "0 字节");
    EXPECT_EQ(en.bytes(1'234'567), "1.2 MB");
    const QDateTime when(QDate(2026, 3, 4), QTime(17, 6), Qt::LocalTime);
    EXPECT_EQ(en.date(when), "3/4/26 5:06 PM");
    EXPECT_EQ(zh.date(when), "2026/3/4 17:06");
    const auto instant = std::chrono::sys_time<std::chrono::nanoseconds>(
        std::chrono::milliseconds(when.toMSecsSinceEpoch()) + std::chrono::nanoseconds(999));
    EXPECT_EQ(en.date(instant), en.date(when));

    // A locale that speaks the language is kept; another gives way to the
    // language's own, so an English interface in a German or "C" environment
    // does not mix languages.
    const QLocale british(QLocale::English, QLocale::UnitedKingdom);
    EXPECT_EQ(Localization(AppLanguage::english, {}, british).locale(), british);
    EXPECT_EQ(Localization(AppLanguage::english, {}, british).date(when), "04/03/2026 17:06");
    EXPECT_EQ(Localization(AppLanguage::english, {}, QLocale(QLocale::German)).locale().language(),
              QLocale::English);
    EXPECT_EQ(Localization(AppLanguage::english, {}, QLocale::c()).count(TextKey::items, 1234),
              "1,234 items");
    EXPECT_EQ(Localization(AppLanguage::simplifiedChinese, {}, QLocale::c()).bytes(0), "0 字节");
}

TEST(LocalizationDeathTest, NoTableAtAllIsABrokenInstallation) {
    QTemporaryDir empty;
    ASSERT_TRUE(empty.isValid());
    EXPECT_DEATH(Localization(AppLanguage::english, {}, QLocale::c(), empty.path()),
                 "installation is broken");
}

TEST(LocalizationTest, QtsOwnTextsFollowTheLanguage) {
    const QString copy = QCoreApplication::translate("QLineEdit", "&Copy");
    if (!chinese().installToolkitTranslations())
        GTEST_SKIP() << "Qt's Chinese translations (qt6-translations-l10n) are not installed";
    EXPECT_NE(QCoreApplication::translate("QLineEdit", "&Copy"), copy);
    EXPECT_FALSE(english().installToolkitTranslations());
    EXPECT_EQ(QCoreApplication::translate("QLineEdit", "&Copy"), copy);
}
