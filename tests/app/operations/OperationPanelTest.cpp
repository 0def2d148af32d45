#include "operations/OperationPanel.h"

#include "engine/OperationJournal.h"
#include "engine/OperationService.h"
#include "operations/OperationText.h"
#include "operations/TaskBanner.h"
#include "presentation/Localization.h"
#include "support/ScopedEnv.h"
#include "support/TempTree.h"
#include "support/WaitUntil.h"

#include <QComboBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextDocument>
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

using namespace dromel;
using namespace dromel::test;

namespace {

// A real service on a real journal in a temporary folder, with the trash
// under a temporary XDG_DATA_HOME, so nothing reaches the user's files.
class OperationPanelTest : public ::testing::Test {
protected:
    TempTree tree;
    ScopedEnv dataHome{"XDG_DATA_HOME", tree.makeFolder("data")};
    ScopedEnv stateHome{"XDG_STATE_HOME", tree.makeFolder("state")};
    std::string journalPath = tree.path("state/operations.sqlite");
    std::unique_ptr<OperationService> service;

    void startService() {
        service = std::make_unique<OperationService>(journalPath);
        bool started = false;
        service->start([&] { started = true; });
        ASSERT_TRUE(waitUntil([&] { return started; }));
    }
    void SetUp() override {
        Localization::setCurrent(Localization(AppLanguage::english, {}, QLocale(QLocale::English)));
    }
    QString text(TextKey key) const { return Localization::current().text(key); }

    // Clicks the link whose text contains `needle` (QTextBrowser emits
    // anchorClicked for the anchor under the activated cursor).
    static bool clickLink(QTextBrowser *detail, const QString &needle) {
        QTextDocument *document = detail->document();
        for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
            for (auto it = block.begin(); !it.atEnd(); ++it) {
                const QTextFragment fragment = it.fragment();
                if (fragment.charFormat().isAnchor() && fragment.text().contains(needle)) {
                    emit detail->anchorClicked(QUrl(fragment.charFormat().anchorHref()));
                    return true;
                }
            }
        }
        return false;
    }
};

} // namespace

TEST_F(OperationPanelTest, StartupProblemIsShown) {
    tree.makeFolder("state/operations.sqlite"); // a folder where the journal file should be
    startService();
    ASSERT_TRUE(service->startupError());
    OperationPanel panel(*service);
    EXPECT_EQ(panel.summary()->text(), text(TextKey::noTasks));
    EXPECT_EQ(panel.detail()->toPlainText(), OperationText::problem(*service->startupError()));
}

