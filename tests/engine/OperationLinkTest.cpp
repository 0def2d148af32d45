#include "core/Location.h"
#include "engine/OperationExecutor.h"
#include "engine/OperationService.h"
#include "engine/OperationTestSupport.h"
#include "support/ScopedEnv.h"
#include "support/TempTree.h"
#include "support/WaitUntil.h"

#include <gtest/gtest.h>

using namespace dromel;
using test::existsAt;
using test::requestOf;
using test::waitUntil;
using Kind = FileOperationKind;
using Labels = std::vector<std::string>;
using namespace std::chrono_literals;

namespace {

std::string targetOf(const std::string &link) {
    char buffer[4096];
    const ssize_t length = ::readlink(link.c_str(), buffer, sizeof buffer);
    return length < 0 ? std::string() : std::string(buffer, static_cast<std::size_t>(length));
}

class OperationLinkTest : public ::testing::Test {
protected:
    OperationLinkTest() {
        executor.checkpoint = [this](const std::string &label) { labels.push_back(label); };
        tree.makeFolder("docs");
        tree.writeFile("docs/report", "r");
    }

    FileOperationRequest linkRequest(const std::string &item, const std::string &folder,
                                     const std::string &name) {
        return requestOf(Kind::makeLink, {item}, folder, name);
    }

    FileOperationResult run(const FileOperationRequest &request, ConflictChoice choice,
                            std::optional<FileConflict> *conflict = nullptr) {
        const PreparedOperation prepared = executor.prepare(request, request.sources().front(), cancel);
        if (conflict)
            *conflict = prepared.conflict();
        return executor.perform(prepared, request, choice, FileOperationTask(request), cancel, nullptr);
    }

    test::TempTree tree;
    test::ScopedEnv dataHome{"XDG_DATA_HOME", tree.path("data")};
    OperationExecutor executor{OperationJournal(tree.path("state/operations.sqlite"))};
    OperationCancellation cancel;
    Labels labels;
};

} // namespace

TEST_F(OperationLinkTest, ALinkIsMadeAndATakenNameIsAClash) {
    const std::string report = tree.path("docs/report");
    const std::string link = tree.path("docs/Link to report");
    std::optional<FileConflict> conflict;
    FileOperationResult result =
        run(linkRequest(report, tree.path("docs"), "Link to report"), ConflictChoice::keepBoth, &conflict);
    ASSERT_EQ(result.outcome, ItemOutcome::succeeded) << (result.problem ? result.problem->what() : "");
    EXPECT_FALSE(conflict);
    EXPECT_EQ(labels, (Labels{"before-link", "after-link"}));
    EXPECT_EQ(targetOf(link), report);
    EXPECT_EQ(result.destination, link);
    EXPECT_EQ(tree.readFile("docs/Link to report"), "r");

    // Taken: the next free name, or the sheet's skip.
    result =
        run(linkRequest(report, tree.path("docs"), "Link to report"), ConflictChoice::keepBoth, &conflict);
    ASSERT_TRUE(conflict);
    EXPECT_FALSE(conflict->canReplace) << "a link is no regular file to replace";
    EXPECT_EQ(result.destination, tree.path("docs/Link to report (2)"));
    EXPECT_EQ(targetOf(tree.path("docs/Link to report (2)")), report);
    result = run(linkRequest(report, tree.path("docs"), "Link to report"), ConflictChoice::skip);
    EXPECT_EQ(result.outcome, ItemOutcome::skipped);

    // A regular file in the way is replaced only when asked, and kept in the trash.
    tree.makeFolder("elsewhere");
    tree.writeFile("elsewhere/report", "old");
    result = run(linkRequest(report, tree.path("elsewhere"), "report"), ConflictChoice::replace, &conflict);
    ASSERT_TRUE(conflict && conflict->canReplace);
    ASSERT_EQ(result.outcome, ItemOutcome::succeeded) << (result.problem ? result.problem->what() : "");
    EXPECT_EQ(targetOf(tree.path("elsewhere/report")), report);
    EXPECT_EQ(tree.readFile("data/Trash/files/report"), "old");
    EXPECT_TRUE(test::hiddenItemsIn(tree.path("elsewhere")).empty());
}

TEST_F(OperationLinkTest, UndoTrashesTheLinkOnlyWhileItIsTheOneMade) {
    OperationService service(tree.path("state/operations.sqlite"));
    bool started = false;
    service.start([&] { started = true; });
    ASSERT_TRUE(waitUntil([&] { return started; }));
    const auto settled = [&](const Uuid &id) {
        EXPECT_TRUE(waitUntil(
            [&] { return service.task(id) && isTerminal(service.task(id)->phase) && !service.busy(); }, 20s));
        return *service.task(id);
    };
    const auto submit = [&](FileOperationRequest request) {
        std::optional<Uuid> id;
        service.submit(std::move(request), [&](std::optional<Uuid> admitted) { id = admitted; });
        EXPECT_TRUE(waitUntil([&] { return id.has_value(); }));
        return settled(*id);
    };
    const auto undo = [&] {
        std::optional<std::optional<Uuid>> undone;
        service.undoLast([&](auto id) { undone = id; });
        EXPECT_TRUE(waitUntil([&] { return undone.has_value() && *undone; }));
        return settled(**undone);
    };

    const std::string report = tree.path("docs/report");
    const std::string link = tree.path("docs/Link to report");
    const FileOperationTask made = submit(linkRequest(report, tree.path("docs"), "Link to report"));
    ASSERT_EQ(made.phase, OperationPhase::completed);
    bool journalled = false;
    for (const FileOperationTask &task : service.journal().load())
        journalled = journalled || (task.id() == made.id() && task.request.kind() == Kind::makeLink);
    EXPECT_TRUE(journalled);
    if (!made.results.front().undo)
        GTEST_SKIP() << "no birth times here: nothing proves a link is still the one made";
    ASSERT_TRUE(service.canUndo());
    const FileOperationTask undone = undo();
    EXPECT_EQ(undone.request.kind(), Kind::trash);
    EXPECT_EQ(undone.phase, OperationPhase::completed);
    EXPECT_FALSE(existsAt(link));
    EXPECT_EQ(targetOf(tree.path("data/Trash/files/Link to report")), report);
    EXPECT_EQ(tree.readFile("docs/report"), "r");

    // Another link in its place since is left alone.
    submit(linkRequest(report, tree.path("docs"), "Link to report"));
    ::unlink(link.c_str());
    ASSERT_EQ(::symlink(report.c_str(), link.c_str()), 0);
    EXPECT_EQ(undo().phase, OperationPhase::failed);
    EXPECT_EQ(targetOf(link), report);
}
