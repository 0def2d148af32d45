#include "core/Location.h"
#include "engine/OperationExecutor.h"
#include "engine/OperationService.h"
#include "engine/OperationTestSupport.h"
#include "support/ScopedEnv.h"
#include "support/TempTree.h"
#include "support/WaitUntil.h"

#include <gtest/gtest.h>

#include <grp.h>
#include <sys/wait.h>

#include <cstring>

using namespace dromel;
using test::requestOf;
using test::waitUntil;
using Code = OperationProblem::Code;
using Kind = FileOperationKind;
using Labels = std::vector<std::string>;
using namespace std::chrono_literals;

namespace {

unsigned modeOf(const std::string &path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0 ? info.st_mode & 07777 : 0;
}

FileOperationRequest changeOf(std::vector<std::string> items, std::uint32_t mask, std::uint32_t bits,
                              bool enclosed) {
    FileOperationRequest request = requestOf(Kind::changePermissions, std::move(items), std::nullopt);
    request.setPermissions(PermissionChange{mask, bits, enclosed, {}});
    return request;
}

class OperationPermissionsTest : public ::testing::Test {
protected:
    OperationPermissionsTest() {
        executor.checkpoint = [this](const std::string &label) { labels.push_back(label); };
        tree.makeFolder("box", 0755);
        tree.writeFile("box/doc", "d", 0644);
        tree.writeFile("box/run", "#!/bin/sh\n", 0755);
        tree.makeFolder("box/sub", 0700);
        tree.writeFile("box/sub/deep", "x", 0600);
        tree.writeFile("outside", "o", 0644);
        tree.makeSymlink("box/link", tree.path("outside"));
    }

    FileOperationResult run(const FileOperationRequest &request, const std::string &item,
                            const OperationExecutor &by) {
        try {
            const PreparedOperation prepared = by.prepare(request, item, cancel);
            return by.perform(prepared, request, ConflictChoice::keepBoth, FileOperationTask(request), cancel,
                              nullptr);
        } catch (const OperationProblem &problem) {
            FileOperationResult failed;
            failed.problem = problem;
            return failed;
        }
    }

    test::TempTree tree;
    test::ScopedEnv dataHome{"XDG_DATA_HOME", tree.path("data")};
    OperationExecutor executor{OperationJournal(tree.path("state/operations.sqlite"))};
    OperationCancellation cancel;
    Labels labels;
};

} // namespace

TEST_F(OperationPermissionsTest, EnclosedItemsChangeTooButALinkIsNeverFollowed) {
    const std::string box = tree.path("box");
    // Group read, write and execute for the folder alone.
    FileOperationResult result = run(changeOf({box}, 0070, 0070, false), box, executor);
    ASSERT_EQ(result.outcome, ItemOutcome::succeeded) << (result.problem ? result.problem->what() : "");
    EXPECT_EQ(labels, (Labels{"before-permissions", "after-permissions"}));
    EXPECT_EQ(modeOf(box), 0775u);
    EXPECT_EQ(modeOf(tree.path("box/doc")), 0644u);
    ASSERT_EQ(result.modes.size(), 1u);
    EXPECT_EQ(result.modes.front().mode, 0755u);
    ASSERT_TRUE(result.undo);

    // Then everything inside: files keep their execute bits as they were.
    result = run(changeOf({box}, 0070, 0070, true), box, executor);
    ASSERT_EQ(result.outcome, ItemOutcome::succeeded) << (result.problem ? result.problem->what() : "");
    EXPECT_EQ(modeOf(tree.path("box/doc")), 0664u);
    EXPECT_EQ(modeOf(tree.path("box/run")), 0775u);
    EXPECT_EQ(modeOf(tree.path("box/sub")), 0770u);
    EXPECT_EQ(modeOf(tree.path("box/sub/deep")), 0660u);
    EXPECT_EQ(modeOf(tree.path("outside")), 0644u) << "a link inside is not followed";
    EXPECT_EQ(result.modes.size(), 4u) << "the folder was already so: no receipt for it";

    // Folders lose their search bits; files keep theirs.
    result = run(changeOf({box}, 0111, 0, true), box, executor);
    ASSERT_EQ(result.outcome, ItemOutcome::succeeded) << (result.problem ? result.problem->what() : "");
    EXPECT_EQ(modeOf(box), 0664u);
    EXPECT_EQ(modeOf(tree.path("box/sub")), 0660u);
    EXPECT_EQ(modeOf(tree.path("box/run")), 0775u);

    // A link chosen itself has no mode to change.
    const std::string link = tree.makeSymlink("alias", tree.path("outside"));
    result = run(changeOf({link}, 0777, 0777, false), link, executor);
    ASSERT_TRUE(result.problem);
    EXPECT_EQ(result.problem->code(), Code::unsupported);
    EXPECT_EQ(modeOf(tree.path("outside")), 0644u);
}

TEST_F(OperationPermissionsTest, AnItemChangedSincePreparedIsRefused) {
    const std::string doc = tree.path("box/doc");
    const FileOperationRequest request = changeOf({doc}, 0006, 0006, false);
    const PreparedOperation prepared = executor.prepare(request, doc, cancel);
    tree.writeFile("box/doc", "rewritten", 0644);
    const FileOperationResult result = executor.perform(prepared, request, ConflictChoice::keepBoth,
                                                        FileOperationTask(request), cancel, nullptr);
    EXPECT_EQ(result.outcome, ItemOutcome::failed);
    ASSERT_TRUE(result.problem);
    EXPECT_EQ(result.problem->code(), Code::sourceChanged);
    EXPECT_EQ(modeOf(doc), 0644u);

    // A version captured when the user chose it holds the same way.
    FileOperationRequest stale(Kind::changePermissions, {doc}, std::nullopt, std::nullopt, false,
                               {{doc, "0:0:0:0:0:0:0:0"}}, std::nullopt);
    stale.setPermissions(PermissionChange{0006, 0006, false, {}});
    const FileOperationResult refused = run(stale, doc, executor);
    ASSERT_TRUE(refused.problem);
    EXPECT_EQ(refused.problem->code(), Code::sourceChanged);
}

