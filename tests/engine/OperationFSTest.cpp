#include "engine/OperationFS.h"
#include "core/OperationProblem.h"
#include "support/Checks.h"
#include "support/ScopedEnv.h"
#include "support/TempTree.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/inotify.h>
#include <sys/mount.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <fstream>
#include <functional>
#include <thread>

using namespace dromel;
using Code = OperationProblem::Code;
using test::problemOf;

namespace {

std::vector<std::string> relatives(const TreeManifest &records) {
    std::vector<std::string> result;
    for (const TreeRecord &record : records)
        result.push_back(record.relative);
    return result;
}

// Runs `onOpen` on another thread the moment `file` is opened (the walk has
// reached it and is hashing it).
class OnOpen {
public:
    OnOpen(const std::string &file, std::function<void()> onOpen) {
        m_fd = ::inotify_init1(IN_CLOEXEC);
        ::inotify_add_watch(m_fd, file.c_str(), IN_OPEN);
        m_thread = std::thread([this, onOpen = std::move(onOpen)] {
            alignas(inotify_event) char buffer[4096];
            if (::read(m_fd, buffer, sizeof buffer) > 0)
                onOpen();
        });
    }
    ~OnOpen() {
        m_thread.join();
        ::close(m_fd);
    }

private:
    int m_fd = -1;
    std::thread m_thread;
};

const OperationCancellation kNotCancelled;

} // namespace

TEST(OperationFSTest, ManifestIsPreOrderInCodePointOrderWithDigestsLinksAndMetadata) {
    test::TempTree tree;
    const std::string root = tree.makeFolder("root");
    tree.writeFile("root/b", "bee");
    tree.writeFile("root/a");
    tree.makeFolder("root/c");
    tree.writeFile("root/c/d", "dee");
    tree.makeSymlink("root/link", "../nowhere/at/all");
    tree.writeFile("root/\xC3\xA9"); // é, NFC
    tree.writeFile("root/\xFF\xFE"); // not UTF-8: raw byte order
    tree.writeFile("root/" + std::string(255, 'n'));
    ASSERT_EQ(::setxattr(tree.path("root/a").c_str(), "user.colour", "blue", 4, 0), 0);

    const TreeManifest records = OperationFS::manifest(root, kNotCancelled);
    EXPECT_EQ(relatives(records), (std::vector<std::string>{"", "a", "b", "c", "c/d", "link",
                                                            std::string(255, 'n'), "\xC3\xA9", "\xFF\xFE"}));
    EXPECT_FALSE(records[0].digest);
    EXPECT_TRUE(records[0].stamp.isDirectory());
    EXPECT_EQ(records[1].digest, "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855")
        << "the SHA-256 of no bytes";
    EXPECT_EQ(records[1].metadata.attributes.at("user.colour"), "blue");
    EXPECT_EQ(records[2].stamp.size, 3);
    EXPECT_EQ(records[5].link, "../nowhere/at/all") << "a link is recorded, never followed";
    EXPECT_FALSE(records[5].digest);

    const TreeManifest single = OperationFS::manifest(tree.path("root/b"), kNotCancelled);
    ASSERT_EQ(single.size(), 1u);
    EXPECT_EQ(single[0].relative, "");
}

TEST(OperationFSTest, ChangesDuringTheWalkAreSourceChanged) {
    test::TempTree tree;
    const std::string root = tree.makeFolder("root");
    const std::string big = tree.writeSizedFile("root/big", 96 << 20);
    std::string path;
    {
        OnOpen creator(big, [&] { tree.writeFile("root/new"); });
        EXPECT_EQ(problemOf([&] { OperationFS::manifest(root, kNotCancelled); }, &path), Code::sourceChanged);
    }
    EXPECT_EQ(path, root) << "an entry added inside the folder while it was walked";

    {
        OnOpen writer(big, [&] {
            const int fd = ::open(big.c_str(), O_WRONLY | O_APPEND);
            (void)::write(fd, "more", 4);
            ::close(fd);
        });
        EXPECT_EQ(problemOf([&] { OperationFS::manifest(big, kNotCancelled); }, &path), Code::sourceChanged);
    }
    EXPECT_EQ(path, big) << "a file written while it was hashed";

    // Inside a folder the folder's own stamp does not change when a file in
    // it is written: the file's stamp, taken again on the descriptor that was
    // hashed, must.
    {
        OnOpen writer(big, [&] {
            const int fd = ::open(big.c_str(), O_WRONLY | O_APPEND);
            (void)::write(fd, "still more", 10);
            ::close(fd);
        });
        EXPECT_EQ(problemOf([&] { OperationFS::manifest(root, kNotCancelled); }, &path), Code::sourceChanged);
    }
    EXPECT_EQ(path, big) << "a file in the tree written while it was hashed";

    OperationCancellation cancelled;
    cancelled.cancel();
    EXPECT_THROW(OperationFS::manifest(root, cancelled), OperationCancelled);
}

