#include "engine/OperationCopy.h"
#include "RewriteOnFirstUse.h"
#include "ScratchVolume.h"
#include "core/OperationProblem.h"
#include "engine/DataPasses.h"
#include "engine/OperationFS.h"
#include "support/Checks.h"
#include "support/ScopedEnv.h"
#include "support/TempTree.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <linux/fs.h>
#include <poll.h>
#include <sys/acl.h>
#include <sys/fanotify.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <functional>
#include <thread>

using namespace dromel;
using Code = OperationProblem::Code;
using test::modeOf;
using test::problemOf;

namespace {

const OperationCancellation kNotCancelled;

TreeManifest manifestOf(const std::string &path) {
    return OperationFS::manifest(path, kNotCancelled);
}

void setAcl(const std::string &path, acl_type_t type, const char *text) {
    acl_t acl = ::acl_from_text(text);
    ASSERT_TRUE(acl);
    ASSERT_EQ(::acl_set_file(path.c_str(), type, acl), 0);
    ::acl_free(acl);
}

// Adds the no-dump inode flag where the file system has inode flags.
bool markNoDump(const std::string &path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    int flags = 0;
    const bool done = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0 &&
                      (flags |= FS_NODUMP_FL, ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0);
    ::close(fd);
    return done;
}

} // namespace

TEST(OperationCopyTest, ATreeKeepsExactlyItsOwnMetadataAndALimitedCopyWhatItsVolumeKeeps) {
    test::TempTree tree;
    const std::string source = tree.makeFolder("src", 0750);
    tree.writeFile("src/one", "12345", 0640);
    tree.writeSizedFile("src/two", 3 << 20);
    tree.makeFolder("src/empty", 0711);
    tree.makeSymlink("src/link", "one");
    ASSERT_EQ(::setxattr(tree.path("src/one").c_str(), "user.tag", "x\0y", 3, 0), 0);
    setAcl(tree.path("src/one"), ACL_TYPE_ACCESS, "u::rw-,u:1234:r--,g::r--,m::r--,o::---");
    const bool flagged = markNoDump(tree.path("src/one"));
    tree.setModificationTime("src/empty", 1'000'000, 7);
    tree.setModificationTime("src", 2'000'000, 9);
    // Everything made in here inherits an ACL the source never had.
    const std::string shared = tree.makeFolder("shared", 0755);
    setAcl(shared, ACL_TYPE_DEFAULT, "u::rwx,u:4321:rwx,g::r-x,m::rwx,o::r-x");
    const TreeManifest records = manifestOf(source);
    if (flagged) {
        EXPECT_EQ(records[3].metadata.flags, static_cast<std::uint32_t>(FS_NODUMP_FL))
            << "ext4's own extents flag is not the file's";
    }

    std::vector<std::int64_t> reports;
    OperationCopy::tree(source, shared + "/dst", records, false, kNotCancelled,
                        [&](std::int64_t total) { reports.push_back(total); });
    ASSERT_FALSE(reports.empty());
    EXPECT_EQ(reports.back(), 5 + (3 << 20));
    EXPECT_TRUE(std::is_sorted(reports.begin(), reports.end()));
    const TreeManifest copied = manifestOf(shared + "/dst");
    EXPECT_TRUE(OperationFS::sameContent(records, copied));
    EXPECT_TRUE(OperationFS::metadataMatches(records, copied));
    for (std::size_t i = 0; i < records.size(); ++i) {
        SCOPED_TRACE(records[i].relative);
        EXPECT_EQ(copied[i].metadata, records[i].metadata) << "attributes, flags and no inherited ACL";
        EXPECT_EQ(copied[i].stamp.mode, records[i].stamp.mode);
        if (!records[i].stamp.isSymbolicLink()) {
            EXPECT_EQ(copied[i].stamp.modified, records[i].stamp.modified);
            EXPECT_EQ(copied[i].stamp.nanos, records[i].stamp.nanos);
        }
    }
    EXPECT_FALSE(copied[3].metadata.acl.empty()) << "the ACL was set on one";

    // Limited: whatever the volume keeps is carried, unchecked (here, all).
    OperationCopy::tree(source, tree.path("limited"), records, true, kNotCancelled, {});
    const TreeManifest limited = manifestOf(tree.path("limited"));
    EXPECT_EQ(modeOf(tree.path("limited")), modeOf(source));
    EXPECT_EQ(limited[3].stamp.mode, records[3].stamp.mode);
    EXPECT_EQ(limited[3].stamp.modified, records[3].stamp.modified);
    EXPECT_GT(::getxattr(tree.path("limited/one").c_str(), "user.tag", nullptr, 0), 0);
    EXPECT_EQ(tree.readFile("limited/one"), "12345");
}

