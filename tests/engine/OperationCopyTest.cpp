#include "engine/OperationCopy.h"
#include "core/OperationProblem.h"
#include "engine/OperationFS.h"
#include "support/Checks.h"
#include "support/ScopedEnv.h"
#include "support/TempTree.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/acl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <atomic>
#include <thread>

using namespace dromel;
using Code = OperationProblem::Code;
using test::modeOf;
using test::problemOf;

namespace {

const OperationCancellation kNotCancelled;

} // namespace

TEST(OperationCopyTest, ATreeIsCopiedWithItsMetadataAndProgressEndsAtItsSize) {
    test::TempTree tree;
    const std::string source = tree.makeFolder("src", 0750);
    tree.writeFile("src/one", "12345", 0640);
    tree.writeSizedFile("src/two", 3 << 20);
    tree.makeFolder("src/empty", 0711);
    tree.makeSymlink("src/link", "one");
    ASSERT_EQ(::setxattr(tree.path("src/one").c_str(), "user.tag", "x\0y", 3, 0), 0);
    acl_t acl = ::acl_from_text("u::rw-,u:1234:r--,g::r--,m::r--,o::---");
    ASSERT_TRUE(acl);
    ASSERT_EQ(::acl_set_file(tree.path("src/one").c_str(), ACL_TYPE_ACCESS, acl), 0);
    ::acl_free(acl);
    tree.setModificationTime("src/empty", 1'000'000, 7);
    tree.setModificationTime("src", 2'000'000, 9);
    const TreeManifest records = OperationFS::manifest(source, kNotCancelled);

    std::vector<std::int64_t> reports;
    OperationCopy::tree(source, tree.path("dst"), records, false, kNotCancelled,
                        [&](std::int64_t total) { reports.push_back(total); });
    ASSERT_FALSE(reports.empty());
    EXPECT_EQ(reports.back(), 5 + (3 << 20));
    EXPECT_TRUE(std::is_sorted(reports.begin(), reports.end()));

    const TreeManifest copied = OperationFS::manifest(tree.path("dst"), kNotCancelled);
    EXPECT_TRUE(OperationFS::sameContent(records, copied));
    for (std::size_t i = 0; i < records.size(); ++i) {
        SCOPED_TRACE(records[i].relative);
        EXPECT_EQ(copied[i].metadata, records[i].metadata) << "attributes, ACL and flags";
        EXPECT_EQ(copied[i].stamp.mode, records[i].stamp.mode);
        if (!records[i].stamp.isSymbolicLink()) {
            EXPECT_EQ(copied[i].stamp.modified, records[i].stamp.modified);
            EXPECT_EQ(copied[i].stamp.nanos, records[i].stamp.nanos);
        }
    }
    EXPECT_FALSE(copied[3].metadata.acl.empty()) << "the ACL was set on one";
}

TEST(OperationCopyTest, LimitedCopiesOnlyDataWithPrivateModes) {
    test::TempTree tree;
    const std::string source = tree.makeFolder("src", 0755);
    tree.writeFile("src/f", "data", 0644);
    ASSERT_EQ(::setxattr(tree.path("src/f").c_str(), "user.tag", "v", 1, 0), 0);
    OperationCopy::tree(source, tree.path("dst"), OperationFS::manifest(source, kNotCancelled), true,
                        kNotCancelled, {});
    EXPECT_EQ(modeOf(tree.path("dst")), 0700u);
    EXPECT_EQ(modeOf(tree.path("dst/f")), 0600u);
    EXPECT_EQ(::getxattr(tree.path("dst/f").c_str(), "user.tag", nullptr, 0), -1);
    EXPECT_EQ(tree.readFile("dst/f"), "data");
}

