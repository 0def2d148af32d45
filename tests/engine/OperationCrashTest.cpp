// The promise that nothing the user owns is lost, tested by ending the
// program for real: a child process runs one operation through a service and
// ends itself right after a chosen step's journal write (or is killed at a
// random moment); the parent then starts a fresh service on the same journal
// and checks what is on disk against what was there before.
#include "core/ConflictChoice.h"
#include "core/Location.h"
#include "engine/OperationService.h"
#include "engine/OperationTestSupport.h"
#include "engine/OperationTrash.h"
#include "support/ScopedEnv.h"
#include "support/TempTree.h"
#include "support/WaitUntil.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <random>
#include <set>
#include <thread>

extern char **environ;

using namespace dromel;
using test::existsAt;
using test::requestOf;
using test::waitUntil;
using Kind = FileOperationKind;
using namespace std::chrono_literals;

namespace {

constexpr int kCrashed = 77;
constexpr const char *kRequestVariable = "DROMEL_CRASH_REQUEST";

// Starts this test program again, running only the child test below, with
// the scenario in its environment.
pid_t spawnChild(const std::string &journal, const FileOperationRequest &request, const std::string &label,
                 ConflictChoice choice, const std::string &patch = {}) {
    std::vector<std::string> variables;
    for (char **entry = environ; *entry; ++entry)
        if (!std::string_view(*entry).starts_with("DROMEL_CRASH_"))
            variables.emplace_back(*entry);
    variables.push_back(std::string(kRequestVariable) + "=" + request.toJson().dump());
    variables.push_back("DROMEL_CRASH_JOURNAL=" + journal);
    variables.push_back("DROMEL_CRASH_LABEL=" + label);
    variables.push_back("DROMEL_CRASH_CHOICE=" + std::string(rawValue(choice)));
    variables.push_back("DROMEL_CRASH_PATCH=" + patch);
    std::vector<char *> envp;
    for (std::string &variable : variables)
        envp.push_back(variable.data());
    envp.push_back(nullptr);
    std::string program = "/proc/self/exe";
    std::string filter = "--gtest_filter=CrashChild.RunsTheOperationOfItsParent";
    std::vector<char *> argv{program.data(), filter.data(), nullptr};
    const pid_t child = ::fork();
    if (child == 0) {
        const int quiet = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
        if (quiet >= 0)
            ::dup2(quiet, STDOUT_FILENO); // its test report would only repeat the parent's
        ::execve(program.c_str(), argv.data(), envp.data());
        ::_exit(127);
    }
    return child;
}

int waitForExit(pid_t child) {
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    if (WIFEXITED(status))
        return WEXITSTATUS(status);
    return WIFSIGNALED(status) ? -WTERMSIG(status) : -1;
}

// One scenario: a folder tree, a request, the conflict answer.
class CrashFixture {
public:
    CrashFixture() {
        tree.makeFolder("src");
        tree.makeFolder("dst");
    }

    bool mountOther() {
        tree.makeFolder("other");
        tmpfs = std::make_unique<test::ScopedTmpfs>(tree.path("other"), 64 << 20);
        return tmpfs->mounted();
    }

    bool mountOverlay() {
        overlay = std::make_unique<test::OverlayMount>(tree.root());
        return overlay->mounted();
    }

    // The folders the user can see, where leftovers must be named.
    std::vector<std::string> userFolders() const {
        std::vector<std::string> folders{tree.path("src"), tree.path("dst")};
        if (tmpfs)
            folders.push_back(tree.path("other"));
        if (overlay && overlay->mounted())
            folders.push_back(tree.path("merged"));
        return folders;
    }

    std::vector<std::string> searched() const {
        std::vector<std::string> roots = userFolders();
        roots.push_back(tree.path("data/Trash/files"));
        if (tmpfs)
            roots.push_back(tree.path("other/.Trash-0/files"));
        return roots;
    }

    // Every regular file the user has, in the trash too, with its digest.
    // The files of an item being deleted are kept apart: they may go, but
    // only all together.
    void snapshot(const std::optional<std::string> &deleted) {
        for (const auto &[digest, path] : test::digestsUnder(searched()))
            before[path] = digest;
        if (deleted)
            for (const auto &[digest, path] : test::digestsUnder({*deleted})) {
                before.erase(path);
                doomed.insert(digest);
            }
    }

