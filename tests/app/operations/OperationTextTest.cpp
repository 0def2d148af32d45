#include "operations/OperationText.h"

#include "presentation/Localization.h"

#include <gtest/gtest.h>

using namespace dromel;

namespace {

class OperationTextTest : public ::testing::Test {
protected:
    void SetUp() override {
        Localization::setCurrent(Localization(AppLanguage::english, {}, QLocale(QLocale::English)));
    }
};

FileOperationResult result(const char *source, ItemOutcome outcome) {
    FileOperationResult r;
    r.source = source;
    r.outcome = outcome;
    return r;
}

} // namespace

// Every case must reach a key of its own: a missing key would show its raw
// name, which no translation table uses as a text.
TEST_F(OperationTextTest, EveryCaseHasItsText) {
    for (int p = 0; p <= int(OperationPhase::needsReview); ++p) {
        const QString text = OperationText::phase(OperationPhase(p));
        EXPECT_FALSE(text.startsWith("phase")) << text.toStdString();
    }
    for (int o = 0; o <= int(ItemOutcome::cancelled); ++o)
        EXPECT_FALSE(OperationText::outcome(ItemOutcome(o)).startsWith("outcome"));
    for (int c = 0; c <= int(OperationProblem::Code::interrupted); ++c)
        EXPECT_FALSE(OperationText::problem(OperationProblem(OperationProblem::Code(c), "", ""))
                         .startsWith("problem"));
    EXPECT_NE(OperationText::phase(OperationPhase::needsReview),
              OperationText::phase(OperationPhase::completed));
}

TEST_F(OperationTextTest, SummaryCountsEachOutcomeAndTheRest) {
    FileOperationTask task(FileOperationRequest(FileOperationKind::copy, {"/s/a", "/s/b", "/s/c", "/s/d"},
                                                "/d", std::nullopt, false, {}, std::nullopt));
    task.phase = OperationPhase::partial;
    task.results = {result("/s/a", ItemOutcome::succeeded), result("/s/b", ItemOutcome::skipped),
                    result("/s/c", ItemOutcome::cancelled)};
    const Localization l10n = Localization::current();
    EXPECT_EQ(OperationText::summary(task),
              l10n.format(TextKey::operationSummary, OperationText::phase(OperationPhase::partial),
                          l10n.count(TextKey::items, 1), l10n.count(TextKey::items, 1),
                          l10n.count(TextKey::items, 0), l10n.count(TextKey::items, 2)));

    // A new folder counts as one item; extra whole-task results never make the rest negative.
    FileOperationTask create(
        FileOperationRequest(FileOperationKind::createDirectory, {}, "/d", "New", false, {}, std::nullopt));
    create.results = {result("/x", ItemOutcome::failed), result("/y", ItemOutcome::failed)};
    EXPECT_EQ(OperationText::summary(create),
              l10n.format(TextKey::operationSummary, OperationText::phase(OperationPhase::queued),
                          l10n.count(TextKey::items, 0), l10n.count(TextKey::items, 0),
                          l10n.count(TextKey::items, 2), l10n.count(TextKey::items, 0)));
}

TEST_F(OperationTextTest, AReviewNamesItsRealCauseEachLeftoverOnceAndNamesStayOnOneLine) {
    const std::string stage = "/d/.dromel-copy-1";
    FileOperationTask full(FileOperationRequest(FileOperationKind::copy, {"/s/a\nb"}, "/d", std::nullopt,
                                                false, {}, std::nullopt));
    full.phase = OperationPhase::needsReview;
    FileOperationResult failed = result("/s/a\nb", ItemOutcome::failed);
    failed.problem = OperationProblem(OperationProblem::Code::system, "/d/a\nb", "No space left on device");
    failed.recoveryPaths = {stage};
    full.results = {failed};
    full.recoveryPaths = {stage};
    const QString cause = OperationText::reviewCause(full);
    EXPECT_EQ(cause, OperationText::problem(*failed.problem));
    EXPECT_TRUE(cause.contains("No space left on device"));
    EXPECT_FALSE(cause.contains(
        OperationText::problem(OperationProblem(OperationProblem::Code::interrupted, "", ""))));
    EXPECT_EQ(OperationText::leftovers(full), std::vector<std::string>{stage}) << "listed once";

    // A task cut off by the program's end says so, from its whole-task result.
    FileOperationResult cut;
    cut.outcome = ItemOutcome::failed;
    cut.problem = OperationProblem(OperationProblem::Code::interrupted, "", "");
    full.results.push_back(cut);
    EXPECT_EQ(OperationText::reviewCause(full), OperationText::problem(*cut.problem));
    const Localization l10n = Localization::current();
    EXPECT_EQ(OperationText::summary(full),
              l10n.format(TextKey::operationSummary, OperationText::phase(OperationPhase::needsReview),
                          l10n.count(TextKey::items, 0), l10n.count(TextKey::items, 0),
                          l10n.count(TextKey::items, 1), l10n.count(TextKey::items, 0)))
        << "the cause is not an item";

    EXPECT_EQ(OperationText::path("/s/a\nb\tc\x1B"), "/s/a\\nb\\tc\\x1b");
    EXPECT_FALSE(OperationText::label(full).contains('\n'));
    EXPECT_FALSE(OperationText::problem(*failed.problem).section('\n', 1, 1).contains("a\nb"));

    // A reverse reads as what it does: an undo, or the redo of the command.
    const FileUndoRelocation receipt{Uuid::random(), "/t/files/a", "/s/a", "id", std::nullopt};
    FileOperationRequest reverse(FileOperationKind::restore, {"/t/files/a"}, std::nullopt, std::nullopt,
                                 std::vector<FileUndoRelocation>{receipt});
    EXPECT_EQ(OperationText::label(FileOperationTask(reverse)), "Undo “a”");
    reverse.setRedo(true);
    EXPECT_EQ(OperationText::label(FileOperationTask(reverse)), "Redo “a”");

    FileOperationTask unreadable(full.request);
    unreadable.unreadable = true;
    EXPECT_EQ(OperationText::label(unreadable), Localization::current().text(TextKey::taskUnreadable));
}
