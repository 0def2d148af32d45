#pragma once

#include "presentation/AppLanguage.h"
#include "presentation/TextKey.h"

#include <QDateTime>
#include <QLocale>
#include <QString>
#include <QStringList>

#include <chrono>
#include <concepts>
#include <memory>
#include <string>

class QTranslator;

namespace dromel {

// The resolved interface language with its translation table and the locale
// that numbers, dates and sizes are written in. An immutable value, cheap to
// copy; lookups are const and may run on any thread.
//
// Texts with arguments use positional markers %1..%9, substituted in one pass,
// so an argument that itself contains "%2" (a file name, say) is never
// expanded again. Counted texts choose their plural form from the number and
// write it where the table says %Ln (grouped, in the locale) or %n (plain).
// A key missing from the table shows its own name.
class Localization {
public:
    // The codes with a table, in matching order.
    static constexpr std::string_view kEnglish = "en";
    static constexpr std::string_view kSimplifiedChinese = "zh-Hans";
    // Where the compiled tables are embedded, one "<code>.qm" per language.
    static QString embeddedTables();

    // `preferredLanguages` is most preferred first, in BCP 47 or POSIX form
    // ("zh-Hant-TW", "en_US.UTF-8"); `locale` is the user's formatting locale.
    // A missing table for the chosen language falls back to English; a
    // missing English table is a broken installation and aborts.
    Localization(AppLanguage language, const QStringList &preferredLanguages, const QLocale &locale,
                 const QString &tablesFolder = embeddedTables());

    // "en" or "zh-Hans": `english`/`simplifiedChinese` give theirs; `system`
    // takes the first preferred language that one of the tables serves
    // (Traditional Chinese is not served by the Simplified table), else "en".
    static QString resolveLanguage(AppLanguage language, const QStringList &preferredLanguages);
    // The locale environment's languages in order (LANGUAGE, then LC_ALL,
    // LC_MESSAGES, LANG), as Qt reads them.
    static QStringList preferredLanguages();

    // The process-wide value, created on first use from the environment with
    // `AppLanguage::system`. Main thread only; the application replaces it
    // once at launch with the language from the settings.
    static Localization current();
    static void setCurrent(const Localization &localization);

    // Qt's own texts (standard dialog buttons, the text fields' context
    // menu) in the same language, from Qt's installed translations. Installs
    // on the running application, replacing an earlier call's table; false
    // when Qt has no table for the language (English needs none).
    bool installToolkitTranslations() const;

    // The resolved code, "en" or "zh-Hans".
    QString language() const { return m_language; }
    // The locale handed in when it speaks the resolved language, otherwise
    // the language's own locale, so a Chinese interface never shows English
    // size units and a "C" environment still groups digits.
    QLocale locale() const { return m_locale; }

    QString text(TextKey key) const;

    template <typename... Arguments> QString format(TextKey key, const Arguments &...arguments) const {
        return formatList(key, QStringList{argumentText(arguments)...});
    }
    QString formatList(TextKey key, const QStringList &arguments) const;

    // The plural form of `key` for `value`, with the number written in.
    QString count(TextKey key, qint64 value) const;

    // Short numeric date and time in local time.
    QString date(const QDateTime &value) const;
    QString date(std::chrono::sys_time<std::chrono::nanoseconds> value) const;

    // The locale's file-size style in decimal units ("1.2 MB", "0 bytes").
    QString bytes(qint64 value) const;

private:
    QString lookup(TextKey key, int number) const;

    static QString argumentText(const QString &argument) { return argument; }
    static QString argumentText(const char *argument) { return QString::fromUtf8(argument); }
    static QString argumentText(const std::string &argument) { return QString::fromStdString(argument); }
    // Like printf's %d: the locale's digits, no grouping.
    template <std::integral Integer> QString argumentText(Integer argument) const {
        return plainNumber(static_cast<qint64>(argument));
    }
    QString plainNumber(qint64 value) const;

    QString m_language;
    QLocale m_locale;
    std::shared_ptr<const QTranslator> m_table;
};

} // namespace dromel