TEST(OperationCopyTest, ExistingTargetsChangedSourcesAlteredDataAndCancellationAreNeverACopy) {
    test::TempTree tree;
    const std::string source = tree.writeSizedFile("src", 1 << 20);
    const std::string target = tree.writeFile("dst", "precious");
    std::string path;
    EXPECT_EQ(problemOf([&] { OperationCopy::file(source, target, false, kNotCancelled, {}); }, &path),
              Code::system);
    EXPECT_EQ(path, target);
    EXPECT_EQ(tree.readFile("dst"), "precious");

    // The end-of-data report comes after the data is written and before it is
    // verified: change the source right then.
    const auto alter = [&](std::int64_t copied) {
        if (copied == 1 << 20) {
            const int fd = ::open(source.c_str(), O_WRONLY);
            (void)::pwrite(fd, "!", 1, 100);
            ::close(fd);
        }
    };
    EXPECT_EQ(
        problemOf([&] { OperationCopy::file(source, tree.path("v"), false, kNotCancelled, alter); }, &path),
        Code::verification);
    EXPECT_EQ(path, tree.path("v"));

    const TreeManifest records = manifestOf(source);
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

    const std::string big = tree.writeSizedFile("big", 64 << 20);
    const std::string partial = tree.path("copy");
    OperationCancellation cancel;
    std::atomic<bool> done = false;
    std::thread canceller([&] {
        struct stat info {};
        while (!done && (::stat(partial.c_str(), &info) != 0 || info.st_size == 0))
            std::this_thread::yield();
        cancel.cancel();
    });
    EXPECT_THROW(OperationCopy::file(big, partial, false, cancel, {}), OperationCancelled);
    done = true;
    canceller.join();
    EXPECT_EQ(::access(partial.c_str(), F_OK), 0) << "what was written stays for the caller to report";
}

TEST(OperationCopyTest, AFullOrReadOnlyVolumeFailsWithSystemAndKeepsTheSource) {
    if (!test::canMountTmpfs())
        GTEST_SKIP() << "cannot mount tmpfs here: full and read-only volumes are not checked";
    test::TempTree tree;
    const std::string source = tree.writeSizedFile("src", 2 << 20);
    const std::string digest = manifestOf(source)[0].digest.value();
    const std::string small = tree.makeFolder("small");
    test::ScopedTmpfs full(small, 1 << 20);
    ASSERT_TRUE(full.mounted());
    std::string path;
    EXPECT_EQ(
        problemOf([&] { OperationCopy::file(source, small + "/copy", false, kNotCancelled, {}); }, &path),
        Code::system);
    EXPECT_EQ(path, small + "/copy");
    EXPECT_EQ(manifestOf(source)[0].digest, digest);

    const std::string locked = tree.makeFolder("locked");
    test::ScopedTmpfs readOnly(locked, 1 << 20);
    ASSERT_TRUE(readOnly.mounted());
    ASSERT_EQ(::mount(nullptr, locked.c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr), 0);
    EXPECT_EQ(problemOf([&] { OperationCopy::file(source, locked + "/copy", false, kNotCancelled, {}); }),
              Code::system);
}

