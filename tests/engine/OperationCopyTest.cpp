#include "engine/OperationCopy.h"
#include "ScratchVolume.h"
#include "core/OperationProblem.h"
#include "engine/OperationFS.h"
#include "support/Checks.h"
#include "support/ScopedEnv.h"
#include "support/TempTree.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <sys/acl.h>
#include <sys/fanotify.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
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
    const TreeManifest records = OperationFS::manifest(source, kNotCancelled);

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
    const auto blocks = [](const std::string &path) {
        struct stat info {};
        ::stat(path.c_str(), &info);
        return info.st_blocks;
    };
    const TreeManifest records = OperationFS::manifest(source, kNotCancelled);
    OperationCopy::tree(source, tree.path("tree"), records, false, kNotCancelled, {});
    OperationCopy::file(image, tree.path("file.img"), false, kNotCancelled, {});
    for (const std::string &copy : {tree.path("tree/vm.img"), tree.path("file.img")}) {
        SCOPED_TRACE(copy);
        EXPECT_LE(blocks(copy), blocks(image));
        EXPECT_EQ(OperationFS::manifest(copy, kNotCancelled)[0].digest, records[1].digest);
        struct stat info {};
        ::stat(copy.c_str(), &info);
        EXPECT_EQ(info.st_size, 64 << 20);
    }
}

TEST(OperationCopyTest, ATreeCopyIsCheckedAgainstTheManifestNotTheLiveSource) {
    // The source is rewritten the moment the copier opens it, after its stamp
    // was checked: a fanotify permission event holds the open meanwhile.
    test::TempTree tree;
    const std::string source = tree.makeFolder("src");
    const std::string file = tree.writeFile("src/report.txt", "the version that was prepared");
    const TreeManifest records = OperationFS::manifest(source, kNotCancelled);
    const int writer = ::open(file.c_str(), O_WRONLY | O_CLOEXEC); // opened before the watch
    ASSERT_GE(writer, 0);
    const int watch = ::fanotify_init(FAN_CLASS_CONTENT | FAN_CLOEXEC, O_RDONLY | O_CLOEXEC);
    if (watch < 0) {
        ::close(writer);
        GTEST_SKIP() << "fanotify is not available here: " << std::strerror(errno);
    }
    ASSERT_EQ(::fanotify_mark(watch, FAN_MARK_ADD, FAN_OPEN_PERM, AT_FDCWD, file.c_str()), 0);
    std::atomic<bool> rewritten = false;
    std::atomic<bool> finished = false;
    std::thread guard([&] {
        alignas(fanotify_event_metadata) char buffer[4096];
        while (!finished) {
            pollfd ready{watch, POLLIN, 0};
            if (::poll(&ready, 1, 50) <= 0)
                continue;
            ssize_t length = ::read(watch, buffer, sizeof buffer);
            if (length <= 0)
                continue;
            auto *event = reinterpret_cast<fanotify_event_metadata *>(buffer);
            for (; FAN_EVENT_OK(event, length); event = FAN_EVENT_NEXT(event, length)) {
                if (!rewritten.exchange(true))
                    (void)::pwrite(writer, "A DIFFERENT VERSION, same size!", 29, 0);
                const fanotify_response allow{event->fd, FAN_ALLOW};
                (void)::write(watch, &allow, sizeof allow);
                ::close(event->fd);
            }
        }
    });
    std::string path;
    const auto outcome = problemOf(
        [&] { OperationCopy::tree(source, tree.path("copy"), records, false, kNotCancelled, {}); }, &path);
    finished = true;
    guard.join();
    ::close(watch);
    ::close(writer);
    ASSERT_TRUE(rewritten);
    EXPECT_EQ(outcome, Code::sourceChanged) << "never reported as a good copy";
    EXPECT_EQ(path, file);
}

