#include "commands/FileCommandController.h"

#include "app/commands/CommandFixture.h"
#include "commands/FileClipboard.h"
#include "commands/NewFolderDialog.h"
#include "core/FileName.h"
#include "core/Location.h"
#include "operations/OperationPanel.h"
#include "operations/OperationText.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QScreen>
#include <QToolButton>
#include <gtest/gtest.h>

#include <fstream>

using namespace dromel;
using namespace dromel::test;

namespace {

class FileCommandControllerTest : public ::testing::Test, protected CommandFixture {
protected:
    void SetUp() override {
        tree.makeFolder("a");
        tree.makeFolder("b");
        tree.writeFile("a/one.txt", "1");
        tree.writeFile("a/two.txt", "22");
        open(tree.path("a"));
        ASSERT_TRUE(shows({"one.txt", "two.txt"}));
    }
    void TearDown() override {
        // The hooks capture the test's locals: the controller goes first.
        // Nothing of one test may leak into the next through the clipboard.
        commands.reset();
        QApplication::clipboard()->clear();
    }
};

} // namespace

TEST_F(FileCommandControllerTest, CopyAndCutPasteIntoAnotherFolder) {
    std::unordered_set<std::string> marked;
    std::set<std::string> changedFolders;
    commands->onCutChanged = [&](const auto &paths) { marked = paths; };
    commands->onFoldersChanged = [&](const auto &folders) {
        changedFolders.insert(folders.begin(), folders.end());
    };
    select({"two.txt"});
    commands->copy();
    auto contents = FileClipboard::decodeFiles(*QApplication::clipboard()->mimeData());
    ASSERT_TRUE(contents);
    EXPECT_FALSE(contents->cut);
    EXPECT_TRUE(marked.empty());
    ASSERT_TRUE(visit(tree.path("b")));
    EXPECT_TRUE(commands->canPaste());
    commands->paste();
    ASSERT_TRUE(allFinished(1));
    EXPECT_EQ(newest().request.kind(), FileOperationKind::copy);
    EXPECT_EQ(newest().phase, OperationPhase::completed);
    EXPECT_EQ(tree.readFile("b/two.txt"), "22");
    EXPECT_TRUE(exists(tree.path("a/two.txt")));
    EXPECT_TRUE(shows({"two.txt"})) << "the finished task refreshed the folder it wrote into";

    ASSERT_TRUE(visit(tree.path("a")));
    select({"one.txt"});
    commands->cut();
    EXPECT_EQ(marked, std::unordered_set<std::string>{tree.path("a/one.txt")});
    contents = FileClipboard::decodeFiles(*QApplication::clipboard()->mimeData());
    ASSERT_TRUE(contents && contents->cut);
    // Pasted where it was cut, the item stays and stays cut; no task.
    commands->paste();
    ASSERT_TRUE(visit(tree.path("b")));
    commands->paste();
    ASSERT_TRUE(allFinished(2)) << "the paste into its own folder made a task";
    EXPECT_EQ(newest().request.kind(), FileOperationKind::move);
    EXPECT_EQ(newest().request.sourceVersions().size(), 1u); // captured at the cut
    EXPECT_EQ(newest().phase, OperationPhase::completed);
    EXPECT_FALSE(exists(tree.path("a/one.txt")));
    EXPECT_EQ(tree.readFile("b/one.txt"), "1");
    EXPECT_TRUE(marked.empty());
    EXPECT_TRUE(commands->cutPaths().empty());
    EXPECT_EQ(changedFolders, (std::set<std::string>{tree.path("a"), tree.path("b")}));
    EXPECT_TRUE(shows({"one.txt", "two.txt"}));
}

TEST_F(FileCommandControllerTest, ForeignClipboardChangeClearsTheCut) {
    std::unordered_set<std::string> marked;
    commands->onCutChanged = [&](const auto &paths) { marked = paths; };
    select({"one.txt"});
    commands->cut();
    ASSERT_FALSE(marked.empty());

    // Another program copies a file: the cut marks go at once, and the
    // paste is a copy of the new contents.
    const std::string other = tree.writeFile("other.txt", "o");
    QApplication::clipboard()->setMimeData(FileClipboard::encodeFiles({other}, false).release());
    EXPECT_TRUE(waitUntil([&] { return marked.empty(); }));
    commands->paste();
    ASSERT_TRUE(allFinished(1));
    EXPECT_EQ(newest().request.kind(), FileOperationKind::copy);
    EXPECT_EQ(newest().request.sources(), std::vector<std::string>{other});
    EXPECT_TRUE(exists(tree.path("a/one.txt")));
    EXPECT_TRUE(exists(tree.path("other.txt")));
    EXPECT_EQ(tree.readFile("a/other.txt"), "o");
}