    test::TempTree tree;
    test::ScopedEnv dataHome{"XDG_DATA_HOME", tree.path("data")};
    std::unique_ptr<test::ScopedTmpfs> tmpfs;
    std::unique_ptr<test::OverlayMount> overlay;
    std::map<std::string, std::string> before; // path -> SHA-256
    std::set<std::string> doomed;              // digests of what is being deleted
};

// No byte lost: every file the user had is somewhere, by content; nothing
// overwritten and no half-written file under a user's name.
void expectNothingLost(const CrashFixture &fixture) {
    const std::multimap<std::string, std::string> now = test::digestsUnder(fixture.searched());
    std::set<std::string> known = fixture.doomed;
    for (const auto &[path, digest] : fixture.before) {
        EXPECT_TRUE(now.count(digest)) << "lost: " << path;
        known.insert(digest);
    }
    for (const auto &[digest, path] : now) {
        if (path.find("/.dromel-") != std::string::npos || path.find("/Trash/") != std::string::npos ||
            path.find("/.Trash-") != std::string::npos)
            continue;
        EXPECT_TRUE(known.count(digest)) << "unknown content at " << path;
    }
}

// What a fresh service finds after the crash, checked against the promise.
void checkAfterCrash(CrashFixture &fixture, const FileOperationRequest &request, const std::string &where,
                     bool mustBeJournalled) {
    SCOPED_TRACE(where);
    OperationService service(fixture.tree.path("state/operations.sqlite"));
    bool started = false;
    service.start([&] { started = true; });
    ASSERT_TRUE(waitUntil([&] { return started; }));
    ASSERT_TRUE(service.ready());
    const FileOperationTask *task = service.task(request.id());
    if (mustBeJournalled) {
        ASSERT_TRUE(task) << "the task is in the journal";
    }
    std::set<std::string> named;
    if (task) {
        EXPECT_TRUE(isTerminal(task->phase));
        if (mustBeJournalled) {
            EXPECT_EQ(task->phase, OperationPhase::needsReview);
        }
        named.insert(task->recoveryPaths.begin(), task->recoveryPaths.end());
        for (const FileOperationResult &result : task->results)
            named.insert(result.recoveryPaths.begin(), result.recoveryPaths.end());
        EXPECT_FALSE(service.busy()) << "nothing runs by itself";
    }
    // Every hidden item the operation left is named for review.
    for (const std::string &folder : fixture.userFolders())
        for (const std::string &leftover : test::hiddenItemsIn(folder))
            EXPECT_TRUE(named.count(leftover)) << "unnamed leftover " << leftover;
    const auto nothingLost = [&] { expectNothingLost(fixture); };
    nothingLost();
    // The review's clean-up takes the stages and what a deletion set aside,
    // and only them.
    std::vector<std::string> places = fixture.userFolders();
    places.push_back(fixture.tree.path("data/Trash"));
    const bool setAside = std::any_of(places.begin(), places.end(), [](const std::string &folder) {
        const std::vector<std::string> hidden = test::hiddenItemsIn(folder);
        return std::any_of(hidden.begin(), hidden.end(), [](const std::string &path) {
            return Location::lastComponent(path).starts_with(".dromel-delete-");
        });
    });
    if (mustBeJournalled && task && request.kind() == Kind::deletePermanently) {
        EXPECT_EQ(service.canCleanUp(request.id()), setAside);
    }
    if (task && service.canCleanUp(request.id())) {
        std::optional<std::optional<std::size_t>> cleaned;
        service.cleanUp(request.id(), [&](std::optional<std::size_t> count) { cleaned = count; });
        ASSERT_TRUE(waitUntil([&] { return cleaned.has_value(); }));
        EXPECT_TRUE(cleaned->has_value());
        EXPECT_FALSE(service.canCleanUp(request.id()));
        for (const std::string &folder : places)
            for (const std::string &leftover : test::hiddenItemsIn(folder))
                EXPECT_FALSE(Location::lastComponent(leftover).starts_with(".dromel-copy-") ||
                             Location::lastComponent(leftover).starts_with(".dromel-delete-"))
                    << "left after the clean-up: " << leftover;
        nothingLost();
    }
    // Whatever the trash holds can be put back: its record exists. (A
    // deletion or a restore moves the item out first: cut off right then, it
    // leaves a record whose item is gone, never an item without its record.)
    const std::string trash = fixture.tree.path("data/Trash");
    for (const std::string &name : test::namesIn(trash + "/files"))
        EXPECT_TRUE(existsAt(trash + "/info/" + name + ".trashinfo")) << name;
    if (request.kind() != Kind::deletePermanently)
        return;
    // A deletion leaves nothing half-deleted where the user looks: the item's
    // files are all there (in its folder or the trash) or none is. Cut off
    // while the hidden tree aside is removed, what is left of it is named in
    // the journal.
    std::size_t kept = 0;
    std::multimap<std::string, std::string> visible;
    for (const auto &[digest, path] :
         test::digestsUnder({fixture.tree.path("src"), fixture.tree.path("dst"), trash + "/files"}))
        visible.emplace(digest, path);
    for (const std::string &digest : fixture.doomed)
        kept += visible.count(digest) > 0;
    EXPECT_TRUE(kept == 0 || kept == fixture.doomed.size()) << kept << " of " << fixture.doomed.size();
    for (const std::string &aside : test::hiddenItemsIn(trash))
        EXPECT_TRUE(named.count(aside)) << "unnamed leftover " << aside;
}

struct Scenario {
    std::string route;
    std::vector<std::string> labels;
    enum class Volume { same, other, overlay } volume = Volume::same;
    ConflictChoice choice = ConflictChoice::keepBoth;
    std::function<FileOperationRequest(CrashFixture &)> setup;
    // Run by the executor alone, with the prepared item made to look as a
    // case-insensitive volume gives it (see the child).
    std::string patch;
};

std::vector<Scenario> scenarios() {
    using V = Scenario::Volume;
    using Setup = std::function<FileOperationRequest(CrashFixture &)>;
    const std::vector<std::string> copy{"before-copy", "after-copy", "before-publish", "after-publish"};
    std::vector<std::string> move = copy;
    move.insert(move.end(), {"before-source-trash", "after-source-trash"});
    const auto album = [](CrashFixture &f) {
        f.tree.makeFolder("src/album \xFF/inner");
        f.tree.writeSizedFile("src/album \xFF/one", 300000, 3);
        f.tree.writeFile("src/album \xFF/two", "two");
        f.tree.writeFile("src/album \xFF/inner/three", "three");
        f.tree.makeSymlink("src/album \xFF/link", "one");
        return f.tree.path("src/album \xFF");
    };
    std::vector<Scenario> all;
    const auto add = [&](std::string route, std::vector<std::string> labels, Setup setup, V volume = V::same,
                         ConflictChoice choice = ConflictChoice::keepBoth, std::string patch = {}) {
        all.push_back(
            {std::move(route), std::move(labels), volume, choice, std::move(setup), std::move(patch)});
    };
    add("create", {"before-create", "after-create"}, [](CrashFixture &f) {
        return requestOf(Kind::createDirectory, {}, f.tree.path("dst"), "new folder");
    });
    add("trash", {"before-trash", "after-trash"}, [](CrashFixture &f) {
        return requestOf(Kind::trash, {f.tree.writeFile("src/old \xFE", "old")}, std::nullopt);
    });
    const auto trashed = [album](CrashFixture &f) {
        const std::string item = OperationTrash::trashItem(album(f));
        test::TempTree::removeAll(f.tree.path("src")); // its folder is made again
        return item;
    };
    add("restore", {"before-restore", "after-restore", "after-record"},
        [trashed](CrashFixture &f) { return requestOf(Kind::restore, {trashed(f)}, std::nullopt); });
    add(
        "restore replacing",
        {"before-restore", "before-backup", "after-backup", "after-restore", "after-record"},
        [](CrashFixture &f) {
            const std::string item =
                OperationTrash::trashItem(f.tree.writeFile("src/report", "trashed report"));
            f.tree.writeFile("src/report", "current report");
            return requestOf(Kind::restore, {item}, std::nullopt);
        },
        V::same, ConflictChoice::replace);
    add("delete from the trash", {"before-delete", "after-stage", "after-record", "after-delete"},
        [trashed](CrashFixture &f) {
            return requestOf(Kind::deletePermanently, {trashed(f)}, std::nullopt);
        });
    add("delete outside the trash", {"before-delete", "after-stage", "after-delete"},
        [album](CrashFixture &f) { return requestOf(Kind::deletePermanently, {album(f)}, std::nullopt); });
    add("make link", {"before-link", "after-link"}, [](CrashFixture &f) {
        return requestOf(Kind::makeLink, {f.tree.writeFile("src/target", "t")}, f.tree.path("dst"),
                         "Link to target");
    });
    add("permissions of a tree", {"before-permissions", "after-permissions"}, [album](CrashFixture &f) {
        FileOperationRequest request = requestOf(Kind::changePermissions, {album(f)}, std::nullopt);
        request.setPermissions(PermissionChange{0077, 0, true, {}});
        return request;
    });
    add("same-volume move", {"before-move", "after-move"},
        [album](CrashFixture &f) { return requestOf(Kind::move, {album(f)}, f.tree.path("dst")); });
    add("same-volume rename", {"before-move", "after-move"}, [](CrashFixture &f) {
        return requestOf(Kind::rename, {f.tree.writeFile("src/a", "a")}, std::nullopt, "b");
    });
    add("copy of a file, keep both", copy, [](CrashFixture &f) {
        f.tree.writeFile("dst/notes.txt", "theirs");
        return requestOf(Kind::copy, {f.tree.writeSizedFile("src/notes.txt", 2 << 20, 5)},
                         f.tree.path("dst"));
    });
    add("copy of a tree", copy,
        [album](CrashFixture &f) { return requestOf(Kind::copy, {album(f)}, f.tree.path("dst")); });
    add(
        "replace",
        {"before-copy", "after-copy", "before-backup", "after-backup", "before-publish", "after-publish",
         "after-backup-trash"},
        [](CrashFixture &f) {
            f.tree.writeFile("dst/report", "the old report");
            return requestOf(Kind::copy, {f.tree.writeFile("src/report", "the new report")},
                             f.tree.path("dst"));
        },
        V::same, ConflictChoice::replace);
    add(
        "move across volumes", move,
        [album](CrashFixture &f) { return requestOf(Kind::move, {album(f)}, f.tree.path("other")); },
        V::other);
    add(
        "move onto an overlay volume", move,
        [](CrashFixture &f) {
            return requestOf(Kind::move, {f.tree.writeFile("src/data", "data")}, f.tree.path("merged"),
                             std::nullopt, true);
        },
        V::overlay);
    add(
        "case-only rename through a hidden name", {"before-move", "before-case-rename", "after-move"},
        [](CrashFixture &f) {
            return requestOf(Kind::rename, {f.tree.writeFile("src/readme", "text")}, std::nullopt, "README");
        },
        V::same, ConflictChoice::keepBoth, "case-atomic");
    add(
        "case-only rename by copying",
        {"before-case-copy", "verify-case-stage", "before-case-trash", "after-case-trash",
         "verify-case-target", "after-case-publish", "after-case-cleanup"},
        [album](CrashFixture &f) { return requestOf(Kind::rename, {album(f)}, std::nullopt, "ALBUM"); },
        V::same, ConflictChoice::keepBoth, "case-copy");
    return all;
}

bool prepareVolume(CrashFixture &fixture, Scenario::Volume volume) {
    if (volume == Scenario::Volume::other)
        return test::canMountTmpfs() && fixture.mountOther();
    if (volume == Scenario::Volume::overlay)
        return test::canMountTmpfs() && fixture.mountOverlay();
    return true;
}

} // namespace