TEST_F(OperationPanelTest, InterruptedTaskShowsEveryRecoveryPathOpenable) {
    tree.makeFolder("src");
    const std::string source = tree.writeFile("src/a.txt", "a");
    const std::string odd = tree.path("dst/.dromel-copy-caf\xE9");
    FileOperationTask interrupted(FileOperationRequest(FileOperationKind::copy,
                                                       {source, tree.path("src/b.txt")}, tree.path("dst"),
                                                       std::nullopt, false, {}, std::nullopt));
    interrupted.phase = OperationPhase::copying;
    FileOperationResult done;
    done.source = source;
    done.destination = tree.path("dst/a.txt");
    done.outcome = ItemOutcome::succeeded;
    done.recoveryPaths = {tree.path("data/Trash/files/a.txt")};
    interrupted.results = {done};
    interrupted.recoveryPaths = {odd};
    // The stage it left, as the journal identifies it.
    tree.makeFolder("dst");
    tree.makeFolder("dst/.dromel-copy-caf\xE9");
    tree.writeFile("dst/.dromel-copy-caf\xE9/part", "half");
    struct stat info {};
    ASSERT_EQ(::stat(odd.c_str(), &info), 0);
    interrupted.stages = {OperationStage{odd, std::int64_t(info.st_dev), info.st_ino, ::geteuid(), 0}};
    OperationJournal(journalPath).save(interrupted);

    startService();
    OperationPanel panel(*service);
    service->onChange = [&] { panel.update(); }; // as the file commands do
    std::vector<std::string> opened;
    panel.onOpenPath = [&](const std::string &path) { opened.push_back(path); };
    panel.show();

    ASSERT_EQ(panel.selectedID(), interrupted.id());
    const Localization l10n = Localization::current();
    EXPECT_EQ(panel.picker()->currentText(),
              "Copy 2 items to dst \u2014 " + OperationText::phase(OperationPhase::needsReview));
    const QString expected =
        OperationText::problem(OperationProblem(OperationProblem::Code::interrupted, "", "")) + "\n\n" +
        l10n.format(TextKey::operationResult, OperationText::outcome(ItemOutcome::succeeded),
                    QString::fromStdString(source), QString::fromStdString(tree.path("dst/a.txt"))) +
        "\n" +
        l10n.format(TextKey::operationRecovery, QString::fromStdString(tree.path("data/Trash/files/a.txt"))) +
        "\n\n" + l10n.text(TextKey::reviewLeftovers) + "\n\n" +
        l10n.format(TextKey::operationRecovery, OperationText::path(odd));
    EXPECT_EQ(panel.detail()->toPlainText(), expected);
    EXPECT_FALSE(panel.progress()->isVisible());
    EXPECT_FALSE(panel.cancelButton()->isEnabled());
    EXPECT_TRUE(panel.retryButton()->isEnabled());

    ASSERT_TRUE(clickLink(panel.detail(), "Trash/files/a.txt"));
    ASSERT_TRUE(clickLink(panel.detail(), ".dromel-copy-caf"));
    EXPECT_EQ(opened, (std::vector<std::string>{tree.path("data/Trash/files/a.txt"), odd}));

    // Clean Up removes the stage, once.
    EXPECT_EQ(panel.cleanUpButton()->accessibleName(), text(TextKey::cleanUpTask));
    ASSERT_TRUE(panel.cleanUpButton()->isEnabled());
    panel.cleanUpButton()->click();
    ASSERT_TRUE(waitUntil([&] { return ::access(odd.c_str(), F_OK) != 0 && !service->busy(); }));
    EXPECT_FALSE(panel.cleanUpButton()->isEnabled());
    EXPECT_FALSE(panel.detail()->toPlainText().contains(".dromel-copy-caf"));
    // Reviewed now: it says so, no longer "Needs review", also after a
    // restart, and it can be dismissed.
    const QString cleaned = text(TextKey::taskCleanedUp);
    EXPECT_EQ(panel.picker()->currentText(), "Copy 2 items to dst \u2014 " + cleaned);
    EXPECT_TRUE(panel.summary()->text().startsWith(cleaned)) << panel.summary()->text().toStdString();
    EXPECT_TRUE(panel.dismissButton()->isEnabled());
    EXPECT_FALSE(TaskBanner::needsAttention(*service->task(interrupted.id())));
    const auto reloaded = OperationJournal(journalPath).load();
    ASSERT_EQ(reloaded.size(), 1u);
    EXPECT_EQ(OperationText::phase(reloaded.front()), cleaned);

    // Retry resubmits only what was not done, and the new task is listed
    // first and shown; the old one cannot be retried twice meanwhile.
    panel.retryButton()->click();
    EXPECT_FALSE(panel.retryButton()->isEnabled());
    ASSERT_TRUE(waitUntil([&] { return service->tasks().size() == 2 && !service->busy(); }));
    const FileOperationTask &retried = service->tasks().front();
    EXPECT_EQ(retried.request.sources(), std::vector<std::string>{tree.path("src/b.txt")});
    EXPECT_EQ(panel.picker()->count(), 2);
    EXPECT_EQ(panel.selectedID(), retried.id());
    EXPECT_EQ(panel.picker()->currentText(),
              "Copy \u201Cb.txt\u201D to dst \u2014 " + OperationText::phase(retried.phase));

    // Opened again while an older task is chosen, the window shows the newest.
    panel.picker()->setCurrentIndex(1);
    emit panel.picker()->activated(1);
    ASSERT_EQ(panel.selectedID(), interrupted.id());
    panel.show();
    EXPECT_EQ(panel.selectedID(), retried.id());

    // A reviewed task can be dismissed: off the list and out of the journal.
    panel.picker()->setCurrentIndex(1);
    emit panel.picker()->activated(1);
    ASSERT_TRUE(panel.dismissButton()->isEnabled());
    panel.dismissButton()->click();
    ASSERT_TRUE(waitUntil([&] { return service->tasks().size() == 1 && !service->busy(); }));
    EXPECT_EQ(panel.picker()->count(), 1);
    for (const FileOperationTask &task : OperationJournal(journalPath).load())
        EXPECT_NE(task.id(), interrupted.id());
}
