// A writer killed with SIGKILL at random moments must leave a session file that
// is exactly one of the documents it wrote, never a torn one, and its
// temporaries must not pile up. The writer is this test binary re-executed on
// the disabled test below, which only runs when the parent asks for it.
#include "browser/SessionStore.h"
#include "browser/detail/SessionFile.h"

#include "support/Listing.h"
#include "support/ScopedEnv.h"
#include "support/TempTree.h"
#include "support/WaitUntil.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <random>
#include <set>
#include <spawn.h>
#include <string>
#include <string_view>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <utility>
#include <vector>

extern char **environ;

using dromel::test::TempTree;
namespace SessionFile = dromel::SessionFile;

namespace {

constexpr const char *kChildFileVariable = "DROMEL_SESSION_CRASH_FILE";

// A large session (50 tabs of 100 paths and 400 selected items, ~1.5 MB) so
// that a write takes milliseconds and kills land inside writes. The
// fixed-width sequence number in every filter says which document it must be;
// it is patched into a template so the writer spends its time writing.
constexpr std::string_view kSequencePlaceholder = "seq-##########";

// The encoding of a real session, so what survives must also load as one.
std::string sessionTemplate() {
    std::set<std::string> selection;
    for (int item = 0; item < 400; ++item)
        selection.insert("/home/user/projects/selected-item-" + std::to_string(item));
    std::vector<dromel::TabSession> tabs;
    for (int tab = 0; tab < 50; ++tab) {
        std::vector<std::string> history;
        for (int step = 0; step < 100; ++step)
            history.push_back("/home/user/projects/folder-" + std::to_string(tab) + "/level-" +
                              std::to_string(step));
        tabs.emplace_back(history, tab % 100, std::string(kSequencePlaceholder), dromel::FileSort{},
                          selection, 12.5);
    }
    return dromel::BrowserSession(tabs, 0).encoded();
}

std::string sessionDocument(long sequence) {
    static const std::string pattern = sessionTemplate();
    char digits[16];
    std::snprintf(digits, sizeof digits, "%010ld", sequence % 10000000000L);
    std::string document = pattern;
    for (auto at = document.find(kSequencePlaceholder); at != std::string::npos;
         at = document.find(kSequencePlaceholder, at))
        document.replace(at + 4, 10, digits);
    return document;
}

// The sequence number of a complete document, or -1 when the bytes are not
// exactly one of the documents the writer produces.
long sequenceOf(const std::string &bytes) {
    auto at = bytes.find("seq-");
    if (at == std::string::npos || at + 14 > bytes.size())
        return -1;
    long sequence = std::strtol(bytes.substr(at + 4, 10).c_str(), nullptr, 10);
    return sessionDocument(sequence) == bytes ? sequence : -1;
}

// Starts the writer (the environment names its file), its output discarded.
pid_t spawnWriter() {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    std::string self = "/proc/self/exe", filter = "--gtest_filter=SessionCrashWriter.DISABLED_WritesInALoop",
                disabled = "--gtest_also_run_disabled_tests";
    char *argv[] = {self.data(), filter.data(), disabled.data(), nullptr};
    pid_t pid = -1;
    if (posix_spawn(&pid, self.c_str(), &actions, nullptr, argv, environ) != 0)
        pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

} // namespace

TEST(SessionCrashWriter, DISABLED_WritesInALoop) {
    const char *file = std::getenv(kChildFileVariable);
    if (!file)
        GTEST_SKIP() << "only run as the crash test's child";
    // Start from a random sequence so every kill can leave a different document.
    long sequence = static_cast<long>(std::random_device{}() % 1000000) * 1000;
    for (bool announced = false;; ++sequence) {
        SessionFile::replaceAtomically(file, sessionDocument(sequence));
        if (!std::exchange(announced, true))
            std::fclose(std::fopen((std::string(file) + ".ready").c_str(), "w"));
    }
}

TEST(SessionCrash, KilledWriterLeavesAWholeSession) {
    TempTree tree;
    const std::string folder = tree.makeFolder("Dromel", 0700);
    const std::string file = folder + "/session.json";
    dromel::test::ScopedEnv childFile(kChildFileVariable, file);
    std::mt19937 random(std::random_device{}());
    std::uniform_int_distribution<int> delayMicroseconds(0, 30000);

    constexpr int kRounds = 30;
    const auto budget = std::chrono::steady_clock::now() + std::chrono::seconds(90);
    int rounds = 0;
    long previous = -1;
    for (; rounds < kRounds && std::chrono::steady_clock::now() < budget; ++rounds) {
        ::unlink((file + ".ready").c_str());
        pid_t child = spawnWriter();
        ASSERT_GT(child, 0);
        const bool started = dromel::test::waitUntil(
            [&] { return ::access((file + ".ready").c_str(), F_OK) == 0; }, std::chrono::seconds(20));
        if (started)
            std::this_thread::sleep_for(std::chrono::microseconds(delayMicroseconds(random)));
        ::kill(child, SIGKILL);
        int status = 0;
        ::waitpid(child, &status, 0);
        ASSERT_TRUE(started) << "the writer did not start";
        ASSERT_TRUE(WIFSIGNALED(status)) << "the writer ended by itself, status " << status;

        auto bytes = SessionFile::readWhole(file, 64 << 20);
        ASSERT_TRUE(bytes) << "round " << rounds << ": no session file";
        long sequence = sequenceOf(*bytes);
        ASSERT_GE(sequence, 0) << "round " << rounds << ": torn session (" << bytes->size() << " bytes)";
        auto loaded = dromel::SessionStore(file).load();
        ASSERT_TRUE(loaded && loaded->valid()) << "round " << rounds << ": not a valid session";
        EXPECT_NE(sequence, previous) << "round " << rounds << ": the writer wrote nothing";
        previous = sequence;
        // A kill can strand at most the one temporary being written; the next
        // writer removes it.
        EXPECT_LE(dromel::test::namesStartingWith(folder, SessionFile::kTemporaryPrefix).size(), 1u)
            << "round " << rounds;
    }
    EXPECT_GE(rounds, 20) << "too few rounds within the time budget";
    SessionFile::replaceAtomically(file, sessionDocument(0));
    EXPECT_EQ(dromel::test::namesStartingWith(folder, SessionFile::kTemporaryPrefix).size(), 0u);
    EXPECT_EQ(sequenceOf(*SessionFile::readWhole(file, 64 << 20)), 0);
}
