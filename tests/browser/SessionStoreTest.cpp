#include "browser/SessionStore.h"
#include "browser/SessionPersistence.h"
#include "browser/detail/SessionFile.h"

#include "support/Checks.h"
#include "support/Listing.h"
#include "support/ScopedEnv.h"
#include "support/TempTree.h"
#include "support/WaitUntil.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <filesystem>
#include <stdexcept>
#include <sys/file.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

using namespace dromel;
using namespace std::chrono_literals;
using test::TempTree;

namespace {

BrowserSession twoTabs(const std::string &filter = "report") {
    TabSession first({"/home/user", "/home/user/docs"}, 1, filter, FileSort{SortColumn::size, false},
                     {"/home/user/docs/a.txt", "/home/user/docs/b.txt"}, 240.5);
    return BrowserSession({first, TabSession({"/tmp"}, 0, "", FileSort{}, {}, 0)}, 1);
}

BrowserSession sessionAt(const std::string &folder) {
    return BrowserSession({TabSession({folder}, 0, "", FileSort{}, {}, 0)}, 0);
}

// Every save renames a fresh file into place, so a new inode means a new write.
std::optional<ino_t> inodeOf(const std::string &path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0)
        return std::nullopt;
    return info.st_ino;
}

} // namespace

TEST(SessionStore, SavesUnderTheStateHomeWithOwnerOnlyModesWhateverTheUmask) {
    TempTree tree;
    test::ScopedEnv home("HOME", tree.root());
    {
        test::ScopedEnv state("XDG_STATE_HOME", "relative");
        EXPECT_EQ(SessionStore::defaultPath(), tree.path(".local/state/Dromel/session.json"));
    }
    test::ScopedEnv state("XDG_STATE_HOME", tree.path("state"));
    const mode_t previousMask = ::umask(0);
    SessionStore store(SessionStore::defaultPath());
    EXPECT_EQ(store.path(), tree.path("state/Dromel/session.json"));
    EXPECT_EQ(store.load(), std::nullopt);
    store.save(twoTabs());
    ::umask(previousMask);
    EXPECT_EQ(store.load(), twoTabs());
    EXPECT_EQ(tree.readFile("state/Dromel/session.json"), twoTabs().encoded());
    EXPECT_EQ(test::modeOf(tree.path("state")), 0700u);
    EXPECT_EQ(test::modeOf(tree.path("state/Dromel")), 0700u);
    EXPECT_EQ(test::modeOf(store.path()), 0600u);
}

TEST(SessionStore, CorruptFilesLoadAsNothingAndInvalidSessionsAreNotWritten) {
    TempTree tree;
    SessionStore store(tree.path("Dromel/session.json"));
    BrowserSession outOfRange = twoTabs();
    outOfRange.activeIndex = 2;
    BrowserSession relative = twoTabs();
    relative.tabs[1].history = {"relative/folder"};
    for (const BrowserSession &invalid : {outOfRange, relative})
        EXPECT_THROW(store.save(invalid), std::invalid_argument)
            << "a skipped save must not look like success";
    EXPECT_FALSE(inodeOf(tree.path("Dromel"))) << "nothing is created for an invalid session";

    tree.makeFolder("Dromel", 0700);
    for (const std::string content : {"{\"schemaVersion\":2,\"tabs\":[", "not json",
                                      "{\"schemaVersion\":3,\"tabs\":[],\"activeIndex\":0}"}) {
        tree.writeFile("Dromel/session.json", content, 0600);
        EXPECT_EQ(store.load(), std::nullopt) << content;
        EXPECT_EQ(tree.readFile("Dromel/session.json"), content) << "load must not touch the file";
    }
    store.save(twoTabs());
    EXPECT_EQ(store.load(), twoTabs());
}

TEST(SessionStore, FailuresThrowNameThePathAndKeepThePreviousFile) {
    TempTree tree;
    // Failures that root cannot bypass: a file where the folder should be, and
    // a folder where the file should be.
    tree.writeFile("Blocked", "a file");
    EXPECT_THROW(SessionStore(tree.path("Blocked/session.json")).save(twoTabs()), std::system_error);
    tree.makeFolder("Dromel/session.json");
    tree.writeFile("Dromel/session.json/keep", "kept");
    EXPECT_THAT(
        [&] { SessionStore(tree.path("Dromel/session.json")).save(twoTabs()); },
        testing::ThrowsMessage<std::system_error>(testing::HasSubstr(tree.path("Dromel/session.json"))));
    EXPECT_EQ(tree.readFile("Dromel/session.json/keep"), "kept");
    EXPECT_TRUE(test::namesStartingWith(tree.path("Dromel"), SessionFile::kTemporaryPrefix).empty());
}