TEST(OperationFSTest, SpecialFilesAndMountPointsAreUnsupported) {
    test::TempTree tree;
    tree.makeFolder("fifo");
    tree.makeFifo("fifo/pipe");
    std::string path;
    EXPECT_EQ(problemOf([&] { OperationFS::manifest(tree.path("fifo"), kNotCancelled); }, &path),
              Code::unsupported);
    EXPECT_EQ(path, tree.path("fifo/pipe"));

    EXPECT_EQ(problemOf([&] { OperationFS::manifest("/dev/null", kNotCancelled); }), Code::unsupported);
    const TreeManifest loop = OperationFS::manifest(tree.makeSymlink("loop", "loop"), kNotCancelled);
    ASSERT_EQ(loop.size(), 1u);
    EXPECT_EQ(loop[0].link, "loop") << "a link loop is recorded as a link";

    if (!test::canMountTmpfs())
        GTEST_SKIP() << "cannot mount tmpfs here: the mount-point case is not checked";
    tree.makeFolder("outer/inner");
    test::ScopedTmpfs volume(tree.path("outer/inner"), 1 << 20);
    ASSERT_TRUE(volume.mounted());
    EXPECT_EQ(problemOf([&] { OperationFS::manifest(tree.path("outer"), kNotCancelled); }, &path),
              Code::unsupported);
    EXPECT_EQ(path, tree.path("outer/inner"));
    EXPECT_EQ(OperationFS::fileSystemType(tree.path("outer/inner")), "tmpfs");
    EXPECT_TRUE(OperationFS::supportsExclusiveRename(tree.path("outer/inner")));

    // A bind mount of the same file system: the device number alone does not tell.
    tree.makeFolder("bound/inner");
    tree.makeFolder("elsewhere");
    tree.writeFile("elsewhere/secret", "same file system, another place");
    ASSERT_EQ(
        ::mount(tree.path("elsewhere").c_str(), tree.path("bound/inner").c_str(), nullptr, MS_BIND, nullptr),
        0);
    const auto bound = problemOf([&] { OperationFS::manifest(tree.path("bound"), kNotCancelled); }, &path);
    ::umount2(tree.path("bound/inner").c_str(), MNT_DETACH);
    EXPECT_EQ(bound, Code::unsupported);
    EXPECT_EQ(path, tree.path("bound/inner"));
}

TEST(OperationFSTest, ALargeFilesDigestDependsOnItsBytesAloneAndCatchesAChangeInAnySegment) {
    // Large files are hashed in segments on two threads: the digest must not
    // depend on whether the caller knew the size nor on where the hashing
    // began, and a change in the last, partial segment must show as much as
    // one in the first.
    test::TempTree tree;
    const std::string path = tree.path("large.bin");
    const std::int64_t size = (std::int64_t{70} << 20) + 12345;
    {
        std::string block(1 << 20, '\0');
        for (std::size_t i = 0; i < block.size(); ++i)
            block[i] = static_cast<char>((i * 131) >> 7);
        std::ofstream out(path, std::ios::binary);
        for (std::int64_t written = 0; written < size; written += std::int64_t(block.size()))
            out.write(block.data(), std::min<std::int64_t>(std::int64_t(block.size()), size - written));
    }
    const Cancellation cancel;
    using Order = OperationFS::HashOrder;
    const auto digestOf = [&](std::int64_t known, Order order = Order::fromStart) {
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        EXPECT_GE(fd, 0);
        std::string result = OperationFS::digest(fd, cancel, known, order);
        ::close(fd);
        return result;
    };
    const std::string whole = digestOf(-1);
    EXPECT_EQ(whole.size(), 64u);
    EXPECT_EQ(digestOf(size), whole);
    EXPECT_EQ(digestOf(size, Order::fromEnd), whole);
    for (const std::int64_t at : {std::int64_t{5}, size - 3}) {
        const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
        ASSERT_GE(fd, 0);
        char byte = 0;
        ASSERT_EQ(::pread(fd, &byte, 1, at), 1);
        const char changed = static_cast<char>(byte ^ 1);
        ASSERT_EQ(::pwrite(fd, &changed, 1, at), 1);
        ::close(fd);
        EXPECT_NE(digestOf(size), whole) << "a byte changed at " << at;
        EXPECT_EQ(digestOf(size, Order::fromEnd), digestOf(size)) << "a byte changed at " << at;
        const int back = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
        ASSERT_EQ(::pwrite(back, &byte, 1, at), 1);
        ::close(back);
    }
    EXPECT_EQ(digestOf(-1), whole);
}