TEST_F(OperationPermissionsTest, AnotherUsersItemIsRefusedBeforeAnythingChanges) {
    constexpr uid_t kUser = 4321;
    ASSERT_EQ(::chmod(tree.root().c_str(), 0755), 0);
    ASSERT_EQ(::chmod(tree.makeFolder("user-state").c_str(), 0777), 0);
    // The user's own folder holding one item of root's.
    for (const char *item : {"box", "box/doc", "box/sub", "box/sub/deep"})
        ASSERT_EQ(::chown(tree.path(item).c_str(), kUser, kUser), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (::setgroups(0, nullptr) != 0 || ::setgid(kUser) != 0 || ::setuid(kUser) != 0)
            ::_exit(10);
        const OperationExecutor asUser{OperationJournal(tree.path("user-state/operations.sqlite"))};
        const std::string box = tree.path("box");
        const FileOperationResult alone =
            run(changeOf({tree.path("outside")}, 0002, 0002, false), tree.path("outside"), asUser);
        if (alone.outcome != ItemOutcome::failed || !alone.problem || alone.problem->code() != Code::system ||
            alone.problem->detail() != std::strerror(EPERM))
            ::_exit(11);
        const FileOperationResult mixed = run(changeOf({box}, 0002, 0002, true), box, asUser);
        if (mixed.outcome != ItemOutcome::failed || !mixed.problem ||
            mixed.problem->detail() != std::strerror(EPERM))
            ::_exit(12);
        ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "10 privileges, 11 root's file, 12 the tree holding one";
    EXPECT_EQ(modeOf(tree.path("outside")), 0644u);
    EXPECT_EQ(modeOf(tree.path("box")), 0755u) << "nothing changed before the refusal";
    EXPECT_EQ(modeOf(tree.path("box/doc")), 0644u);
}

TEST_F(OperationPermissionsTest, UndoPutsBackTheOldModesOfWhatNothingChangedSince) {
    auto service = std::make_unique<OperationService>(tree.path("state/operations.sqlite"));
    bool started = false;
    service->start([&] { started = true; });
    ASSERT_TRUE(waitUntil([&] { return started; }));
    const auto runToEnd = [&](FileOperationRequest request) {
        std::optional<Uuid> id;
        service->submit(std::move(request), [&](std::optional<Uuid> admitted) { id = admitted; });
        EXPECT_TRUE(waitUntil(
            [&] {
                return id && service->task(*id) && isTerminal(service->task(*id)->phase) && !service->busy();
            },
            20s));
        return *service->task(*id);
    };
    const auto undo = [&] {
        std::optional<std::optional<Uuid>> undone;
        service->undoLast([&](auto id) { undone = id; });
        EXPECT_TRUE(waitUntil([&] { return undone.has_value(); }));
        EXPECT_TRUE(*undone);
        EXPECT_TRUE(
            waitUntil([&] { return isTerminal(service->task(**undone)->phase) && !service->busy(); }, 20s));
        return *service->task(**undone);
    };

    const std::string box = tree.path("box");
    const FileOperationTask changed = runToEnd(changeOf({box, tree.path("outside")}, 0007, 0007, true));
    ASSERT_EQ(changed.phase, OperationPhase::completed);
    ASSERT_TRUE(service->canUndo());
    EXPECT_EQ(modeOf(box), 0757u);
    EXPECT_EQ(modeOf(tree.path("outside")), 0647u) << "chosen itself, a file's execute bits change";
    EXPECT_EQ(undo().phase, OperationPhase::completed);
    EXPECT_EQ(modeOf(box), 0755u);
    EXPECT_EQ(modeOf(tree.path("box/doc")), 0644u);
    EXPECT_EQ(modeOf(tree.path("box/sub")), 0700u);
    EXPECT_EQ(modeOf(tree.path("box/sub/deep")), 0600u);
    EXPECT_EQ(modeOf(tree.path("outside")), 0644u);
    EXPECT_FALSE(service->canUndo());

    // What the user changed since keeps that change; the rest goes back.
    runToEnd(changeOf({box}, 0070, 0000, true));
    ASSERT_EQ(::chmod(tree.path("box/doc").c_str(), 0600), 0);
    const FileOperationTask partly = undo();
    EXPECT_EQ(partly.phase, OperationPhase::failed);
    ASSERT_EQ(partly.results.size(), 1u);
    ASSERT_TRUE(partly.results.front().problem);
    EXPECT_EQ(partly.results.front().problem->code(), Code::sourceChanged);
    EXPECT_EQ(partly.results.front().problem->path(), tree.path("box/doc"));
    EXPECT_EQ(modeOf(tree.path("box/doc")), 0600u);
    EXPECT_EQ(modeOf(tree.path("box/sub")), 0700u);
    EXPECT_EQ(modeOf(box), 0755u);

    bool journalled = false;
    for (const FileOperationTask &task : service->journal().load())
        journalled = journalled || (task.id() == changed.id() && task.request.permissions());
    EXPECT_TRUE(journalled);
}
