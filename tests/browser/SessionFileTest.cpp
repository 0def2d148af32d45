#include "browser/detail/SessionFile.h"

#include "support/TempTree.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>
#include <vector>

using dromel::test::TempTree;
namespace SessionFile = dromel::SessionFile;

namespace {

unsigned modeOf(const std::string &path) {
    struct stat info {};
    EXPECT_EQ(::stat(path.c_str(), &info), 0) << path;
    return info.st_mode & 07777;
}

std::vector<std::string> temporariesIn(const std::string &folder) {
    std::vector<std::string> names;
    if (DIR *dir = ::opendir(folder.c_str())) {
        while (dirent *entry = ::readdir(dir))
            if (std::string_view(entry->d_name).starts_with(SessionFile::kTemporaryPrefix))
                names.emplace_back(entry->d_name);
        ::closedir(dir);
    }
    return names;
}

// Sets the umask for a scope: the modes must not depend on the user's.
class ScopedUmask {
public:
    explicit ScopedUmask(mode_t mask) : m_previous(::umask(mask)) {}
    ~ScopedUmask() { ::umask(m_previous); }

private:
    mode_t m_previous;
};

} // namespace

TEST(SessionFile, CreatesMissingFoldersOwnerOnlyWhateverTheUmask) {
    TempTree tree;
    ScopedUmask loose(0);
    SessionFile::createFolder(tree.path("state/Dromel"));
    EXPECT_EQ(modeOf(tree.path("state")), 0700u);
    EXPECT_EQ(modeOf(tree.path("state/Dromel")), 0700u);

    // An existing folder is fine and keeps its mode.
    tree.makeFolder("shared", 0755);
    SessionFile::createFolder(tree.path("shared"));
    EXPECT_EQ(modeOf(tree.path("shared")), 0755u);
}

TEST(SessionFile, FailedReplaceKeepsTheTargetAndCleansUp) {
    TempTree tree;
    // A directory in the way: rename(2) refuses it even for root.
    tree.makeFolder("session.json");
    tree.writeFile("session.json/keep", "kept");
    try {
        SessionFile::replaceAtomically(tree.path("session.json"), "new");
        FAIL() << "expected a failure";
    } catch (const std::system_error &error) {
        EXPECT_NE(std::string(error.what()).find("session.json"), std::string::npos) << error.what();
    }
    EXPECT_EQ(tree.readFile("session.json/keep"), "kept");
    EXPECT_TRUE(temporariesIn(tree.root()).empty());

    EXPECT_THROW(SessionFile::replaceAtomically(tree.path("missing/session.json"), "x"), std::system_error);
}

TEST(SessionFile, RemovesDeadWritersTemporariesButNotALiveOne) {
    TempTree tree;
    const std::string prefix(SessionFile::kTemporaryPrefix);
    tree.writeFile(prefix + "DEAD", "torn");
    tree.writeFile(prefix + "LIVE", "being written");
    tree.writeFile("unrelated", "x");
    int live = ::open(tree.path(prefix + "LIVE").c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(live, 0);
    ASSERT_EQ(::flock(live, LOCK_EX), 0); // as a writer in another process holds it

    SessionFile::replaceAtomically(tree.path("session.json"), "s");
    EXPECT_EQ(temporariesIn(tree.root()), std::vector<std::string>{prefix + "LIVE"});
    EXPECT_EQ(tree.readFile("unrelated"), "x");

    ::close(live);
    SessionFile::replaceAtomically(tree.path("session.json"), "t");
    EXPECT_TRUE(temporariesIn(tree.root()).empty());
}

TEST(SessionFile, ReadsOnlyWholeRegularFilesWithinTheLimit) {
    TempTree tree;
    tree.writeFile("session.json", "abc");
    EXPECT_EQ(SessionFile::readWhole(tree.path("session.json"), 3), "abc");
    EXPECT_EQ(SessionFile::readWhole(tree.path("session.json"), 2), std::nullopt);
    EXPECT_EQ(SessionFile::readWhole(tree.path("missing.json"), 100), std::nullopt);
    tree.makeFolder("folder");
    EXPECT_EQ(SessionFile::readWhole(tree.path("folder"), 100), std::nullopt);
    // A FIFO must neither block nor be read.
    tree.makeFifo("fifo");
    EXPECT_EQ(SessionFile::readWhole(tree.path("fifo"), 100), std::nullopt);
}