TEST(SessionFile, RemovesDeadWritersTemporariesButNotALiveOne) {
    TempTree tree;
    const std::string prefix(SessionFile::kTemporaryPrefix);
    tree.writeFile(prefix + "DEAD", "torn");
    tree.writeFile(prefix + "LIVE", "being written");
    int live = ::open(tree.path(prefix + "LIVE").c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(live, 0);
    ASSERT_EQ(::flock(live, LOCK_EX), 0); // as a writer in another process holds it
    SessionFile::replaceAtomically(tree.path("session.json"), "s");
    EXPECT_EQ(test::namesStartingWith(tree.root(), SessionFile::kTemporaryPrefix),
              std::vector<std::string>{prefix + "LIVE"});
    ::close(live);
    SessionFile::replaceAtomically(tree.path("session.json"), "t");
    EXPECT_TRUE(test::namesStartingWith(tree.root(), SessionFile::kTemporaryPrefix).empty());
}

TEST(SessionFile, ReadsOnlyWholeRegularFilesWithinTheLimit) {
    TempTree tree;
    tree.writeFile("session.json", "abc");
    tree.makeFolder("folder");
    tree.makeFifo("fifo"); // must neither block nor be read
    EXPECT_EQ(SessionFile::readWhole(tree.path("session.json"), 3), "abc");
    for (const auto &[name, limit] :
         {std::pair{"session.json", 2}, {"missing", 100}, {"folder", 100}, {"fifo", 100}})
        EXPECT_EQ(SessionFile::readWhole(tree.path(name), limit), std::nullopt) << name;
}

TEST(SessionPersistenceTest, ABurstIsOneWriteOfTheLastSnapshotAndAnUnchangedOneIsNotWrittenAgain) {
    TempTree tree;
    const std::string file = tree.path("state/session.json");
    SessionPersistence persistence(file);
    for (int i = 0; i < 10; ++i)
        persistence.schedule(sessionAt("/folder" + std::to_string(i)));
    test::spinFor(200ms);
    EXPECT_FALSE(inodeOf(file)) << "nothing is written before the debounce ends";
    ASSERT_TRUE(test::waitUntil([&] { return inodeOf(file).has_value(); }));
    const auto written = inodeOf(file);
    persistence.schedule(sessionAt("/folder9"));
    test::spinFor(800ms);
    EXPECT_EQ(inodeOf(file), written) << "exactly one write";
    EXPECT_EQ(SessionStore(file).load(), sessionAt("/folder9"));
}

TEST(SessionPersistenceTest, FailedAndInvalidSavesAreReportedAndTheSameSessionRetried) {
    TempTree tree;
    tree.writeFile("blocker"); // a file where the session's folder should be
    const std::string file = tree.path("blocker/session.json");
    SessionPersistence persistence(file, 50ms);
    std::vector<std::string> errors;
    persistence.setOnError([&](const std::string &message) { errors.push_back(message); });
    persistence.schedule(sessionAt("/a"));
    ASSERT_TRUE(test::waitUntil([&] { return !errors.empty(); }));
    EXPECT_NE(errors[0].find("blocker"), std::string::npos) << errors[0];

    std::filesystem::remove(tree.path("blocker"));
    persistence.schedule(sessionAt("/a"));
    EXPECT_TRUE(test::waitUntil([&] { return inodeOf(file).has_value(); }));
    EXPECT_EQ(errors.size(), 1u);
    const auto written = inodeOf(file);
    persistence.schedule(sessionAt("relative/folder"));
    ASSERT_TRUE(test::waitUntil([&] { return errors.size() == 2; }))
        << "a session that cannot be saved says so";
    EXPECT_EQ(inodeOf(file), written);
}

TEST(SessionPersistenceTest, FlushWritesAtOnceAndCancelledWorkWritesNothing) {
    TempTree tree;
    const std::string file = tree.path("session.json");
    SessionPersistence persistence(file, 10s);
    bool done = false;
    persistence.flush([&] { done = true; });
    ASSERT_TRUE(test::waitUntil([&] { return done; }));
    EXPECT_FALSE(inodeOf(file)) << "nothing pending, nothing written";

    persistence.schedule(sessionAt("/a"));
    persistence.cancelPending();
    persistence.flushAndWait();
    EXPECT_FALSE(inodeOf(file)) << "cancelled work writes nothing";
    persistence.schedule(sessionAt("/b"));
    persistence.flushAndWait();
    EXPECT_EQ(SessionStore(file).load(), sessionAt("/b"));
}