TEST(OperationCopyTest, TheCopyCarriesExactlyTheSourcesACLs) {
    test::TempTree tree;
    const std::string source = tree.makeFolder("src", 0755);
    tree.writeFile("src/plain", "no ACL", 0644);
    tree.makeFolder("src/folder", 0755);
    // Everything made in here inherits an ACL the source never had.
    const std::string shared = tree.makeFolder("shared", 0755);
    acl_t inherited = ::acl_from_text("u::rwx,u:4321:rwx,g::r-x,m::rwx,o::r-x");
    ASSERT_TRUE(inherited);
    ASSERT_EQ(::acl_set_file(shared.c_str(), ACL_TYPE_DEFAULT, inherited), 0);
    ::acl_free(inherited);

    const TreeManifest records = OperationFS::manifest(source, kNotCancelled);
    OperationCopy::tree(source, shared + "/copy", records, false, kNotCancelled, {});
    const TreeManifest copied = OperationFS::manifest(shared + "/copy", kNotCancelled);
    ASSERT_EQ(copied.size(), records.size());
    for (std::size_t i = 0; i < copied.size(); ++i) {
        SCOPED_TRACE(copied[i].relative);
        EXPECT_EQ(copied[i].metadata.acl, "") << "no inherited ACL";
        EXPECT_EQ(copied[i].metadata.attributes.count("system.posix_acl_access"), 0u);
    }
    EXPECT_TRUE(OperationFS::metadataMatches(records, copied));
}

TEST(OperationCopyTest, ACopyWhoseOwnerCannotBeKeptLosesItsSetIdBits) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to make a root-owned set-user-ID program and to drop privileges";
    test::TempTree tree;
    const std::string program = tree.writeFile("program", "#!/bin/sh\n", 0755);
    ASSERT_EQ(::chmod(program.c_str(), 06755), 0);
    const std::string drop = tree.makeFolder("drop", 0777);
    ASSERT_EQ(::chmod(tree.root().c_str(), 0755), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // As nobody: the copy cannot be given to root.
        if (::setgid(65534) != 0 || ::setuid(65534) != 0)
            ::_exit(10);
        try {
            const std::string copy = drop + "/program";
            OperationCopy::file(program, copy, false, kNotCancelled, {});
            struct stat info {};
            ::lstat(copy.c_str(), &info);
            if (info.st_uid != 65534)
                ::_exit(11);
            if (info.st_mode & (S_ISUID | S_ISGID))
                ::_exit(12);
            if ((info.st_mode & 0777) != 0755)
                ::_exit(13);
            if (!OperationFS::metadataMatches(OperationFS::manifest(program, kNotCancelled),
                                              OperationFS::manifest(copy, kNotCancelled)))
                ::_exit(14);
        } catch (...) {
            ::_exit(15);
        }
        ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0)
        << "10 setuid, 11 owner, 12 set-id bits kept, 13 mode, 14 check, 15 threw";

    // With the owner kept the bits stay, and the check still holds.
    OperationCopy::file(program, tree.path("root-copy"), false, kNotCancelled, {});
    EXPECT_EQ(test::modeOf(tree.path("root-copy")), 06755u);
    EXPECT_TRUE(OperationFS::metadataMatches(OperationFS::manifest(program, kNotCancelled),
                                             OperationFS::manifest(tree.path("root-copy"), kNotCancelled)));
}

TEST(OperationCopyTest, ManyFilesAreCopiedTwoAtATimeAndTheEarliestFailureIsReported) {
    test::TempTree tree;
    const std::string source = tree.makeFolder("src");
    std::int64_t size = 0;
    for (int i = 0; i < 60; ++i) {
        const std::string name = "src/" + std::string(i < 10 ? "0" : "") + std::to_string(i);
        tree.writeSizedFile(name, 1000 + i * 100, i);
        size += 1000 + i * 100;
    }
    const TreeManifest records = OperationFS::manifest(source, kNotCancelled);
    std::vector<std::int64_t> reports;
    OperationCopy::tree(source, tree.path("copy"), records, false, kNotCancelled,
                        [&](std::int64_t total) { reports.push_back(total); });
    EXPECT_TRUE(OperationFS::sameContent(records, OperationFS::manifest(tree.path("copy"), kNotCancelled)));
    EXPECT_TRUE(
        OperationFS::metadataMatches(records, OperationFS::manifest(tree.path("copy"), kNotCancelled)));
    ASSERT_FALSE(reports.empty());
    EXPECT_TRUE(std::is_sorted(reports.begin(), reports.end()));
    EXPECT_EQ(reports.back(), size);

    tree.writeFile("src/31", "changed");
    tree.writeFile("src/45", "changed");
    std::string path;
    EXPECT_EQ(
        problemOf([&] { OperationCopy::tree(source, tree.path("again"), records, false, kNotCancelled, {}); },
                  &path),
        Code::sourceChanged);
    EXPECT_EQ(path, tree.path("src/31"));
}
