#include "QStringPrinting.h"
#include "presentation/Localization.h"

#include <QCoreApplication>
#include <QProcess>
#include <QProcessEnvironment>
#include <gtest/gtest.h>

using namespace dromel;

namespace {

constexpr const char *kExpectedVariable = "DROMEL_EXPECTED_LANGUAGE";

struct Case {
    QStringList environment; // NAME=value; every locale variable not named is removed
    QString expected;
};

// Qt reads the locale environment once per process, so each environment gets
// a child process that runs only the check below.
bool childAgrees(const Case &probe, QString *output) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG", "LC_NUMERIC", "LC_TIME"})
        environment.remove(name);
    for (const QString &assignment : probe.environment)
        environment.insert(assignment.section(u'=', 0, 0), assignment.section(u'=', 1));
    environment.insert(kExpectedVariable, probe.expected);
    QProcess child;
    child.setProcessEnvironment(environment);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(QCoreApplication::applicationFilePath(),
                {"--gtest_filter=LanguageEnvironmentTest.ChildResolvesExpectedLanguage"});
    if (!child.waitForFinished(60'000))
        return false;
    *output = QString::fromLocal8Bit(child.readAll());
    return child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0 &&
           output->contains("[  PASSED  ] 1 test");
}

} // namespace

TEST(LanguageEnvironmentTest, ChildResolvesExpectedLanguage) {
    const QByteArray expected = qgetenv(kExpectedVariable);
    if (expected.isEmpty())
        GTEST_SKIP() << "runs only as the child of PreferredLanguagesComeFromTheLocaleEnvironment";
    const Localization current = Localization::current();
    EXPECT_EQ(current.language(), QString::fromLatin1(expected))
        << Localization::preferredLanguages().join(u',').toStdString();
    // Sizes and numbers are written in the language's own locale.
    if (expected == "zh-Hans")
        EXPECT_EQ(current.bytes(0), "0 字节");
    else
        EXPECT_EQ(current.bytes(0), "0 bytes");
    EXPECT_EQ(current.count(TextKey::items, 1234).contains("1,234"), true);
}

TEST(LanguageEnvironmentTest, PreferredLanguagesComeFromTheLocaleEnvironment) {
    const Case cases[] = {
        {{"LANGUAGE=zh_CN:en", "LANG=en_US.UTF-8"}, "zh-Hans"},
        {{"LANGUAGE=en_GB:zh_CN", "LANG=zh_CN.UTF-8"}, "en"},
        {{"LC_ALL=zh_CN.UTF-8", "LANG=en_US.UTF-8"}, "zh-Hans"},
        {{"LANG=zh_CN.UTF-8"}, "zh-Hans"},
        {{"LC_ALL=C.UTF-8"}, "en"},
        {{}, "en"},
        {{"LANGUAGE=zh_TW:en_US", "LANG=zh_TW.UTF-8"}, "en"},
        {{"LANGUAGE=de_DE:zh_CN", "LANG=de_DE.UTF-8"}, "zh-Hans"},
    };
    for (const Case &probe : cases) {
        QString output;
        EXPECT_TRUE(childAgrees(probe, &output)) << probe.environment.join(u' ').toStdString()
                                                 << " should give " << probe.expected.toStdString() << "\n"
                                                 << output.toStdString();
    }
}