TEST(OperationCopyTest, AWriteLostOnTheWayToTheDiskIsNeverReportedDurable) {
    if (!test::canMountTmpfs())
        GTEST_SKIP() << "cannot mount here: the lost-write case is not checked";
    // An ext4 volume whose backing store cannot take new blocks: its image is
    // a sparse file on a full tmpfs, so writeback of new data fails. Without
    // a journal and with errors=continue it stays writable, as a disk with a
    // few bad sectors would.
    test::TempTree tree;
    const std::string backing = tree.makeFolder("backing");
    test::ScopedTmpfs store(backing, 16 << 20);
    ASSERT_TRUE(store.mounted());
    test::ScratchVolume volume(test::ScratchVolume::Kind::ext4, tree.makeFolder("volume"),
                               backing + "/disk.img", 64 << 20, "-O ^has_journal", "errors=continue");
    if (!volume.mounted())
        GTEST_SKIP() << "cannot make an ext4 loop volume here (" << volume.why() << ")";
    {
        const int filler = ::open(tree.path("backing/filler").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
        const std::string block(1 << 16, 'f');
        while (::write(filler, block.data(), block.size()) > 0) {
        }
        EXPECT_EQ(errno, ENOSPC);
        ::close(filler);
    }
    const std::string source = tree.makeFolder("src");
    tree.writeSizedFile("src/data", 4 << 20);
    const TreeManifest records = manifestOf(source);

    // Another process flushing the disk (sync -f) meanwhile collects the
    // error first: a descriptor opened after that never hears of it.
    const auto otherFlush = [&](std::int64_t copied) {
        if (copied != 4 << 20)
            return;
        const int fd = ::open(volume.path().c_str(), O_RDONLY | O_DIRECTORY);
        EXPECT_NE(::syncfs(fd), 0) << "the write did fail";
        ::close(fd);
    };
    try {
        OperationCopy::tree(source, volume.path() + "/copy", records, false, kNotCancelled, otherFlush);
        ADD_FAILURE() << "reported durable";
    } catch (const OperationProblem &problem) {
        EXPECT_EQ(problem.code(), Code::system);
        EXPECT_EQ(problem.path(), volume.path() + "/copy") << problem.what();
    }
}

TEST(OperationCopyTest, SparseFilesKeepTheirHolesAndTheirDigest) {
    test::TempTree tree;
    const std::string source = tree.makeFolder("src");
    const std::string image = tree.path("src/vm.img");
    {
        const int fd = ::open(image.c_str(), O_WRONLY | O_CREAT, 0644);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::pwrite(fd, "start", 5, 0), 5);
        ASSERT_EQ(::pwrite(fd, "middle", 6, 32 << 20), 6);
        ASSERT_EQ(::ftruncate(fd, 64 << 20), 0); // ends in a hole
        ::close(fd);
    }
    const auto statOf = [](const std::string &path) {
        struct stat info {};
        ::stat(path.c_str(), &info);
        return info;
    };
    const TreeManifest records = manifestOf(source);
    OperationCopy::tree(source, tree.path("tree"), records, false, kNotCancelled, {});
    OperationCopy::file(image, tree.path("file.img"), false, kNotCancelled, {});
    for (const std::string &copy : {tree.path("tree/vm.img"), tree.path("file.img")}) {
        SCOPED_TRACE(copy);
        EXPECT_LE(statOf(copy).st_blocks, statOf(image).st_blocks);
        EXPECT_EQ(manifestOf(copy)[0].digest, records[1].digest);
        EXPECT_EQ(statOf(copy).st_size, 64 << 20);
    }
}

// The engine's own count of its passes over the data, which the benchmark
// reports: a lone file is copied once and hashed on both sides; a tree's
// files are hashed once more (the copy, against the manifest), or not at
// all here when the caller hashes the copy anyway.
TEST(OperationCopyTest, PassesOverTheDataAreCounted) {
    test::TempTree tree;
    const std::int64_t size = 3 << 20;
    tree.makeFolder("src");
    const std::string source =
        tree.writeFile("src/data.bin", std::string(static_cast<std::size_t>(size), 'd'));
    const auto during = [](const std::function<void()> &work) {
        const DataPasses::Totals before = DataPasses::totals();
        work();
        return DataPasses::totals() - before;
    };
    DataPasses::Totals counted =
        during([&] { OperationCopy::file(source, tree.path("one"), false, kNotCancelled, {}); });
    EXPECT_EQ(counted.copied, size);
    EXPECT_EQ(counted.hashed, 2 * size);
    const TreeManifest records = manifestOf(tree.path("src"));
    counted = during(
        [&] { OperationCopy::tree(tree.path("src"), tree.path("t1"), records, false, kNotCancelled, {}); });
    EXPECT_EQ(counted.copied, size);
    EXPECT_EQ(counted.hashed, size);
    counted = during([&] {
        OperationCopy::tree(tree.path("src"), tree.path("t2"), records, false, kNotCancelled, {},
                            OperationCopy::Verify::byCaller);
    });
    EXPECT_EQ(counted.copied, size);
    EXPECT_EQ(counted.hashed, 0);
}

