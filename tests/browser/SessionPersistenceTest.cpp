#include "browser/SessionPersistence.h"

#include "support/TempTree.h"
#include "support/WaitUntil.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>

using namespace dromel;
using namespace std::chrono_literals;

namespace {

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

TEST(SessionPersistenceTest, ABurstIsOneWriteOfTheLastSnapshotAfterTheDelay) {
    test::TempTree tree;
    const std::string file = tree.path("state/session.json");
    SessionPersistence persistence(file);
    for (int i = 0; i < 10; ++i)
        persistence.schedule(sessionAt("/folder" + std::to_string(i)));
    test::spinFor(200ms);
    EXPECT_FALSE(inodeOf(file)) << "nothing is written before the debounce ends";
    ASSERT_TRUE(test::waitUntil([&] { return inodeOf(file).has_value(); }));
    const auto written = inodeOf(file);
    test::spinFor(500ms);
    EXPECT_EQ(inodeOf(file), written) << "exactly one write";
    EXPECT_EQ(SessionStore(file).load(), sessionAt("/folder9"));
}

TEST(SessionPersistenceTest, AnUnchangedSnapshotIsNotWrittenAgain) {
    test::TempTree tree;
    const std::string file = tree.path("session.json");
    SessionPersistence persistence(file, 50ms);
    persistence.schedule(sessionAt("/a"));
    ASSERT_TRUE(test::waitUntil([&] { return inodeOf(file).has_value(); }));
    const auto written = inodeOf(file);
    persistence.schedule(sessionAt("/a"));
    test::spinFor(300ms);
    EXPECT_EQ(inodeOf(file), written);
}

TEST(SessionPersistenceTest, AFailedWriteIsReportedAndTheSameSessionRetried) {
    test::TempTree tree;
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
}

TEST(SessionPersistenceTest, AnInvalidSessionIsReportedNotSkipped) {
    test::TempTree tree;
    const std::string file = tree.path("session.json");
    SessionPersistence persistence(file, 10ms);
    std::vector<std::string> errors;
    persistence.setOnError([&](const std::string &message) { errors.push_back(message); });
    persistence.schedule(sessionAt("relative/folder"));
    ASSERT_TRUE(test::waitUntil([&] { return !errors.empty(); })) << "a session that cannot be saved says so";
    EXPECT_FALSE(inodeOf(file));
}

TEST(SessionPersistenceTest, FlushWritesAtOnceAndCancelledWorkWritesNothing) {
    test::TempTree tree;
    const std::string file = tree.path("session.json");
    SessionPersistence persistence(file, 10s);
    bool done = false;
    persistence.flush([&] { done = true; });
    ASSERT_TRUE(test::waitUntil([&] { return done; }));
    EXPECT_FALSE(inodeOf(file)) << "nothing pending, nothing written";

    persistence.schedule(sessionAt("/a"));
    persistence.cancelPending();
    done = false;
    persistence.flush([&] { done = true; });
    ASSERT_TRUE(test::waitUntil([&] { return done; }));
    EXPECT_FALSE(inodeOf(file));

    persistence.schedule(sessionAt("/a")); // accepted again after the cancel
    done = false;
    persistence.flush([&] { done = true; });
    ASSERT_TRUE(test::waitUntil([&] { return done; }));
    EXPECT_EQ(SessionStore(file).load(), sessionAt("/a"));

    persistence.schedule(sessionAt("/b"));
    persistence.flushAndWait();
    EXPECT_EQ(SessionStore(file).load(), sessionAt("/b"));
}