// Runs in the child process only (started by the tests below).
TEST(CrashChild, RunsTheOperationOfItsParent) {
    const char *requestText = std::getenv(kRequestVariable);
    if (!requestText)
        GTEST_SKIP() << "started by the crash tests in a child process";
    const FileOperationRequest request = FileOperationRequest::fromJson(Json::parse(requestText));
    const std::string label = std::getenv("DROMEL_CRASH_LABEL");
    const ConflictChoice choice = *conflictChoiceFromRawValue(std::getenv("DROMEL_CRASH_CHOICE"));
    const std::string patch = std::getenv("DROMEL_CRASH_PATCH");
    if (!patch.empty()) {
        // These volumes tell "readme" from "README"; the item is given what a
        // case-insensitive volume would give: the target is the source itself.
        OperationExecutor executor{OperationJournal(std::getenv("DROMEL_CRASH_JOURNAL")),
                                   [label](const std::string &step) {
                                       if (step == label)
                                           ::_exit(kCrashed);
                                   }};
        executor.journal.save(FileOperationTask(request)); // admitted
        OperationCancellation cancel;
        PreparedOperation prepared = executor.prepare(request, request.sources().front(), cancel);
        prepared.existing = prepared.records.front().stamp;
        prepared.caseRename = true;
        prepared.atomic = patch == "case-atomic";
        executor.perform(prepared, request, choice, FileOperationTask(request), cancel, nullptr);
        ::_exit(0);
    }
    OperationService service(std::getenv("DROMEL_CRASH_JOURNAL"));
    service.setCheckpointForTesting([label](const std::string &step) {
        if (step == label)
            ::_exit(kCrashed); // right after this step's journal write
    });
    service.resolveConflict = [choice](const FileConflict &, OperationService::Answer answer) {
        answer(choice);
    };
    service.approveLimitedMetadata = [](const std::string &, OperationService::Consent answer) {
        answer(true);
    };
    bool finished = false;
    service.onCompletion = [&](const FileOperationTask &) { finished = true; };
    bool started = false;
    service.start([&] { started = true; });
    ASSERT_TRUE(waitUntil([&] { return started; }));
    service.submit(request);
    waitUntil([&] { return finished; }, 60s);
    std::fflush(nullptr);
    ::_exit(0); // the step was never reached
}

