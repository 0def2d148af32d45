#include "operations/OperationPanel.h"

#include "app/operations/ServiceFixture.h"
#include "operations/OperationText.h"
#include "presentation/Localization.h"

#include <QComboBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextDocument>
#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace dromel;
using namespace dromel::test;

namespace {

class OperationPanelTest : public ::testing::Test, protected ServiceFixture {
protected:
    void SetUp() override {
        Localization::setCurrent(Localization(AppLanguage::english, {}, QLocale(QLocale::English)));
    }
    QString text(TextKey key) const { return Localization::current().text(key); }

    std::optional<Uuid> submit(FileOperationRequest request) {
        std::optional<Uuid> id;
        bool answered = false;
        service->submit(std::move(request), [&](std::optional<Uuid> admitted) {
            id = admitted;
            answered = true;
        });
        EXPECT_TRUE(waitUntil([&] { return answered; }));
        return id;
    }
    bool finished(const Uuid &id) const {
        const FileOperationTask *task = service->task(id);
        return task && isTerminal(task->phase) && !service->busy();
    }

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

TEST_F(OperationPanelTest, EmptyServiceAndWindowGeometry) {
    startService();
    OperationPanel panel(*service);
    panel.show();
    EXPECT_EQ(panel.window()->size(), OperationPanel::kInitialSize);
    EXPECT_EQ(panel.window()->minimumSize(), OperationPanel::kMinimumSize);
    EXPECT_EQ(panel.window()->windowTitle(), text(TextKey::operations));
    EXPECT_EQ(panel.picker()->accessibleName(), text(TextKey::operations));
    EXPECT_EQ(panel.summary()->text(), text(TextKey::noTasks));
    EXPECT_TRUE(panel.detail()->toPlainText().isEmpty());
    EXPECT_FALSE(panel.cancelButton()->isEnabled());
    EXPECT_FALSE(panel.retryButton()->isEnabled());
    EXPECT_FALSE(panel.undoButton()->isEnabled());
    EXPECT_EQ(panel.undoButton()->toolTip(), text(TextKey::undoEmpty));
    EXPECT_FALSE(panel.progress()->isVisible());

    // Closing only hides it; it comes back as it was.
    panel.window()->close();
    EXPECT_FALSE(panel.window()->isVisible());
    panel.show();
    EXPECT_TRUE(panel.window()->isVisible());
}

TEST_F(OperationPanelTest, StartupProblemIsShown) {
    tree.makeFolder("state/operations.sqlite"); // a folder where the journal file should be
    startService();
    ASSERT_TRUE(service->startupError());
    OperationPanel panel(*service);
    EXPECT_EQ(panel.summary()->text(), text(TextKey::noTasks));
    EXPECT_EQ(panel.detail()->toPlainText(), OperationText::problem(*service->startupError()));
    EXPECT_TRUE(panel.detail()->toPlainText().contains(QString::fromStdString(journalPath)));
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
    OperationJournal(journalPath).save(interrupted);

    startService();
    OperationPanel panel(*service);
    std::vector<std::string> opened;
    panel.onOpenPath = [&](const std::string &path) { opened.push_back(path); };
    panel.show();

    ASSERT_EQ(panel.selectedID(), interrupted.id());
    const Localization l10n = Localization::current();
    EXPECT_EQ(panel.picker()->currentText(),
              "a.txt \u2014 " + OperationText::phase(OperationPhase::needsReview));
    const QString expected =
        OperationText::problem(OperationProblem(OperationProblem::Code::interrupted, "", "")) + "\n\n" +
        l10n.format(TextKey::operationResult, OperationText::outcome(ItemOutcome::succeeded),
                    QString::fromStdString(source), QString::fromStdString(tree.path("dst/a.txt"))) +
        "\n" +
        l10n.format(TextKey::operationRecovery, QString::fromStdString(tree.path("data/Trash/files/a.txt"))) +
        "\n\n" + l10n.format(TextKey::operationRecovery, OperationText::path(odd));
    EXPECT_EQ(panel.detail()->toPlainText(), expected);
    EXPECT_FALSE(panel.progress()->isVisible());
    EXPECT_FALSE(panel.cancelButton()->isEnabled());
    EXPECT_TRUE(panel.retryButton()->isEnabled());

    ASSERT_TRUE(clickLink(panel.detail(), "Trash/files/a.txt"));
    ASSERT_TRUE(clickLink(panel.detail(), ".dromel-copy-caf"));
    EXPECT_EQ(opened, (std::vector<std::string>{tree.path("data/Trash/files/a.txt"), odd}));

    // Retry resubmits only what was not done, and the new task is listed first.
    panel.retryButton()->click();
    ASSERT_TRUE(waitUntil([&] { return service->tasks().size() == 2 && !service->busy(); }));
    EXPECT_EQ(service->tasks().front().request.sources(), std::vector<std::string>{tree.path("src/b.txt")});
    EXPECT_EQ(panel.picker()->count(), 2);
}

TEST_F(OperationPanelTest, CopyProgressIsDeterminateOnlyWithAKnownTotal) {
    StepGate gate("after-copy");
    startService();
    service->setCheckpointForTesting(gate.checkpoint());
    OperationPanel panel(*service);
    service->onChange = [&] { panel.update(); };
    tree.makeFolder("dst");
    tree.makeFolder("src");
    tree.writeSizedFile("src/big.bin", 3 << 20);
    ASSERT_TRUE(submit(FileOperationRequest(FileOperationKind::copy, {tree.path("src/big.bin")},
                                            tree.path("dst"), std::nullopt, false, {}, std::nullopt)));
    ASSERT_TRUE(waitUntil([&] {
        return gate.reached() && newest()->phase == OperationPhase::copying && newest()->totalBytes > 0;
    }));
    panel.show();
    EXPECT_TRUE(panel.progress()->isVisible());
    EXPECT_GT(panel.progress()->maximum(), 0);
    const Localization l10n = Localization::current();
    EXPECT_EQ(panel.bytes()->text(), l10n.format(TextKey::operationProgress, l10n.bytes(newest()->bytes),
                                                 l10n.bytes(newest()->totalBytes)));
    EXPECT_TRUE(panel.cancelButton()->isEnabled());
    EXPECT_FALSE(panel.retryButton()->isEnabled());
    EXPECT_FALSE(panel.undoButton()->isEnabled());
    EXPECT_EQ(panel.undoButton()->toolTip(), text(TextKey::undoBusy));
    gate.open();
    ASSERT_TRUE(waitUntil([&] { return finished(newest()->id()); }));
    EXPECT_FALSE(panel.progress()->isVisible());
    EXPECT_TRUE(panel.bytes()->text().isEmpty());

    // An empty file has no known total: the bar runs without a value.
    StepGate second("after-copy");
    service->setCheckpointForTesting(second.checkpoint());
    tree.writeFile("src/empty.txt");
    ASSERT_TRUE(submit(FileOperationRequest(FileOperationKind::copy, {tree.path("src/empty.txt")},
                                            tree.path("dst"), std::nullopt, false, {}, std::nullopt)));
    ASSERT_TRUE(waitUntil([&] { return second.reached() && newest()->phase == OperationPhase::copying; }));
    panel.show();
    EXPECT_EQ(panel.selectedID(), newest()->id());
    EXPECT_TRUE(panel.progress()->isVisible());
    EXPECT_EQ(panel.progress()->maximum(), 0);
    EXPECT_TRUE(panel.bytes()->text().isEmpty());
    second.open();
    ASSERT_TRUE(waitUntil([&] { return finished(newest()->id()); }));
}

TEST_F(OperationPanelTest, UndoOfARenameAndItsTask) {
    startService();
    OperationPanel panel(*service);
    service->onChange = [&] { panel.update(); };
    tree.makeFolder("dir");
    const std::string item = tree.writeFile("dir/old.txt", "x");
    const auto renamed = submit(FileOperationRequest(FileOperationKind::rename, {item}, std::nullopt,
                                                     std::string("new.txt"), false, {}, std::nullopt));
    ASSERT_TRUE(renamed);
    ASSERT_TRUE(waitUntil([&] { return finished(*renamed); }));
    ASSERT_EQ(service->task(*renamed)->phase, OperationPhase::completed);
    EXPECT_TRUE(panel.undoButton()->isEnabled());
    EXPECT_EQ(panel.undoButton()->toolTip(), text(TextKey::undoScope));
    EXPECT_FALSE(panel.retryButton()->isEnabled()); // completed

    panel.undoButton()->click();
    ASSERT_TRUE(
        waitUntil([&] { return service->tasks().size() == 2 && finished(service->tasks().front().id()); }));
    const FileOperationTask &undo = service->tasks().front();
    EXPECT_EQ(panel.selectedID(), undo.id());
    EXPECT_EQ(panel.picker()->currentText(), Localization::current().format(TextKey::undoTask, "old.txt") +
                                                 " \u2014 " + OperationText::phase(undo.phase));
    struct stat info {};
    EXPECT_EQ(::lstat(item.c_str(), &info), 0);
    EXPECT_FALSE(panel.retryButton()->isEnabled()); // an undo is never retried
    EXPECT_FALSE(panel.undoButton()->isEnabled());
    EXPECT_EQ(panel.undoButton()->toolTip(), text(TextKey::undoEmpty));
}

TEST_F(OperationPanelTest, FailedFolderCreationIsNamedAndRetryable) {
    startService();
    OperationPanel panel(*service);
    service->onChange = [&] { panel.update(); };
    const auto id =
        submit(FileOperationRequest(FileOperationKind::createDirectory, {}, tree.path("missing/deeper"),
                                    std::string("Photos"), false, {}, std::nullopt));
    ASSERT_TRUE(id);
    ASSERT_TRUE(waitUntil([&] { return finished(*id); }));
    EXPECT_EQ(service->task(*id)->phase, OperationPhase::failed);
    EXPECT_EQ(panel.picker()->currentText(), "Photos \u2014 " + OperationText::phase(OperationPhase::failed));
    EXPECT_TRUE(panel.retryButton()->isEnabled());
    EXPECT_FALSE(panel.cancelButton()->isEnabled());

    tree.makeFolder("missing/deeper");
    panel.retryButton()->click();
    ASSERT_TRUE(
        waitUntil([&] { return service->tasks().size() == 2 && finished(service->tasks().front().id()); }));
    EXPECT_EQ(service->tasks().front().phase, OperationPhase::completed);
    struct stat info {};
    EXPECT_EQ(::lstat(tree.path("missing/deeper/Photos").c_str(), &info), 0);
}
