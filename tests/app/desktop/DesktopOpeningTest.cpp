// Opening items by the desktop's rules, read through GIO from hand-made
// desktop entries and a mimeapps.list in the test's own XDG folders; the
// applications are a recorder script that writes down each launch's arguments.
#include "desktop/ApplicationDatabase.h"
#include "desktop/ApplicationLauncher.h"
#include "desktop/ItemOpener.h"
#include "desktop/OpenWithDialog.h"

#include "DesktopHome.h"
#include "support/TempTree.h"
#include "support/WaitUntil.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>

using namespace dromel;
using namespace dromel::test;

namespace {

const DesktopHome kHome;

std::vector<std::string> ids(const std::vector<DesktopApplication> &applications) {
    std::vector<std::string> result;
    for (const DesktopApplication &application : applications)
        result.push_back(application.id);
    return result;
}

class DesktopOpeningTest : public ::testing::Test {
protected:
    void SetUp() override { kHome.forgetLaunches(); }
    void TearDown() override { ASSERT_TRUE(launcher.waitForIdleForTesting(10000)); }

    bool launched(const std::vector<std::string> &expected) {
        return waitUntil([&] { return kHome.launches().size() >= expected.size(); },
                         std::chrono::seconds(10)) &&
               kHome.launches() == expected;
    }

    TempTree tree;
    QWidget window;
    ApplicationLauncher launcher;
    std::vector<std::string> failures;
    ItemOpener opener{&window, launcher,
                      [this](const std::string &path, const std::string &) { failures.push_back(path); }};
};

} // namespace

TEST_F(DesktopOpeningTest, DefaultAndListFollowMimeappsAndRemovedAssociations) {
    const std::optional<DesktopApplication> chosen = ApplicationDatabase::defaultFor("text/x-dromel-sample");
    ASSERT_TRUE(chosen);
    EXPECT_EQ(chosen->id, "recorder-single.desktop");
    EXPECT_FALSE(chosen->takesList);

    const std::vector<std::string> listed = ids(ApplicationDatabase::applicationsFor("text/x-dromel-sample"));
    EXPECT_EQ(listed, (std::vector<std::string>{"recorder-single.desktop", "recorder-list.desktop"}));
    EXPECT_EQ(ApplicationDatabase::defaultFor("text/plain")->id, "recorder-list.desktop");
    EXPECT_TRUE(ApplicationDatabase::defaultFor("text/plain")->takesList);

    // The removed association leaves the application installed for the chooser.
    const std::vector<std::string> everything = ids(ApplicationDatabase::all());
    EXPECT_NE(std::find(everything.begin(), everything.end(), "recorder-removed.desktop"), everything.end());
}

TEST_F(DesktopOpeningTest, ItemsOfOneTypeOpenInOneLaunchWhenTheApplicationTakesAList) {
    const std::string first = tree.writeFile("first note.txt", "plain text\n");
    const std::string second = tree.writeFile("second.txt", "more text\n");
    opener.open({first, second});
    EXPECT_TRUE(launched({"list|" + first + "|" + second}));

    // An application taking one file at a time is started once per item.
    kHome.forgetLaunches();
    ASSERT_TRUE(ApplicationDatabase::launch("recorder-single.desktop", {first, second}));
    ASSERT_TRUE(waitUntil([&] { return kHome.launches().size() == 2; }, std::chrono::seconds(10)));
    std::vector<std::string> lines = kHome.launches();
    std::sort(lines.begin(), lines.end());
    EXPECT_EQ(lines, (std::vector<std::string>{"single|" + first, "single|" + second}));
    EXPECT_TRUE(failures.empty());
}

TEST_F(DesktopOpeningTest, ProgramAsksBeforeItRuns) {
    const std::string marker = tree.path("ran");
    const std::string program = tree.writeFile("tool.sh", "#!/bin/sh\ntouch '" + marker + "'\n", 0755);
    const auto press = [&](const QString &title) {
        QMessageBox *question = opener.questionForTesting();
        for (QAbstractButton *button : question->buttons())
            if (button->text() == title)
                button->click();
    };

    opener.open({program});
    ASSERT_TRUE(waitUntil([&] { return opener.questionForTesting() != nullptr; }));
    press("Cancel");
    EXPECT_TRUE(waitUntil([&] { return opener.questionForTesting() == nullptr; }));

    // "Open as Text" hands the script to the text type's default.
    opener.open({program});
    ASSERT_TRUE(waitUntil([&] { return opener.questionForTesting() != nullptr; }));
    press("Open as Text");
    EXPECT_TRUE(launched({"list|" + program}));
    EXPECT_NE(::access(marker.c_str(), F_OK), 0);

    opener.open({program});
    ASSERT_TRUE(waitUntil([&] { return opener.questionForTesting() != nullptr; }));
    press("Run");
    EXPECT_TRUE(waitUntil([&] { return ::access(marker.c_str(), F_OK) == 0; }, std::chrono::seconds(10)));
}

TEST_F(DesktopOpeningTest, TypeWithoutApplicationOffersOpenWithWhoseDefaultGioReadsBack) {
    const std::string blob = tree.writeFile("blob.bin", std::string("\x7f\x01\x00\x02\xff\xfe", 6));
    opener.open({blob});
    OpenWithDialog *dialog = nullptr;
    ASSERT_TRUE(waitUntil([&] { return (dialog = window.findChild<OpenWithDialog *>()) != nullptr; }));
    ASSERT_TRUE(waitUntil([&] { return dialog->list()->isEnabled(); }));
    EXPECT_EQ(dialog->list()->count(), 3);

    dialog->searchField()->setText("single");
    int shown = 0;
    for (int row = 0; row < dialog->list()->count(); ++row)
        shown += dialog->list()->item(row)->isHidden() ? 0 : 1;
    EXPECT_EQ(shown, 1);
    EXPECT_EQ(dialog->list()->currentItem()->text(), "Recorder Single");
    dialog->defaultBox()->setChecked(true);
    dialog->openButton()->click();
    EXPECT_TRUE(launched({"single|" + blob}));
    ASSERT_TRUE(launcher.waitForIdleForTesting(10000));

    // Another client of the same files sees the new default.
    QProcess gio;
    gio.start("gio", {"mime", "application/octet-stream"});
    ASSERT_TRUE(gio.waitForFinished(10000));
    const QString answer = QString::fromUtf8(gio.readAllStandardOutput());
    EXPECT_TRUE(answer.section('\n', 0, 0).contains("recorder-single.desktop")) << answer.toStdString();
    EXPECT_EQ(ApplicationDatabase::defaultFor("application/octet-stream")->id, "recorder-single.desktop");
}