TEST(OperationCrashTest, EveryStepOfEveryRouteSurvivesTheProgramEndingRightAfterIt) {
    int skippedRoutes = 0;
    int crashPoints = 0;
    for (const Scenario &scenario : scenarios()) {
        for (const std::string &label : scenario.labels) {
            CrashFixture fixture;
            if (!prepareVolume(fixture, scenario.volume)) {
                ++skippedRoutes;
                break;
            }
            const FileOperationRequest request = scenario.setup(fixture);
            fixture.snapshot(request.kind() == Kind::deletePermanently
                                 ? std::optional(request.sources().front())
                                 : std::nullopt);
            const pid_t child = spawnChild(fixture.tree.path("state/operations.sqlite"), request, label,
                                           scenario.choice, scenario.patch);
            ASSERT_GT(child, 0);
            const int status = waitForExit(child);
            const std::string where = scenario.route + " at " + label;
            ASSERT_EQ(status, kCrashed) << where << ": the step was not reached";
            checkAfterCrash(fixture, request, where, true);
            ++crashPoints;
            if (::testing::Test::HasFailure())
                return;
        }
    }
    std::printf("crash points %d, routes skipped (no mount) %d\n", crashPoints, skippedRoutes);
}

TEST(OperationCrashTest, KilledAtRandomMomentsDuringLargeCopiesAndMovesNothingIsLost) {
    if (!test::canMountTmpfs())
        GTEST_SKIP() << "a second volume (tmpfs) is needed for the move across volumes";
    std::mt19937 random(std::random_device{}());
    constexpr int kRuns = 6;
    for (int run = 0; run < 2 * kRuns; ++run) {
        const bool move = run % 2 == 1;
        CrashFixture fixture;
        ASSERT_TRUE(fixture.mountOther());
        fixture.tree.makeFolder("src/set");
        for (int i = 0; i < 24; ++i)
            fixture.tree.writeSizedFile("src/set/file" + std::to_string(i), 256 << 10, i + 1);
        fixture.tree.writeSizedFile("src/set/large", 12 << 20, 99);
        const FileOperationRequest request =
            move ? requestOf(Kind::move, {fixture.tree.path("src/set")}, fixture.tree.path("other"))
                 : requestOf(Kind::copy, {fixture.tree.path("src/set")}, fixture.tree.path("dst"));
        fixture.snapshot(std::nullopt);
        const pid_t child =
            spawnChild(fixture.tree.path("state/operations.sqlite"), request, "", ConflictChoice::skip);
        ASSERT_GT(child, 0);
        std::this_thread::sleep_for(
            std::chrono::milliseconds(std::uniform_int_distribution(100, 2500)(random)));
        ::kill(child, SIGKILL);
        const int status = waitForExit(child);
        checkAfterCrash(fixture, request,
                        (move ? "move killed, run " : "copy killed, run ") + std::to_string(run), false);
        if (status == 0)
            std::printf("run %d finished before the kill\n", run);
        if (::testing::Test::HasFailure())
            return;
    }
}