TEST_F(FileCommandControllerTest, PasteIntoTheSameFolderAsksAndKeepsBoth) {
    select({"one.txt"});
    commands->copy();
    commands->paste();
    QMessageBox *sheet = waitForSheet();
    ASSERT_TRUE(sheet);
    EXPECT_EQ(sheet->windowModality(), Qt::WindowModal);
    EXPECT_EQ(sheet->text(), text(TextKey::conflictTitle));
    EXPECT_TRUE(sheet->informativeText().contains(QString::fromStdString(tree.path("a/one.txt"))));
    // The same object: it cannot replace itself, and the sheet does not speak of replacing.
    EXPECT_TRUE(sheet->informativeText().endsWith("\n\n" + text(TextKey::replaceFolderNote)));
    EXPECT_FALSE(sheet->informativeText().contains(text(TextKey::replaceNote)));
    EXPECT_EQ(buttonTexts(sheet),
              (QStringList{text(TextKey::keepBoth), text(TextKey::skip), text(TextKey::cancel)}));
    ASSERT_TRUE(sheet->checkBox());
    EXPECT_EQ(sheet->checkBox()->text(), text(TextKey::applyConflicts));
    EXPECT_EQ(commands->openQuestion(), sheet);
    EXPECT_EQ(newest().phase, OperationPhase::waiting);
    // The list keeps working while the question is open.
    tree.writeFile("a/three.txt");
    EXPECT_TRUE(shows({"one.txt", "two.txt", "three.txt"}));
    // While a task waits for an answer, undo is busy.
    commands->undo();
    EXPECT_EQ(errorText(), text(TextKey::undoBusy).toStdString());

    press(sheet, TextKey::keepBoth);
    ASSERT_TRUE(allFinished(1));
    EXPECT_EQ(newest().phase, OperationPhase::completed);
    ASSERT_EQ(newest().results.size(), 1u);
    ASSERT_TRUE(newest().results[0].destination);
    const std::string copy = *newest().results[0].destination;
    EXPECT_NE(copy, tree.path("a/one.txt"));
    EXPECT_EQ(Location::parent(copy), tree.path("a"));
    EXPECT_EQ(tree.readFile(Location::lastComponent(copy).insert(0, "a/")), "1");
    EXPECT_EQ(commands->openQuestion(), nullptr);
}

TEST_F(FileCommandControllerTest, ApplyToAllIsReusedOnlyForTheSameReplaceability) {
    // Pasting folders sub and sub2 (listed first) and files one.txt and
    // two.txt into b, which holds all four: two folder conflicts that cannot
    // replace, then two file conflicts that can.
    tree.makeFolder("a/sub");
    tree.makeFolder("a/sub2");
    tree.writeFile("b/one.txt", "old");
    tree.writeFile("b/two.txt", "old");
    tree.makeFolder("b/sub");
    tree.makeFolder("b/sub2");
    ASSERT_TRUE(shows({"one.txt", "two.txt", "sub", "sub2"}));
    select({"one.txt", "two.txt", "sub", "sub2"});
    commands->copy();
    ASSERT_TRUE(visit(tree.path("b")));
    commands->paste();

    QMessageBox *first = waitForSheet();
    ASSERT_TRUE(first);
    EXPECT_TRUE(first->informativeText().contains(QString::fromStdString(tree.path("a/sub"))));
    EXPECT_FALSE(buttonTexts(first).contains(text(TextKey::replace)));
    first->checkBox()->setChecked(true);
    press(first, TextKey::skip);

    // sub2 is answered from the policy; the first replaceable conflict is asked.
    QMessageBox *second = nullptr;
    ASSERT_TRUE(waitUntil([&] { return (second = sheet()) != nullptr && second != first; }));
    EXPECT_TRUE(second->informativeText().contains(QString::fromStdString(tree.path("a/one.txt"))));
    ASSERT_TRUE(buttonTexts(second).contains(text(TextKey::replace)))
        << "the temporary folder's volume cannot rename exclusively";
    second->checkBox()->setChecked(true);
    press(second, TextKey::replace);
    ASSERT_TRUE(allFinished(1));
    EXPECT_EQ(tree.readFile("b/one.txt"), "1");
    EXPECT_EQ(tree.readFile("b/two.txt"), "22");
    std::vector<ItemOutcome> outcomes;
    for (const auto &result : newest().results)
        outcomes.push_back(result.outcome);
    EXPECT_EQ(outcomes, (std::vector<ItemOutcome>{ItemOutcome::skipped, ItemOutcome::skipped,
                                                  ItemOutcome::succeeded, ItemOutcome::succeeded}));
    // The replaced files went to the trash, not away.
    EXPECT_TRUE(exists(tree.path("data/Trash/files")));
}

