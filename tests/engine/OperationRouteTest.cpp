// The route an item takes follows what the disk really is: the volume a
// folder reached through a link is on, a link as an item of its own, and
// copies that cannot keep their owner.
#include "FuseServer.h"
#include "ScratchVolume.h"
#include "engine/OperationExecutor.h"
#include "engine/OperationTestSupport.h"
#include "support/Checks.h"
#include "support/ScopedEnv.h"
#include "support/TempTree.h"

#include <gtest/gtest.h>

#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

using namespace dromel;
using test::existsAt;
using test::modeOf;
using test::requestOf;
using Code = OperationProblem::Code;
using Kind = FileOperationKind;

namespace {

class OperationRouteTest : public ::testing::Test {
protected:
    OperationRouteTest() {
        tree.makeFolder("src");
        tree.makeFolder("dst");
        executor.checkpoint = [this](const std::string &label) {
            labels.push_back(label);
            if (hook)
                hook(label);
        };
    }

    // A script with a mode, a time and a user attribute a copy could lose.
    std::string script(const std::string &folder) {
        const std::string path = folder + "/script";
        tree.writeFile(path.substr(tree.root().size() + 1), "#!/bin/sh\n", 0755);
        tree.setModificationTime(path.substr(tree.root().size() + 1), 1'600'000'000, 123456789);
        EXPECT_EQ(::setxattr(path.c_str(), "user.origin", "mail", 4, 0), 0);
        return path;
    }

    static void expectKept(const std::string &path) {
        struct stat info {};
        ASSERT_EQ(::lstat(path.c_str(), &info), 0) << path;
        EXPECT_EQ(info.st_mode & 07777, 0755u) << path;
        EXPECT_EQ(info.st_mtim.tv_sec, 1'600'000'000) << path;
        char value[16] = {};
        EXPECT_EQ(::getxattr(path.c_str(), "user.origin", value, sizeof value), 4) << path;
        EXPECT_STREQ(value, "mail") << path;
    }

    FileOperationResult run(const FileOperationRequest &request, const std::string &source,
                            const OperationExecutor &with) {
        const OperationCancellation cancel;
        try {
            const PreparedOperation prepared = with.prepare(request, source, cancel);
            return with.perform(prepared, request, ConflictChoice::keepBoth, FileOperationTask(request),
                                cancel, nullptr);
        } catch (const OperationProblem &problem) {
            FileOperationResult refused;
            refused.outcome = ItemOutcome::failed;
            refused.problem = problem;
            return refused;
        }
    }
    FileOperationResult run(const FileOperationRequest &request, const std::string &source) {
        return run(request, source, executor);
    }

    static std::string linkTarget(const std::string &path) {
        char buffer[4096];
        const ssize_t length = ::readlink(path.c_str(), buffer, sizeof buffer);
        return length < 0 ? "" : std::string(buffer, static_cast<std::size_t>(length));
    }

    test::TempTree tree;
    test::ScopedEnv dataHome{"XDG_DATA_HOME", tree.path("data")};
    OperationExecutor executor{OperationJournal(tree.path("state/operations.sqlite"))};
    std::vector<std::string> labels;
    std::function<void(const std::string &)> hook;
};

using Labels = std::vector<std::string>;

std::string whatOf(const FileOperationResult &result) {
    return result.problem ? result.problem->what() : "";
}

} // namespace

TEST_F(OperationRouteTest, AFolderOpenedThroughALinkToAnotherVolumeIsMovedByCopying) {
    tree.makeFolder("stick");
    test::ScratchVolume stick(test::ScratchVolume::Kind::tmpfs, tree.path("stick"), "");
    if (!stick.mounted())
        GTEST_SKIP() << stick.why();
    const std::string file = tree.writeFile("src/report", "bytes");
    tree.makeSymlink("dst/stick", tree.path("stick"));

    const FileOperationResult moved = run(requestOf(Kind::move, {file}, tree.path("dst/stick")), file);
    ASSERT_EQ(moved.outcome, ItemOutcome::succeeded) << whatOf(moved);
    EXPECT_EQ(tree.readFile("stick/report"), "bytes");
    EXPECT_FALSE(existsAt(file));
    ASSERT_EQ(moved.recoveryPaths.size(), 1u) << "the source went to the trash";
    EXPECT_TRUE(test::hiddenItemsIn(tree.path("stick")).empty());

    const std::string folder = tree.makeFolder("src/album");
    tree.writeFile("src/album/track", "t");
    const FileOperationResult renamedAcross =
        run(requestOf(Kind::move, {folder}, tree.path("dst/stick"), std::string("album")), folder);
    ASSERT_EQ(renamedAcross.outcome, ItemOutcome::succeeded) << whatOf(renamedAcross);
    EXPECT_EQ(tree.readFile("stick/album/track"), "t");
}

TEST_F(OperationRouteTest, ALinkToAnAncestorIsRenamedMovedAndCopiedAsALink) {
    tree.makeFolder("home/Desktop");
    tree.makeFolder("home/Desktop/saved");
    const std::string link = tree.makeSymlink("home/Desktop/home", tree.path("home"));

    const FileOperationResult renamed =
        run(requestOf(Kind::rename, {link}, std::nullopt, std::string("home link")), link);
    ASSERT_EQ(renamed.outcome, ItemOutcome::succeeded) << whatOf(renamed);
    const std::string moved = tree.path("home/Desktop/home link");
    EXPECT_EQ(linkTarget(moved), tree.path("home"));

    const FileOperationResult copied =
        run(requestOf(Kind::copy, {moved}, tree.path("home/Desktop/saved")), moved);
    ASSERT_EQ(copied.outcome, ItemOutcome::succeeded) << whatOf(copied);
    EXPECT_EQ(linkTarget(tree.path("home/Desktop/saved/home link")), tree.path("home"));

    const FileOperationResult intoTarget = run(requestOf(Kind::move, {moved}, tree.path("home")), moved);
    ASSERT_EQ(intoTarget.outcome, ItemOutcome::succeeded) << whatOf(intoTarget);
    EXPECT_EQ(linkTarget(tree.path("home/home link")), tree.path("home"));

    // A real folder still cannot go inside itself, also when the way in is
    // a link.
    const std::string home = tree.path("home");
    EXPECT_EQ(run(requestOf(Kind::copy, {home}, tree.path("home/home link")), home).problem->code(),
              Code::descendant);
    EXPECT_EQ(run(requestOf(Kind::move, {home}, tree.path("home/Desktop")), home).problem->code(),
              Code::descendant);
}

TEST_F(OperationRouteTest, SetIdItemsCopiedByAnotherUserLoseExactlyTheirSetIdBits) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to make items of other owners and to drop privileges";
    constexpr uid_t kUser = 65534;
    constexpr uid_t kColleague = 4321;
    const std::string program = tree.writeFile("src/program", "#!/bin/sh\n", 0755);
    ASSERT_EQ(::chmod(program.c_str(), 04755), 0);
    const std::string shared = tree.makeFolder("src/shared");
    tree.writeFile("src/shared/notes", "n", 0664);
    ASSERT_EQ(::chown(shared.c_str(), kColleague, kUser), 0);
    ASSERT_EQ(::chown(tree.path("src/shared/notes").c_str(), kColleague, kUser), 0);
    ASSERT_EQ(::chmod(shared.c_str(), 02775), 0);
    ASSERT_EQ(::chmod(tree.path("dst").c_str(), 0777), 0);
    ASSERT_EQ(::chmod(tree.makeFolder("user-state").c_str(), 0777), 0);
    ASSERT_EQ(::chmod(tree.root().c_str(), 0755), 0);

    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (::setgroups(0, nullptr) != 0 || ::setgid(kUser) != 0 || ::setuid(kUser) != 0)
            ::_exit(10);
        const OperationExecutor asUser{OperationJournal(tree.path("user-state/operations.sqlite"))};
        for (const std::string &item : {program, shared})
            if (run(requestOf(Kind::copy, {item}, tree.path("dst")), item, asUser).outcome !=
                ItemOutcome::succeeded)
                ::_exit(item == program ? 11 : 12);
        ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_EQ(WEXITSTATUS(status), 0) << "10 privileges, 11 the program's copy failed, 12 the folder's";
    EXPECT_EQ(modeOf(tree.path("dst/program")), 0755u);
    EXPECT_EQ(modeOf(tree.path("dst/shared")), 0775u);
    EXPECT_EQ(tree.readFile("dst/shared/notes"), "n");
    EXPECT_TRUE(test::hiddenItemsIn(tree.path("dst")).empty());
}

TEST_F(OperationRouteTest, RenamesOnOverlayExt4AndAFuseVolumeWithoutTheFlagAreNeverCopies) {
    test::OverlayMount overlay(tree.root());
    tree.makeFolder("ext4");
    test::ScratchVolume ext4(test::ScratchVolume::Kind::ext4, tree.path("ext4"), tree.path("ext4.img"));
    tree.makeFolder("backing");
    tree.makeFolder("fuse");
    test::FuseServer fuse(DROMEL_PLAIN_VOLUME, tree.path("fuse"), {tree.path("backing"), tree.path("fuse")});
    std::vector<std::string> folders;
    if (overlay.mounted())
        folders.push_back(overlay.path());
    if (ext4.mounted())
        folders.push_back(ext4.path());
    if (fuse.mounted())
        folders.push_back(fuse.path());
    if (folders.size() < 3)
        std::printf("volumes skipped: overlay %d, ext4 %s, fuse %s\n", overlay.mounted(), ext4.why().c_str(),
                    fuse.why().c_str());
    if (folders.empty())
        GTEST_SKIP() << "no volume could be mounted";

    for (const std::string &folder : folders) {
        SCOPED_TRACE(folder);
        labels.clear();
        const std::string file = script(folder);
        const FileOperationResult renamed =
            run(requestOf(Kind::rename, {file}, std::nullopt, std::string("script.sh")), file);
        ASSERT_EQ(renamed.outcome, ItemOutcome::succeeded) << whatOf(renamed);
        EXPECT_EQ(labels, (Labels{"before-move", "after-move"})) << "put in place, not copied";
        EXPECT_FALSE(existsAt(file));
        expectKept(folder + "/script.sh");
        EXPECT_TRUE(renamed.recoveryPaths.empty()) << "nothing went to the trash";

        // Put in place exclusively: an item that takes the name meanwhile
        // stays, and so does the source.
        const std::string second = tree.writeFile(folder.substr(tree.root().size() + 1) + "/second", "mine");
        hook = [&](const std::string &label) {
            if (label == "before-move")
                tree.writeFile(folder.substr(tree.root().size() + 1) + "/taken", "theirs");
        };
        const FileOperationResult raced =
            run(requestOf(Kind::rename, {second}, std::nullopt, std::string("taken")), second);
        hook = nullptr;
        EXPECT_EQ(raced.outcome, ItemOutcome::failed);
        EXPECT_EQ(tree.readFile(folder.substr(tree.root().size() + 1) + "/taken"), "theirs");
        EXPECT_EQ(tree.readFile(folder.substr(tree.root().size() + 1) + "/second"), "mine");
    }
}

TEST_F(OperationRouteTest, WhereNothingPutsItemsInPlaceExclusivelyACopyAsksAndKeepsWhatTheVolumeKeeps) {
    tree.makeFolder("backing");
    tree.makeFolder("fuse");
    test::FuseServer fuse(DROMEL_PLAIN_VOLUME, tree.path("fuse"),
                          {tree.path("backing"), tree.path("fuse"), "--no-link"});
    if (!fuse.mounted())
        GTEST_SKIP() << fuse.why();
    const std::string file = script(tree.path("src"));
    const FileOperationRequest asked = requestOf(Kind::copy, {file}, fuse.path());
    EXPECT_EQ(run(asked, file).problem->code(), Code::metadataConsent);
    EXPECT_TRUE(labels.empty());
    EXPECT_TRUE(test::namesIn(fuse.path()).empty()) << "the probe left nothing";

    const FileOperationRequest agreed = requestOf(Kind::copy, {file}, fuse.path(), std::nullopt, true);
    const FileOperationResult copied = run(agreed, file);
    ASSERT_EQ(copied.outcome, ItemOutcome::succeeded) << whatOf(copied);
    EXPECT_EQ(labels.front(), "before-copy");
    expectKept(fuse.path() + "/script");
    EXPECT_EQ(test::namesIn(fuse.path()), (std::set<std::string>{"script"}));
}
