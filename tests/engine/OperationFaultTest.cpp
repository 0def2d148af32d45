// Copies from a volume whose reads fail with EIO, as a dying disk's do: the
// kernel's own error reaches the user as a clear problem, the other items
// are still copied, and nothing half-read appears under a user's name.
#include "FuseServer.h"
#include "engine/OperationService.h"
#include "engine/OperationTestSupport.h"
#include "support/ScopedEnv.h"
#include "support/TempTree.h"
#include "support/WaitUntil.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <spawn.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cstring>

extern char **environ;

using namespace dromel;
using test::existsAt;
using test::hiddenItemsIn;
using test::namesIn;
using test::requestOf;
using test::waitUntil;
using Kind = FileOperationKind;
using namespace std::chrono_literals;

namespace {

// The faulty file system served by its own process on `mountPoint`.
class FaultyVolume : public test::FuseServer {
public:
    explicit FaultyVolume(const std::string &mountPoint)
        : FuseServer(DROMEL_FAULTY_VOLUME, mountPoint, {mountPoint}) {}
    std::string path(const std::string &name) const { return FuseServer::path() + "/" + name; }
};

class OperationFaultTest : public ::testing::Test {
protected:
    OperationFaultTest() { tree.makeFolder("dst"); }

    std::unique_ptr<OperationService> started() {
        auto service = std::make_unique<OperationService>(tree.path("state/operations.sqlite"));
        bool ready = false;
        service->start([&] { ready = true; });
        EXPECT_TRUE(waitUntil([&] { return ready; }));
        return service;
    }

    FileOperationTask runToEnd(OperationService &service, FileOperationRequest request) {
        std::optional<Uuid> id;
        bool answered = false;
        service.submit(std::move(request), [&](std::optional<Uuid> admitted) {
            id = admitted;
            answered = true;
        });
        EXPECT_TRUE(waitUntil([&] { return answered; }));
        if (!id)
            return FileOperationTask(requestOf(Kind::copy, {}, std::nullopt));
        EXPECT_TRUE(waitUntil(
            [&] { return service.task(*id) && isTerminal(service.task(*id)->phase) && !service.busy(); },
            20s));
        return *service.task(*id);
    }

    test::TempTree tree;
    test::ScopedEnv dataHome{"XDG_DATA_HOME", tree.path("data")};
};

const FileOperationResult *resultFor(const FileOperationTask &task, const std::string &source) {
    for (const FileOperationResult &result : task.results)
        if (result.source == source)
            return &result;
    return nullptr;
}

} // namespace

TEST_F(OperationFaultTest, ReadErrorsAreReportedAndLeaveNothingUnderAUsersName) {
    FaultyVolume volume(tree.makeFolder("disk"));
    if (!volume.mounted())
        GTEST_SKIP() << volume.why();
    const std::unique_ptr<OperationService> service = started();

    // "bad" fails while it is first read; "fading" reads once, then fails
    // part-way through the copy; "good" must arrive whatever its neighbours do.
    const std::vector<std::string> sources = {volume.path("bad"), volume.path("fading"), volume.path("good"),
                                              volume.path("folder")};
    const FileOperationTask task = runToEnd(*service, requestOf(Kind::copy, sources, tree.path("dst")));
    // The copies cut short remove what they staged: the task's own scratch.
    EXPECT_EQ(task.phase, OperationPhase::partial);

    const std::string ioError = std::strerror(EIO);
    for (const std::string &broken : {volume.path("bad"), volume.path("fading"), volume.path("folder")}) {
        const FileOperationResult *result = resultFor(task, broken);
        ASSERT_TRUE(result) << broken;
        EXPECT_EQ(result->outcome, ItemOutcome::failed) << broken;
        ASSERT_TRUE(result->problem) << broken;
        EXPECT_EQ(result->problem->detail(), ioError) << broken << ": " << result->problem->what();
    }
    const FileOperationResult *good = resultFor(task, volume.path("good"));
    ASSERT_TRUE(good);
    EXPECT_EQ(good->outcome, ItemOutcome::succeeded);
    EXPECT_EQ(test::sha256Of(tree.path("dst/good")), test::sha256Of(volume.path("good")));

    // Only the good copy is there, and no stage is left.
    EXPECT_EQ(namesIn(tree.path("dst")), std::set<std::string>{"good"});
    EXPECT_TRUE(task.recoveryPaths.empty());
    for (const std::string &broken : {volume.path("fading"), volume.path("folder")})
        EXPECT_EQ(resultFor(task, broken)->removedStages.size(), 1u) << broken;
}

TEST_F(OperationFaultTest, ItemsOnAVolumeWhoseServerIsGoneAreUnsupportedAndUntouched) {
    FaultyVolume volume(tree.makeFolder("remote"));
    if (!volume.mounted())
        GTEST_SKIP() << volume.why();
    const std::string kept = tree.writeFile("keep", "mine");
    volume.killServer();
    const std::unique_ptr<OperationService> service = started();

    const std::string unreachable = std::strerror(ENOTCONN);
    for (const Kind kind : {Kind::copy, Kind::move, Kind::trash}) {
        const std::optional<std::string> destination =
            kind == Kind::trash ? std::nullopt : std::optional<std::string>(tree.path("dst"));
        const FileOperationTask task =
            runToEnd(*service, requestOf(kind, {volume.path("good")}, destination));
        EXPECT_EQ(task.phase, OperationPhase::failed) << rawValue(kind);
        ASSERT_EQ(task.results.size(), 1u) << rawValue(kind);
        ASSERT_TRUE(task.results.front().problem) << rawValue(kind);
        EXPECT_EQ(task.results.front().problem->code(), OperationProblem::Code::unsupported)
            << task.results.front().problem->what();
        EXPECT_EQ(task.results.front().problem->detail(), unreachable);
    }
    // A move onto the dead volume fails the same way and keeps its source.
    const FileOperationTask onto = runToEnd(*service, requestOf(Kind::move, {kept}, tree.path("remote")));
    ASSERT_EQ(onto.results.size(), 1u);
    ASSERT_TRUE(onto.results.front().problem);
    EXPECT_EQ(onto.results.front().problem->code(), OperationProblem::Code::unsupported)
        << onto.results.front().problem->what();
    EXPECT_EQ(tree.readFile("keep"), "mine");
    EXPECT_TRUE(namesIn(tree.path("dst")).empty());
}