// A restore and a permanent deletion of a folder of 400 files, killed at
// random moments: the folder is whole in the trash with its record, or whole
// back in place; a deletion leaves all of its files or none.
TEST(OperationCrashTest, KilledAtRandomMomentsDuringRestoresAndDeletionsNothingIsLostOrHalfDeleted) {
    std::mt19937 random(std::random_device{}());
    constexpr int kRuns = 4;
    for (int run = 0; run < 2 * kRuns; ++run) {
        const bool deleting = run % 2 == 1;
        CrashFixture fixture;
        fixture.tree.makeFolder("src/set");
        for (int i = 0; i < 400; ++i)
            fixture.tree.writeSizedFile("src/set/file" + std::to_string(i), 4 << 10, i + 1);
        const std::string item = OperationTrash::trashItem(fixture.tree.path("src/set"));
        const FileOperationRequest request =
            requestOf(deleting ? Kind::deletePermanently : Kind::restore, {item}, std::nullopt);
        fixture.snapshot(deleting ? std::optional(item) : std::nullopt);
        const pid_t child =
            spawnChild(fixture.tree.path("state/operations.sqlite"), request, "", ConflictChoice::skip);
        ASSERT_GT(child, 0);
        std::this_thread::sleep_for(
            std::chrono::milliseconds(std::uniform_int_distribution(20, 800)(random)));
        ::kill(child, SIGKILL);
        const int status = waitForExit(child);
        checkAfterCrash(fixture, request,
                        (deleting ? "deletion killed, run " : "restore killed, run ") + std::to_string(run),
                        false);
        if (status == 0)
            std::printf("run %d finished before the kill\n", run);
        if (::testing::Test::HasFailure())
            return;
    }
}