TEST(OperationCopyTest, AnExistingTargetIsLeftUntouchedAndAChangedSourceRefused) {
    test::TempTree tree;
    const std::string source = tree.writeFile("src", "new");
    const std::string target = tree.writeFile("dst", "precious");
    std::string path;
    EXPECT_EQ(problemOf([&] { OperationCopy::file(source, target, false, kNotCancelled, {}); }, &path),
              Code::system);
    EXPECT_EQ(path, target);
    EXPECT_EQ(tree.readFile("dst"), "precious");

    const TreeManifest records = OperationFS::manifest(source, kNotCancelled);
    tree.writeFile("src", "changed");
    EXPECT_EQ(
        problemOf([&] { OperationCopy::tree(source, tree.path("other"), records, false, kNotCancelled, {}); },
                  &path),
        Code::sourceChanged);
    EXPECT_EQ(path, source);
    EXPECT_NE(::access(tree.path("other").c_str(), F_OK), 0) << "refused before anything is written";

    tree.makeFifo("pipe");
    EXPECT_EQ(
        problemOf([&] { OperationCopy::file(tree.path("pipe"), tree.path("p2"), false, kNotCancelled, {}); }),
        Code::unsupported);
}

TEST(OperationCopyTest, CancellationStopsAndLeavesThePartialTarget) {
    test::TempTree tree;
    const std::string source = tree.writeSizedFile("big", 64 << 20);
    const std::string target = tree.path("copy");
    OperationCancellation cancel;
    std::atomic<bool> done = false;
    std::thread canceller([&] {
        struct stat info {};
        while (!done && (::stat(target.c_str(), &info) != 0 || info.st_size == 0))
            std::this_thread::yield();
        cancel.cancel();
    });
    EXPECT_THROW(OperationCopy::file(source, target, false, cancel, {}), OperationCancelled);
    done = true;
    canceller.join();
    EXPECT_EQ(::access(target.c_str(), F_OK), 0) << "what was written stays for the caller to report";
}

TEST(OperationCopyTest, DataAlteredOnTheWayFailsVerification) {
    test::TempTree tree;
    const std::string source = tree.writeSizedFile("src", 1 << 20);
    const std::string target = tree.path("dst");
    std::string path;
    // The end-of-data report comes after the data is written and before it is
    // verified: change the source right then.
    const auto alter = [&](std::int64_t copied) {
        if (copied == 1 << 20) {
            const int fd = ::open(source.c_str(), O_WRONLY);
            (void)::pwrite(fd, "!", 1, 100);
            ::close(fd);
        }
    };
    EXPECT_EQ(problemOf([&] { OperationCopy::file(source, target, false, kNotCancelled, alter); }, &path),
              Code::verification);
    EXPECT_EQ(path, target);
}

TEST(OperationCopyTest, AFullOrReadOnlyVolumeFailsWithSystemAndKeepsTheSource) {
    if (!test::canMountTmpfs())
        GTEST_SKIP() << "cannot mount tmpfs here: full and read-only volumes are not checked";
    test::TempTree tree;
    const std::string source = tree.writeSizedFile("src", 2 << 20);
    const std::string digest = OperationFS::manifest(source, kNotCancelled)[0].digest.value();
    const std::string small = tree.makeFolder("small");
    test::ScopedTmpfs full(small, 1 << 20);
    ASSERT_TRUE(full.mounted());
    std::string path;
    EXPECT_EQ(
        problemOf([&] { OperationCopy::file(source, small + "/copy", false, kNotCancelled, {}); }, &path),
        Code::system);
    EXPECT_EQ(path, small + "/copy");
    EXPECT_EQ(OperationFS::manifest(source, kNotCancelled)[0].digest, digest);

    const std::string locked = tree.makeFolder("locked");
    test::ScopedTmpfs readOnly(locked, 1 << 20);
    ASSERT_TRUE(readOnly.mounted());
    ASSERT_EQ(::mount(nullptr, locked.c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr), 0);
    EXPECT_EQ(problemOf([&] { OperationCopy::file(source, locked + "/copy", false, kNotCancelled, {}); }),
              Code::system);
}