TEST_F(FileCommandControllerTest, CancellingATaskClosesItsQuestion) {
    select({"one.txt", "two.txt"});
    commands->copy();
    commands->paste();
    QMessageBox *question = waitForSheet();
    ASSERT_TRUE(question);
    QPointer<QMessageBox> watched(question);
    commands->panel().show();
    commands->panel().cancelButton()->click();
    EXPECT_TRUE(waitUntil([&] { return !watched || !watched->isVisible(); }));
    ASSERT_TRUE(allFinished(1));
    EXPECT_EQ(newest().phase, OperationPhase::cancelled);
    EXPECT_EQ(commands->openQuestion(), nullptr);
    EXPECT_TRUE(shows({"one.txt", "two.txt"}));
}

TEST_F(FileCommandControllerTest, NewFolderRefusedAndCreated) {
    commands->newFolder();
    auto *dialog = window->findChild<NewFolderDialog *>();
    ASSERT_TRUE(dialog);
    EXPECT_EQ(dialog->windowModality(), Qt::WindowModal);
    EXPECT_EQ(dialog->field()->text(), text(TextKey::newFolderName));
    EXPECT_EQ(dialog->field()->accessibleName(), text(TextKey::nameColumn));
    dialog->field()->setText("a:b");
    for (auto *button : dialog->findChildren<QPushButton *>())
        if (button->text() == text(TextKey::create))
            button->click();
    try {
        FileName::validate("a:b", false);
        FAIL() << "a colon must be refused";
    } catch (const OperationProblem &problem) {
        EXPECT_EQ(errorText(), OperationText::problem(problem).toStdString());
    }
    EXPECT_TRUE(service().tasks().empty());

    // A name of 256 bytes is refused as too long, with the limit.
    commands->commitRename(tree.path("a/one.txt"), std::string(256, 'n'), {});
    EXPECT_EQ(errorText(), Localization::current().format(TextKey::nameTooLong, 256, 255).toStdString());
    EXPECT_TRUE(service().tasks().empty());

    commands->newFolder();
    ASSERT_TRUE(waitUntil([&] {
        for (auto *d : window->findChildren<NewFolderDialog *>())
            if (d->isVisible())
                return (dialog = d) != nullptr;
        return false;
    }));
    dialog->field()->setText("Reports");
    for (auto *button : dialog->findChildren<QPushButton *>())
        if (button->text() == text(TextKey::create))
            button->click();
    ASSERT_TRUE(allFinished(1));
    EXPECT_EQ(newest().phase, OperationPhase::completed);
    EXPECT_TRUE(shows({"one.txt", "two.txt", "Reports"}));
}