TEST(OperationCrashTest, CleanUpRemovesOnlyTheStagesThatAreStillTheTasksOwn) {
    for (const bool swapped : {false, true}) {
        SCOPED_TRACE(swapped ? "stage swapped for another item" : "stage as the task left it");
        CrashFixture fixture;
        const FileOperationRequest request = requestOf(
            Kind::copy, {fixture.tree.writeSizedFile("src/notes", 1 << 20, 3)}, fixture.tree.path("dst"));
        const pid_t child = spawnChild(fixture.tree.path("state/operations.sqlite"), request,
                                       "before-publish", ConflictChoice::keepBoth);
        ASSERT_GT(child, 0);
        ASSERT_EQ(waitForExit(child), kCrashed);
        const std::vector<std::string> stages = test::hiddenItemsIn(fixture.tree.path("dst"));
        ASSERT_EQ(stages.size(), 1u);
        if (swapped) {
            // Made while the stage exists, so it cannot get the stage's inode.
            const std::string other = fixture.tree.writeFile("dst/other", "another program's");
            test::TempTree::removeAll(stages.front());
            ASSERT_EQ(::rename(other.c_str(), stages.front().c_str()), 0);
        }

        OperationService service(fixture.tree.path("state/operations.sqlite"));
        bool started = false;
        service.start([&] { started = true; });
        ASSERT_TRUE(waitUntil([&] { return started; }));
        const FileOperationTask *task = service.task(request.id());
        ASSERT_TRUE(task);
        EXPECT_EQ(task->phase, OperationPhase::needsReview);
        ASSERT_EQ(task->stages.size(), 1u) << "the review lists the stage";
        EXPECT_EQ(task->stages.front().path, stages.front());
        ASSERT_TRUE(service.canCleanUp(request.id()));
        std::optional<std::optional<std::size_t>> cleaned;
        service.cleanUp(request.id(), [&](std::optional<std::size_t> count) { cleaned = count; });
        ASSERT_TRUE(waitUntil([&] { return cleaned.has_value(); }));
        EXPECT_EQ(*cleaned, std::optional<std::size_t>(swapped ? 0 : 1));
        EXPECT_EQ(existsAt(stages.front()), swapped);
        if (swapped) {
            EXPECT_EQ(fixture.tree.readFile("dst/" + Location::lastComponent(stages.front())),
                      "another program's");
        }
        EXPECT_TRUE(service.task(request.id())->stages.empty());
        EXPECT_EQ(OperationJournal(fixture.tree.path("state/operations.sqlite")).load().front().stages.size(),
                  0u)
            << "written back";
    }
}

