// Copies between real volumes of every type the copier meets on Linux.
#include "ScratchVolume.h"
#include "core/OperationProblem.h"
#include "engine/OperationCopy.h"
#include "engine/OperationFS.h"
#include "engine/OperationTestSupport.h"
#include "support/TempTree.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/acl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <iostream>
#include <memory>
#include <vector>

using namespace dromel;
using Code = OperationProblem::Code;
using Kind = test::ScratchVolume::Kind;

namespace {

const OperationCancellation kNotCancelled;
constexpr std::int64_t kSparseSize = 4 << 20;

std::int64_t allocated(const std::string &path) {
    struct stat info {};
    ::lstat(path.c_str(), &info);
    return static_cast<std::int64_t>(info.st_blocks) * 512;
}

void writeAt(const std::string &path, off_t offset, std::size_t length, char fill) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    ASSERT_GE(fd, 0) << path;
    const std::string bytes(length, fill);
    ASSERT_EQ(::pwrite(fd, bytes.data(), bytes.size(), offset), static_cast<ssize_t>(length));
    ::close(fd);
}

// The richest tree `folder`'s volume can hold: modes, an ACL, an extended
// attribute, a sparse file, a link and an empty folder; on a volume without
// POSIX metadata only the data, the empty folder and the (unsparse) file.
void makeTree(const std::string &root, bool posix) {
    ASSERT_EQ(::mkdir(root.c_str(), 0755), 0) << root;
    ASSERT_EQ(::mkdir((root + "/data").c_str(), 0750), 0);
    ASSERT_EQ(::mkdir((root + "/data/empty").c_str(), 0700), 0);
    writeAt(root + "/data/notes.txt", 0, 1000, 'n');
    writeAt(root + "/data/disk.img", 64 << 10, 64 << 10, 'a');
    writeAt(root + "/data/disk.img", 2 << 20, 64 << 10, 'b');
    ASSERT_EQ(::truncate((root + "/data/disk.img").c_str(), kSparseSize), 0);
    if (!posix)
        return;
    ASSERT_EQ(::chmod((root + "/data/notes.txt").c_str(), 0640), 0);
    ASSERT_EQ(::setxattr((root + "/data/notes.txt").c_str(), "user.xdg.origin.url", "https://x", 9, 0), 0);
    acl_t acl = ::acl_from_text("u::rw-,u:1234:r--,g::r--,m::r--,o::---");
    ASSERT_TRUE(acl);
    ASSERT_EQ(::acl_set_file((root + "/data/notes.txt").c_str(), ACL_TYPE_ACCESS, acl), 0);
    ::acl_free(acl);
    ASSERT_EQ(::symlink("data/notes.txt", (root + "/link").c_str()), 0);
}

struct Volume {
    std::unique_ptr<test::ScratchVolume> scratch;
    bool posix = false;
};

} // namespace

TEST(OperationCopyVolumesTest, VolumesAreClassifiedAndEveryPairCopiesVerifiesAndCompares) {
    test::TempTree tree;
    std::vector<Volume> volumes;
    for (Kind kind : {Kind::ext4, Kind::xfs, Kind::btrfs, Kind::tmpfs, Kind::ramfs, Kind::exfat}) {
        const char *name = test::ScratchVolume::name(kind);
        auto scratch = std::make_unique<test::ScratchVolume>(kind, tree.makeFolder(name),
                                                             tree.path(std::string(name) + ".img"));
        if (!scratch->mounted()) {
            std::cout << "[ SKIPPED  ] " << name << " cannot be mounted here: " << scratch->why() << "\n";
            continue;
        }
        Volume volume;
        volume.posix = OperationFS::keepsPosixMetadata(scratch->path());
        EXPECT_EQ(volume.posix, kind != Kind::ramfs && kind != Kind::exfat) << name;
        // Every one of them renames exclusively but exFAT through FUSE.
        EXPECT_EQ(OperationFS::supportsExclusiveRename(scratch->path()), kind != Kind::exfat) << name;
        std::set<std::string> left = test::namesIn(scratch->path());
        left.erase("lost+found");
        EXPECT_TRUE(left.empty()) << name << ": the probe leaves nothing behind";
        if (kind == Kind::ramfs)
            continue; // keeps no holes nor attributes: nothing a pair adds
        volume.scratch = std::move(scratch);
        makeTree(volume.scratch->path() + "/tree", volume.posix);
        volumes.push_back(std::move(volume));
    }
    if (volumes.size() < 2)
        GTEST_SKIP() << "fewer than two volume types can be mounted here";

    for (const Volume &from : volumes)
        for (const Volume &to : volumes) {
            const std::string pair = std::string(test::ScratchVolume::name(from.scratch->kind())) + " to " +
                                     test::ScratchVolume::name(to.scratch->kind());
            SCOPED_TRACE(pair);
            const std::string source = from.scratch->path() + "/tree";
            const std::string target =
                to.scratch->path() + "/copy-from-" + test::ScratchVolume::name(from.scratch->kind());
            const TreeManifest records = OperationFS::manifest(source, kNotCancelled);
            // Without POSIX metadata on the target, the copy is the data only
            // (the user has agreed to that).
            const bool limited = !to.posix;
            const bool hasLink = from.posix;
            std::string failedAt;
            try {
                OperationCopy::tree(source, target, records, limited, kNotCancelled, {});
            } catch (const OperationProblem &problem) {
                ASSERT_TRUE(hasLink && !to.posix) << problem.what() << " at " << problem.path();
                EXPECT_EQ(problem.code(), Code::unsupported) << "a volume without links says so";
                EXPECT_EQ(problem.path(), target + "/link");
                failedAt = problem.path();
            }
            const std::string copiedRoot = failedAt.empty() ? target : target + "-data";
            const std::string sourceRoot = failedAt.empty() ? source : source + "/data";
            const TreeManifest expected =
                failedAt.empty() ? records : OperationFS::manifest(sourceRoot, kNotCancelled);
            if (!failedAt.empty())
                OperationCopy::tree(sourceRoot, copiedRoot, expected, limited, kNotCancelled, {});

            const TreeManifest copied = OperationFS::manifest(copiedRoot, kNotCancelled);
            EXPECT_TRUE(OperationFS::sameContent(expected, copied)) << "data, shape and links";
            if (!limited) {
                for (std::size_t i = 0; i < copied.size() && i < expected.size(); ++i)
                    EXPECT_TRUE(OperationFS::metadataMatches({expected[i]}, {copied[i]}))
                        << expected[i].relative;
            } else {
                for (const TreeRecord &record : copied)
                    EXPECT_TRUE(record.metadata.attributes.empty()) << record.relative;
            }

            const std::string sparseCopy = copiedRoot + (failedAt.empty() ? "/data" : "") + "/disk.img";
            // exFAT keeps no holes, neither as a source nor as a target.
            if (to.scratch->kind() != Kind::exfat && from.scratch->kind() != Kind::exfat) {
                EXPECT_LE(allocated(sparseCopy), kSparseSize / 4) << "the holes stay holes";
            }
        }
}