TEST_F(FileCommandControllerTest, RenameWithAndWithoutExtensionChange) {
    std::optional<std::pair<FileEntry, FileCommandController::Versions>> ready;
    commands->onRenameReady = [&](const FileEntry &entry, const auto &versions) {
        ready.emplace(entry, versions);
    };
    select({"one.txt"});
    commands->rename();
    ASSERT_TRUE(waitUntil([&] { return ready.has_value(); }));
    const std::string path = ready->first.url();
    const auto versions = ready->second;
    EXPECT_EQ(versions.count(path), 1u);

    commands->commitRename(path, "one.txt", versions); // same name: nothing
    commands->commitRename(path, "uno.txt", versions); // same extension: no question
    EXPECT_EQ(sheet(), nullptr);
    ASSERT_TRUE(allFinished(1));
    EXPECT_EQ(newest().phase, OperationPhase::completed);
    EXPECT_TRUE(exists(tree.path("a/uno.txt")));

    ASSERT_TRUE(shows({"uno.txt", "two.txt"}));
    ready.reset();
    select({"uno.txt"});
    commands->rename();
    ASSERT_TRUE(waitUntil([&] { return ready.has_value(); }));
    commands->commitRename(ready->first.url(), "uno.md", ready->second);
    QMessageBox *ask = waitForSheet();
    ASSERT_TRUE(ask);
    EXPECT_EQ(ask->text(), text(TextKey::extensionTitle));
    EXPECT_EQ(ask->informativeText(),
              Localization::current().format(TextKey::extensionBody, "uno.txt", "uno.md"));
    EXPECT_EQ(buttonTexts(ask), (QStringList{text(TextKey::cancel), text(TextKey::continueOperation)}));
    press(ask, TextKey::cancel);
    EXPECT_EQ(service().tasks().size(), 1u);

    commands->commitRename(ready->first.url(), "uno.md", ready->second);
    ask = waitForSheet();
    ASSERT_TRUE(ask);
    press(ask, TextKey::continueOperation);
    ASSERT_TRUE(allFinished(2));
    EXPECT_TRUE(exists(tree.path("a/uno.md")));
}

// Names up to 255 bytes, without a space to wrap at, in both languages: the
// extension question keeps each name's start and end and fits the screen.
TEST_F(FileCommandControllerTest, TheExtensionQuestionFitsTheScreenWhateverTheNames) {
    const std::string ascii = std::string(240, 'x') + "-end.txt";
    std::string wide;
    while (wide.size() < 240)
        wide += "\xE6\x96\x87"; // a CJK character, three bytes, twice as wide
    wide += ".txt";
    tree.writeFile("a/" + ascii, "1");
    tree.writeFile("a/" + wide, "2");
    ASSERT_TRUE(waitUntil([&] { return store->current().entries().size() == 4; }));
    const QRect screen = window->screen()->availableGeometry();
    for (const std::string &name : {ascii, wide}) {
        SCOPED_TRACE(name.substr(0, 12));
        const std::string path = tree.path("a/" + name);
        const std::string renamed = name.substr(0, name.size() - 4) + ".md";
        commands->commitRename(path, renamed, {});
        QMessageBox *ask = waitForSheet();
        ASSERT_TRUE(ask);
        ASSERT_TRUE(waitUntil([&] { return ask->isVisible() && ask->width() > 0; }));
        EXPECT_LE(ask->frameGeometry().width(), screen.width());
        EXPECT_LE(ask->frameGeometry().height(), screen.height());
        const QString body = ask->informativeText();
        EXPECT_TRUE(body.contains(QStringLiteral("\u2026"))) << body.toStdString();
        EXPECT_TRUE(body.contains(QString::fromStdString(name.substr(name.size() - 10)))) << "its end shows";
        EXPECT_TRUE(body.contains(QStringLiteral(".md"))) << "so does the new extension";
        press(ask, TextKey::cancel);
        ASSERT_TRUE(waitUntil([&] { return sheet() == nullptr; }));
    }
    EXPECT_TRUE(service().tasks().empty());
}

TEST_F(FileCommandControllerTest, TrashAsksWithTheCount) {
    select({"one.txt", "two.txt"});
    commands->trash();
    QMessageBox *ask = waitForSheet();
    ASSERT_TRUE(ask);
    const Localization l10n = Localization::current();
    EXPECT_EQ(ask->text(), text(TextKey::trashTitle));
    EXPECT_EQ(ask->informativeText(), l10n.format(TextKey::trashBody, l10n.count(TextKey::items, 2)));
    EXPECT_EQ(buttonTexts(ask), (QStringList{text(TextKey::cancel), text(TextKey::trash)}));
    press(ask, TextKey::cancel);
    EXPECT_TRUE(service().tasks().empty());

    commands->trash();
    ask = waitForSheet();
    ASSERT_TRUE(ask);
    press(ask, TextKey::trash);
    ASSERT_TRUE(allFinished(1));
    EXPECT_EQ(newest().phase, OperationPhase::completed);
    EXPECT_FALSE(exists(tree.path("a/one.txt")));
    EXPECT_TRUE(exists(tree.path("data/Trash/files/one.txt")));
    EXPECT_TRUE(exists(tree.path("data/Trash/info/two.txt.trashinfo")));
    EXPECT_TRUE(shows({}));
}