// The same routes and steps in one running program that does not end: the
// item is cancelled, or fails, right after each step. Whatever hidden item
// it leaves must be listed for review; its own unpublished stage is gone.
TEST(OperationCrashTest, CancelledOrFailedAtEveryStepLeavesNoStageUnlessListed) {
    int runs = 0;
    for (const Scenario &scenario : scenarios()) {
        if (!scenario.patch.empty())
            continue; // needs the executor alone, as the crash child does
        for (const std::string &label : scenario.labels) {
            for (const bool cancelling : {true, false}) {
                const std::string where =
                    scenario.route + (cancelling ? " cancelled at " : " failed at ") + label;
                SCOPED_TRACE(where);
                CrashFixture fixture;
                if (!prepareVolume(fixture, scenario.volume))
                    break;
                const FileOperationRequest request = scenario.setup(fixture);
                fixture.snapshot(request.kind() == Kind::deletePermanently
                                     ? std::optional(request.sources().front())
                                     : std::nullopt);
                OperationService service(fixture.tree.path("state/operations.sqlite"));
                service.setCheckpointForTesting([&](const std::string &step) {
                    if (step != label)
                        return;
                    if (cancelling)
                        throw OperationCancelled();
                    throw OperationProblem(OperationProblem::Code::system, step, "injected");
                });
                service.resolveConflict = [&](const FileConflict &, OperationService::Answer answer) {
                    answer(scenario.choice);
                };
                service.approveLimitedMetadata = [](const std::string &, OperationService::Consent answer) {
                    answer(true);
                };
                bool started = false;
                service.start([&] { started = true; });
                ASSERT_TRUE(waitUntil([&] { return started; }));
                service.submit(request);
                ASSERT_TRUE(waitUntil(
                    [&] {
                        const FileOperationTask *task = service.task(request.id());
                        return task && isTerminal(task->phase) && !service.busy();
                    },
                    60s));
                const FileOperationTask &task = *service.task(request.id());
                std::set<std::string> listed(task.recoveryPaths.begin(), task.recoveryPaths.end());
                for (const FileOperationResult &result : task.results)
                    listed.insert(result.recoveryPaths.begin(), result.recoveryPaths.end());
                for (const std::string &folder : fixture.userFolders())
                    for (const std::string &hidden : test::hiddenItemsIn(folder)) {
                        EXPECT_TRUE(listed.count(hidden)) << "unlisted leftover " << hidden;
                        EXPECT_FALSE(Location::lastComponent(hidden).starts_with(".dromel-copy-"))
                            << "its own stage was left: " << hidden;
                    }
                expectNothingLost(fixture);
                ++runs;
                if (::testing::Test::HasFailure())
                    return;
            }
        }
    }
    std::printf("cancelled or failed runs %d\n", runs);
}