TEST(OperationCopyTest, ATreeCopyIsCheckedAgainstTheManifestNotTheLiveSource) {
    // The source is rewritten the moment the copier first reads it, after its
    // stamp was checked on the open descriptor.
    test::TempTree tree;
    const std::string source = tree.makeFolder("src");
    const std::string file = tree.writeFile("src/report.txt", "the version that was prepared");
    const TreeManifest records = manifestOf(source);
    std::string path;
    std::optional<Code> outcome;
    {
        const test::RewriteOnFirstUse rewrite(file, "A DIFFERENT VERSION, same size!",
                                              test::RewriteOnFirstUse::When::read);
        if (!rewrite.available())
            GTEST_SKIP() << "fanotify is not available here: " << std::strerror(errno);
        outcome = problemOf(
            [&] { OperationCopy::tree(source, tree.path("copy"), records, false, kNotCancelled, {}); },
            &path);
        ASSERT_TRUE(rewrite.rewritten());
    }
    EXPECT_EQ(outcome, Code::sourceChanged) << "never reported as a good copy";
    EXPECT_EQ(path, file);

    // Left to the caller, each source is still checked against its stamp.
    tree.writeFile("src/report.txt", "changed after the manifest");
    EXPECT_EQ(problemOf(
                  [&] {
                      OperationCopy::tree(source, tree.path("unhashed"), records, false, kNotCancelled, {},
                                          OperationCopy::Verify::byCaller);
                  },
                  &path),
              Code::sourceChanged);
    EXPECT_EQ(path, file);
}

TEST(OperationCopyTest, ACopyWhoseOwnerCannotBeKeptLosesItsSetIdBits) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to make a root-owned set-user-ID program and to drop privileges";
    test::TempTree tree;
    const std::string program = tree.writeFile("program", "#!/bin/sh\n", 0755);
    ASSERT_EQ(::chmod(program.c_str(), 06755), 0);
    const std::string copy = tree.makeFolder("drop", 0777) + "/program";
    ASSERT_EQ(::chmod(tree.root().c_str(), 0755), 0);
    const auto matches = [&](const std::string &made) {
        return OperationFS::metadataMatches(manifestOf(program), manifestOf(made));
    };
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // As nobody: the copy cannot be given to root.
        if (::setgid(65534) != 0 || ::setuid(65534) != 0)
            ::_exit(10);
        try {
            OperationCopy::file(program, copy, false, kNotCancelled, {});
            struct stat info {};
            ::lstat(copy.c_str(), &info);
            ::_exit(info.st_uid != 65534             ? 11
                    : (info.st_mode & 07777) != 0755 ? 12
                    : !matches(copy)                 ? 13
                                                     : 0);
        } catch (...) {
            ::_exit(14);
        }
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "10 setuid, 11 owner, 12 set-id bits kept, 13 check, 14 threw";

    // With the owner kept the bits stay, and the check still holds.
    OperationCopy::file(program, tree.path("root-copy"), false, kNotCancelled, {});
    EXPECT_EQ(modeOf(tree.path("root-copy")), 06755u);
    EXPECT_TRUE(matches(tree.path("root-copy")));
}

TEST(OperationCopyTest, ManyFilesAreCopiedTwoAtATimeAndTheEarliestFailureIsReported) {
    test::TempTree tree;
    const std::string source = tree.makeFolder("src");
    for (int i = 0; i < 60; ++i)
        tree.writeSizedFile("src/" + std::string(i < 10 ? "0" : "") + std::to_string(i), 1000 + i * 100, i);
    const TreeManifest records = manifestOf(source);
    OperationCopy::tree(source, tree.path("copy"), records, false, kNotCancelled, {});
    EXPECT_TRUE(OperationFS::sameContent(records, manifestOf(tree.path("copy"))));

    tree.writeFile("src/31", "changed");
    tree.writeFile("src/45", "changed");
    std::string path;
    EXPECT_EQ(
        problemOf([&] { OperationCopy::tree(source, tree.path("again"), records, false, kNotCancelled, {}); },
                  &path),
        Code::sourceChanged);
    EXPECT_EQ(path, tree.path("src/31"));
}