TEST_F(FileCommandControllerTest, UndoOfARenameAndWhyNot) {
    commands->undo();
    EXPECT_EQ(errorText(), text(TextKey::undoEmpty).toStdString());

    commands->commitRename(tree.path("a/one.txt"), "first.txt", {});
    ASSERT_TRUE(allFinished(1));
    commands->undo();
    ASSERT_TRUE(allFinished(2));
    EXPECT_TRUE(newest().request.undo().has_value());
    EXPECT_TRUE(exists(tree.path("a/one.txt")));
    EXPECT_FALSE(exists(tree.path("a/first.txt")));

    // A copy of two items: both copies go to the trash, and come back on redo.
    ASSERT_TRUE(shows({"one.txt", "two.txt"}));
    select({"one.txt", "two.txt"});
    commands->copy();
    ASSERT_TRUE(visit(tree.path("b")));
    commands->paste();
    ASSERT_TRUE(allFinished(3));
    commands->undo();
    ASSERT_TRUE(allFinished(4));
    EXPECT_FALSE(exists(tree.path("b/one.txt")));
    EXPECT_TRUE(exists(tree.path("a/one.txt")));
    commands->redo();
    ASSERT_TRUE(allFinished(5));
    EXPECT_TRUE(exists(tree.path("b/two.txt")));
    commands->redo();
    EXPECT_EQ(errorText(), text(TextKey::redoEmpty).toStdString());

    // Changed since: kept, and the undo says why.
    std::ofstream(tree.path("b/one.txt"), std::ios::app) << "more";
    std::ofstream(tree.path("b/two.txt"), std::ios::app) << "more";
    commands->undo();
    ASSERT_TRUE(allFinished(6));
    EXPECT_EQ(newest().phase, OperationPhase::failed);
    EXPECT_TRUE(exists(tree.path("b/one.txt")));
}

TEST_F(FileCommandControllerTest, ADropWhoseListedIdentityChangedIsRefused) {
    commands->drop({tree.path("a/one.txt")}, {{tree.path("a/one.txt"), "0:0:one.txt"}}, tree.path("b"),
                   false);
    EXPECT_TRUE(waitUntil([&] { return !errorText().empty(); }));
    EXPECT_TRUE(service().tasks().empty());
    EXPECT_TRUE(exists(tree.path("a/one.txt")));
}

// Text in Nautilus's clipboard form can come from any program or web page:
// it is still read, but nothing moves before the user has seen what and from where.
TEST_F(FileCommandControllerTest, APasteFromPlainTextAsksFirst) {
    auto text = std::make_unique<QMimeData>();
    text->setText(QString::fromUtf8("x-special/nautilus-clipboard\ncut\n") +
                  QString::fromLatin1(FileClipboard::urlOf(tree.path("a/one.txt"))) + "\n");
    QApplication::clipboard()->setMimeData(text.release());
    ASSERT_TRUE(visit(tree.path("b")));
    ASSERT_TRUE(commands->canPaste());
    commands->paste();
    QMessageBox *question = waitForSheet();
    ASSERT_TRUE(question);
    EXPECT_EQ(question->text(), dromel::test::text(TextKey::plainPasteTitle));
    EXPECT_TRUE(question->informativeText().contains("one.txt"));
    EXPECT_TRUE(question->informativeText().contains(QString::fromStdString(tree.path("a"))));
    press(question, TextKey::cancel);
    EXPECT_TRUE(waitUntil([&] { return sheet() == nullptr; }));
    EXPECT_TRUE(exists(tree.path("a/one.txt")));

    commands->paste();
    question = waitForSheet();
    ASSERT_TRUE(question);
    press(question, TextKey::pasteAnyway);
    ASSERT_TRUE(allFinished(1));
    EXPECT_EQ(newest().request.kind(), FileOperationKind::move);
    EXPECT_EQ(tree.readFile("b/one.txt"), "1");
}

