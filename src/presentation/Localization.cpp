#include "presentation/Localization.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

#include <algorithm>
#include <limits>
#include <mutex>
#include <optional>

namespace dromel {

namespace {

QString codeOf(std::string_view code) {
    return QString::fromLatin1(code.data(), qsizetype(code.size()));
}

// The code a table serves for one preferred language, or nothing. Qt fills in
// the likely script, so "zh", "zh_CN" and "zh-SG" are Simplified while
// "zh_TW" and "zh-HK" are Traditional.
std::optional<QString> servedCode(QString preferred) {
    preferred = preferred.section(u'.', 0, 0).section(u'@', 0, 0).trimmed();
    if (preferred.isEmpty())
        return std::nullopt;
    const QLocale locale(preferred);
    if (locale.language() == QLocale::English)
        return codeOf(Localization::kEnglish);
    if (locale.language() == QLocale::Chinese && locale.script() == QLocale::SimplifiedHanScript)
        return codeOf(Localization::kSimplifiedChinese);
    return std::nullopt;
}

QLocale ownLocale(const QString &language) {
    return language == codeOf(Localization::kSimplifiedChinese)
               ? QLocale(QLocale::Chinese, QLocale::SimplifiedHanScript, QLocale::China)
               : QLocale(QLocale::English, QLocale::UnitedStates);
}

QLocale formattingLocale(const QString &language, const QLocale &given) {
    const QLocale own = ownLocale(language);
    QLocale chosen = given.language() == own.language() ? given : own;
    chosen.setNumberOptions(QLocale::DefaultNumberOptions);
    return chosen;
}

std::shared_ptr<const QTranslator> loadTable(const QString &folder, const QString &language) {
    auto table = std::make_shared<QTranslator>();
    for (const QString &code : {language, codeOf(Localization::kEnglish)})
        if (table->load(QStringLiteral("%1/%2.qm").arg(folder, code)))
            return table;
    qFatal("Dromel: no translation table in %s; the installation is broken", qPrintable(folder));
}

std::mutex &currentMutex() {
    static std::mutex mutex;
    return mutex;
}

std::optional<Localization> &currentStorage() {
    static std::optional<Localization> current;
    return current;
}

// Replaces %1..%9 in one pass; other percent signs stay as they are.
QString substitute(const QString &pattern, const QStringList &arguments) {
    QString result;
    result.reserve(pattern.size());
    for (qsizetype index = 0; index < pattern.size(); ++index) {
        const QChar character = pattern.at(index);
        if (character == u'%' && index + 1 < pattern.size()) {
            const int digit = pattern.at(index + 1).digitValue();
            if (digit >= 1 && digit <= arguments.size()) {
                result += arguments.at(digit - 1);
                ++index;
                continue;
            }
        }
        result += character;
    }
    return result;
}

} // namespace

QString Localization::embeddedTables() {
    return QStringLiteral(":/dromel/presentation");
}

Localization::Localization(AppLanguage language, const QStringList &preferredLanguages, const QLocale &locale,
                           const QString &tablesFolder)
    : m_language(resolveLanguage(language, preferredLanguages)),
      m_locale(formattingLocale(m_language, locale)), m_table(loadTable(tablesFolder, m_language)) {}

QString Localization::resolveLanguage(AppLanguage language, const QStringList &preferredLanguages) {
    switch (language) {
    case AppLanguage::english:
        return codeOf(kEnglish);
    case AppLanguage::simplifiedChinese:
        return codeOf(kSimplifiedChinese);
    case AppLanguage::system:
        break;
    }
    for (const QString &preferred : preferredLanguages)
        if (auto code = servedCode(preferred))
            return *code;
    return codeOf(kEnglish);
}

QStringList Localization::preferredLanguages() {
    return QLocale::system().uiLanguages();
}

Localization Localization::current() {
    std::lock_guard lock(currentMutex());
    auto &current = currentStorage();
    if (!current)
        current.emplace(AppLanguage::system, preferredLanguages(), QLocale::system());
    return *current;
}

void Localization::setCurrent(const Localization &localization) {
    std::lock_guard lock(currentMutex());
    currentStorage() = localization;
}

bool Localization::installToolkitTranslations() const {
    static QTranslator *installed = nullptr;
    if (installed) {
        QCoreApplication::removeTranslator(installed);
        delete installed;
        installed = nullptr;
    }
    if (m_language == codeOf(kEnglish))
        return false;
    auto table = std::make_unique<QTranslator>();
    if (!table->load(ownLocale(m_language), QStringLiteral("qtbase"), QStringLiteral("_"),
                     QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        return false;
    installed = table.release();
    return QCoreApplication::installTranslator(installed);
}

QString Localization::lookup(TextKey key, int number) const {
    const char *id = rawValue(key).data();
    QString translated = m_table->translate(nullptr, id, nullptr, number);
    return translated.isNull() ? QString::fromLatin1(id) : translated;
}

QString Localization::text(TextKey key) const {
    return lookup(key, -1);
}

QString Localization::formatList(TextKey key, const QStringList &arguments) const {
    return substitute(text(key), arguments);
}

QString Localization::count(TextKey key, qint64 value) const {
    // The plural rules only need to tell small numbers apart; a count beyond
    // int's range still picks the "many" form.
    constexpr qint64 largest = std::numeric_limits<int>::max();
    const int number = int(std::clamp<qint64>(value, -largest, largest));
    QString result = lookup(key, number);
    result.replace(QStringLiteral("%Ln"), m_locale.toString(value));
    result.replace(QStringLiteral("%n"), plainNumber(value));
    return result;
}

QString Localization::plainNumber(qint64 value) const {
    QLocale plain = m_locale;
    plain.setNumberOptions(QLocale::OmitGroupSeparator);
    return plain.toString(value);
}

QString Localization::date(const QDateTime &value) const {
    return m_locale.toString(value.toLocalTime(), QLocale::ShortFormat);
}

QString Localization::date(std::chrono::sys_time<std::chrono::nanoseconds> value) const {
    const auto milliseconds = std::chrono::floor<std::chrono::milliseconds>(value).time_since_epoch();
    return date(QDateTime::fromMSecsSinceEpoch(milliseconds.count(), Qt::UTC));
}

QString Localization::bytes(qint64 value) const {
    return m_locale.formattedDataSize(value, 1, QLocale::DataSizeSIFormat);
}

} // namespace dromel