// A second process on the same journal: the first holds its lock. The second
// lists the first one's tasks as written, changes nothing (not one byte of
// the journal) and refuses every file command with the reason.
TEST_F(FileCommandControllerTest, ASecondControllerOnTheJournalShowsItsTasksReadOnly) {
    EXPECT_FALSE(commands->journalInUse());
    select({"one.txt"});
    commands->copy();
    ASSERT_TRUE(visit(tree.path("b")));
    commands->paste();
    ASSERT_TRUE(allFinished(1));
    // The first process is copying something else right now.
    FileOperationTask running(FileOperationRequest(FileOperationKind::copy, {tree.path("a/two.txt")},
                                                   tree.path("b"), std::nullopt, false, {}, std::nullopt));
    running.phase = OperationPhase::copying;
    service().journal().save(running);
    const std::string journal = "state/operations.sqlite";
    const std::string bytes = tree.readFile(journal);

    QWidget other;
    other.resize(800, 600);
    other.show();
    FileCommandController second(*store, tree.path(journal), &other);
    EXPECT_TRUE(second.journalInUse());
    EXPECT_FALSE(second.ready());
    ASSERT_TRUE(waitUntil([&] { return second.service().tasks().size() == 2; }));
    EXPECT_TRUE(second.service().readOnly());
    EXPECT_EQ(second.service().tasks()[0].phase, OperationPhase::copying) << "not marked interrupted";
    EXPECT_EQ(second.service().tasks()[1].phase, OperationPhase::completed);
    EXPECT_TRUE(second.banner()->isVisible());
    EXPECT_EQ(second.banner()->label()->text(), dromel::test::text(TextKey::journalInUse));

    // The operations window lists them, says why they cannot be changed, and
    // offers nothing that would change them.
    second.showTasks();
    OperationPanel &panel = second.panel();
    ASSERT_TRUE(waitUntil([&] { return panel.picker()->count() == 2; }));
    EXPECT_TRUE(panel.notice()->isVisible());
    EXPECT_EQ(panel.notice()->text(), dromel::test::text(TextKey::journalReadOnly));
    for (int row = 0; row < 2; ++row) {
        panel.picker()->setCurrentIndex(row);
        emit panel.picker()->activated(row);
        for (QPushButton *button : {panel.cancelButton(), panel.retryButton(), panel.undoButton(),
                                    panel.cleanUpButton(), panel.dismissButton()})
            EXPECT_FALSE(button->isEnabled()) << row << " " << button->text().toStdString();
    }
    EXPECT_FALSE(commands->panel().notice()->isVisible()) << "the holder's window is not read-only";

    // Every file command is refused, each time with the reason.
    const QString refused = dromel::test::text(TextKey::journalInUseRefused);
    const auto refusedNow = [&](const char *what, const std::function<void()> &command) {
        store->dismissError();
        second.banner()->closeButton()->click();
        command();
        EXPECT_EQ(QString::fromStdString(errorText()), refused) << what;
        EXPECT_TRUE(second.banner()->isVisible()) << what;
    };
    ASSERT_TRUE(visit(tree.path("a")));
    select({"two.txt"});
    commands->copy();
    ASSERT_TRUE(second.canPaste()) << "paste is offered, to be refused with a word";
    refusedNow("paste", [&] { second.paste(tree.path("b")); });
    refusedNow("trash", [&] { second.trash(); });
    refusedNow("rename", [&] { second.rename(); });
    refusedNow("cut", [&] { second.cut(); });
    refusedNow("new folder", [&] { second.newFolder(); });
    refusedNow("delete", [&] { second.deletePermanently(); });
    refusedNow("drop", [&] { second.drop({tree.path("a/two.txt")}, {}, tree.path("b"), true); });
    refusedNow("undo", [&] { second.undo(); });
    EXPECT_EQ(sheet(), nullptr);
    EXPECT_FALSE(exists(tree.path("b/two.txt")));
    EXPECT_TRUE(exists(tree.path("a/two.txt")));
    EXPECT_EQ(service().tasks().size(), 1u);
    EXPECT_EQ(tree.readFile(journal), bytes) << "the journal was only read";
}
