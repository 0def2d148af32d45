// Operation tasks end to end through the service (admission, preparation
// manifests, copy, verification, journal writes, publish), side by side with
// the manual pipelines they replace, median of three runs each:
//   1 GiB file copy   vs  cp --reflink=never + sync + openssl dgst -sha256 of both sides
//   10,000 x 4 KiB    vs  cp -a + sync  (and the same with both sides hashed)
//   tree move to another volume  vs  mv + sync
//   a same-volume rename task's latency
// followed by where the time goes: one hashing pass, one journal write.
#include "engine/OperationFS.h"
#include "engine/OperationJournal.h"
#include "engine/OperationService.h"

#include <QCoreApplication>
#include <QEventLoop>

#include <fcntl.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <random>
#include <utility>
#include <vector>

using namespace dromel;
using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

namespace {

const fs::path kRoot = fs::temp_directory_path() / "dromel-bench-operations";
constexpr int kRuns = 3;
constexpr int kTreeFiles = 10'000;

double elapsed(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

void shell(const std::string &command) {
    if (std::system(command.c_str()) != 0)
        std::fprintf(stderr, "failed: %s\n", command.c_str());
}

double cpuSeconds(int who) {
    rusage usage{};
    ::getrusage(who, &usage);
    const auto seconds = [](const timeval &time) {
        return double(time.tv_sec) + double(time.tv_usec) * 1e-6;
    };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// Processor time of the last timed run: this process's threads for a task,
// the finished child processes for a shell pipeline. Unlike the wall clock it
// barely depends on what else the machine is doing.
double lastCpu = 0;

double timed(const std::function<void()> &work) {
    shell("sync"); // nobody's earlier writes are charged to this run
    const double self = cpuSeconds(RUSAGE_SELF);
    const double children = cpuSeconds(RUSAGE_CHILDREN);
    const auto start = Clock::now();
    work();
    const double took = elapsed(start);
    lastCpu = (cpuSeconds(RUSAGE_SELF) - self) + (cpuSeconds(RUSAGE_CHILDREN) - children);
    return took;
}

// Runs `work` timed and files its wall and processor seconds under `key`.
std::map<std::string, std::vector<double>> seconds;
std::map<std::string, std::vector<double>> cpu;

void measure(const std::string &key, const std::function<void()> &work) {
    seconds[key].push_back(timed(work));
    cpu[key].push_back(lastCpu);
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

fs::path fresh(const fs::path &parent, const std::string &name) {
    static int counter = 0;
    const fs::path folder = parent / (name + "-" + std::to_string(counter++));
    fs::create_directories(folder);
    return folder;
}

fs::path bigFile() {
    const fs::path file = kRoot / "big.bin";
    if (!fs::exists(file) || fs::file_size(file) != (1ull << 30)) {
        std::ofstream out(file, std::ios::binary);
        std::mt19937_64 random(7);
        std::vector<std::uint64_t> block(1 << 17);
        for (int i = 0; i < 1024; ++i) {
            for (auto &word : block)
                word = random();
            out.write(reinterpret_cast<const char *>(block.data()),
                      static_cast<std::streamsize>(block.size() * 8));
        }
    }
    return file;
}

void writeTree(const fs::path &root) {
    std::mt19937 random(11);
    std::string content(4096, '\0');
    for (int folder = 0; folder < 100; ++folder) {
        const fs::path dir = root / ("folder " + std::to_string(folder));
        fs::create_directories(dir);
        for (int i = 0; i < kTreeFiles / 100; ++i) {
            for (char &c : content)
                c = static_cast<char>(random());
            std::ofstream(dir / ("file " + std::to_string(i) + ".bin"), std::ios::binary) << content;
        }
    }
}

fs::path smallTree() {
    const fs::path root = kRoot / "tree";
    if (!fs::exists(kRoot / "tree.complete")) {
        fs::remove_all(root);
        writeTree(root);
        std::ofstream(kRoot / "tree.complete") << "x";
    }
    return root;
}

class Runner {
public:
    Runner() : m_service((kRoot / "journal/operations.sqlite").string()) {
        QEventLoop loop;
        m_service.start([&] { loop.quit(); });
        loop.exec();
        if (!m_service.ready())
            std::fprintf(stderr, "the journal did not load\n");
    }

    // Submits and waits for the final phase; returns it. The time between
    // journalled steps is added to `steps` under "previous -> label".
    OperationPhase run(FileOperationRequest request) {
        QEventLoop loop;
        auto last = std::make_shared<std::pair<std::string, Clock::time_point>>("submit", Clock::now());
        m_service.setCheckpointForTesting([this, last](const std::string &label) {
            const auto now = Clock::now();
            std::lock_guard lock(m_stepsMutex);
            m_steps[last->first + " -> " + label] +=
                std::chrono::duration<double>(now - last->second).count();
            *last = {label, now};
        });
        OperationPhase phase = OperationPhase::failed;
        m_service.onCompletion = [&](const FileOperationTask &task) {
            phase = task.phase;
            loop.quit();
        };
        m_service.submit(std::move(request), [&](std::optional<Uuid> id) {
            if (!id)
                loop.quit();
        });
        loop.exec();
        m_steps[last->first + " -> final"] += elapsed(last->second);
        if (phase != OperationPhase::completed)
            std::fprintf(stderr, "task ended %d\n", static_cast<int>(phase));
        return phase;
    }

    // Seconds between journalled steps, summed since the last call.
    std::map<std::string, double> takeSteps() {
        std::lock_guard lock(m_stepsMutex);
        return std::exchange(m_steps, {});
    }

private:
    OperationService m_service;
    std::mutex m_stepsMutex;
    std::map<std::string, double> m_steps;
};

FileOperationRequest request(FileOperationKind kind, std::vector<std::string> sources,
                             std::optional<std::string> destination, std::optional<std::string> name = {}) {
    return FileOperationRequest(kind, std::move(sources), std::move(destination), std::move(name), false, {},
                                std::nullopt);
}

// A second volume on a disk: an ext4 image on a loop device, else a tmpfs.
struct OtherVolume {
    fs::path path = kRoot / "other";
    std::string kind;
    OtherVolume() {
        fs::create_directories(path);
        const fs::path image = kRoot / "other.img";
        shell("umount -q '" + path.string() + "' 2>/dev/null; truncate -s 2G '" + image.string() +
              "' && mkfs.ext4 -q -F '" + image.string() + "'");
        if (std::system(
                ("mount -o loop '" + image.string() + "' '" + path.string() + "' 2>/dev/null").c_str()) == 0)
            kind = "ext4 on a loop device";
        else if (::mount("tmpfs", path.c_str(), "tmpfs", 0, "size=2g") == 0)
            kind = "tmpfs";
    }
    ~OtherVolume() {
        if (!kind.empty())
            ::umount2(path.c_str(), MNT_DETACH);
        fs::remove(kRoot / "other.img");
    }
};

void row(const char *what, const std::string &oursKey, const std::string &baselineKey,
         const char *baselineName) {
    if (seconds[oursKey].empty() || seconds[baselineKey].empty())
        return;
    const double ours = median(seconds[oursKey]);
    const double baseline = median(seconds[baselineKey]);
    std::printf("%-34s %8.2f s   %-52s %8.2f s   ratio %.2f", what, ours, baselineName, baseline,
                ours / baseline);
    std::printf("   (processor time %.2f s vs %.2f s, ratio %.2f)\n", median(cpu[oursKey]),
                median(cpu[baselineKey]), median(cpu[oursKey]) / median(cpu[baselineKey]));
    std::printf("    runs:");
    for (std::size_t i = 0; i < seconds[oursKey].size() && i < seconds[baselineKey].size(); ++i)
        std::printf(" %.2f/%.2f", seconds[oursKey][i], seconds[baselineKey][i]);
    std::printf("\n");
}

} // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    fs::create_directories(kRoot);
    ::setenv("XDG_DATA_HOME", (kRoot / "data").c_str(), 1); // moved sources go to a trash of our own
    const fs::path out = kRoot / "out";
    fs::remove_all(out);
    fs::create_directories(out);
    const std::string big = bigFile().string();
    const std::string tree = smallTree().string();
    Runner runner;

    // Optional argument: only "big", "tree", "move" or "rename"; "tree-task"
    // and "big-task" run one task alone, for strace or perf.
    const std::string only = argc > 1 ? argv[1] : "";
    if (only == "tree-task" || only == "big-task") {
        const double took = timed([&] {
            runner.run(request(FileOperationKind::copy, {only == "big-task" ? big : tree},
                               fresh(out, "task").string()));
        });
        std::printf("one task alone: %.2f s\n", took);
        for (const auto &[step, total] : runner.takeSteps())
            std::printf("  %-44s %8.2f\n", step.c_str(), total);
        fs::remove_all(out);
        return 0;
    }
    const auto wanted = [&only](const char *part) { return only.empty() || only == part; };
    std::map<std::string, std::map<std::string, double>> steps;
    // Who goes first alternates from round to round: neither side always
    // meets the caches the other one left.
    const auto inTurn = [](int run, std::vector<std::function<void()>> sides) {
        std::rotate(sides.begin(), sides.begin() + run % static_cast<int>(sides.size()), sides.end());
        for (const auto &side : sides)
            side();
    };
    for (int run = 0; run < kRuns && wanted("big"); ++run) {
        inTurn(run, {[&] {
                         measure("big manual", [&] {
                             const fs::path target = fresh(out, "cp") / "big.bin";
                             shell("cp --reflink=never '" + big + "' '" + target.string() +
                                   "' && sync && openssl dgst -sha256 '" + big + "' '" + target.string() +
                                   "' > /dev/null");
                         });
                     },
                     [&] {
                         measure("big task", [&] {
                             runner.run(request(FileOperationKind::copy, {big}, fresh(out, "task").string()));
                         });
                     }});
        fs::remove_all(out);
        fs::create_directories(out);
    }
    steps["1 GiB copy task"] = runner.takeSteps();
    for (int run = 0; run < kRuns && wanted("tree"); ++run) {
        inTurn(run,
               {[&] {
                    measure("tree cp", [&] {
                        shell("cp -a '" + tree + "' '" + (fresh(out, "cp") / "tree").string() + "' && sync");
                    });
                },
                [&] {
                    measure("tree cp hashed", [&] {
                        const fs::path target = fresh(out, "cph") / "tree";
                        shell("cp -a '" + tree + "' '" + target.string() + "' && sync && find '" + tree +
                              "' '" + target.string() +
                              "' -type f -print0 | xargs -0 openssl dgst -sha256 > /dev/null");
                    });
                },
                [&] {
                    measure("tree task", [&] {
                        runner.run(request(FileOperationKind::copy, {tree}, fresh(out, "task").string()));
                    });
                }});
    }
    steps["tree copy task"] = runner.takeSteps();
    if (wanted("move")) {
        OtherVolume other;
        if (!other.kind.empty()) {
            for (int run = 0; run < kRuns; ++run) {
                const fs::path mine = fresh(out, "move-src") / "tree";
                const fs::path theirs = fresh(out, "mv-src") / "tree";
                shell("cp -a '" + tree + "' '" + mine.string() + "' && cp -a '" + tree + "' '" +
                      theirs.string() + "'");
                measure("move mv", [&] {
                    shell("mv '" + theirs.string() + "' '" + fresh(other.path, "mv").string() + "/' && sync");
                });
                measure("move task", [&] {
                    runner.run(request(FileOperationKind::move, {mine.string()},
                                       fresh(other.path, "task").string()));
                });
            }
            std::printf("second volume: %s\n", other.kind.c_str());
        }
    }
    steps["tree move task"] = runner.takeSteps();
    if (wanted("rename")) {
        const fs::path folder = fresh(out, "rename");
        std::ofstream(folder / "name 0") << "x";
        std::vector<double> latencies;
        for (int i = 0; i < 21; ++i) {
            const std::string from = (folder / ("name " + std::to_string(i))).string();
            const auto start = Clock::now();
            runner.run(
                request(FileOperationKind::rename, {from}, std::nullopt, "name " + std::to_string(i + 1)));
            latencies.push_back(elapsed(start));
        }
        seconds["rename"] = {median(latencies)};
    }
    // Where the time goes.
    OperationCancellation never;
    const double hashPass = timed([&] { OperationFS::manifest(big, never, true); });
    const OperationJournal journal((kRoot / "journal/operations.sqlite").string());
    FileOperationTask sample(request(FileOperationKind::copy, {big}, out.string()));
    std::vector<double> saves;
    for (int i = 0; i < 21; ++i) {
        const auto start = Clock::now();
        journal.save(sample);
        saves.push_back(elapsed(start));
    }
    const double treeHash = timed([&] { OperationFS::manifest(tree, never, true); });

    std::printf("\nmedian of %d runs, side by side\n", kRuns);
    row("copy task, 1 GiB file", "big task", "big manual",
        "cp --reflink=never + sync + sha256 of both sides");
    row("copy task, 10,000 x 4 KiB", "tree task", "tree cp", "cp -a + sync");
    row("copy task, 10,000 x 4 KiB", "tree task", "tree cp hashed", "cp -a + sync + sha256 of both sides");
    row("move task to another volume", "move task", "move mv", "mv + sync");
    if (!seconds["rename"].empty())
        std::printf("rename task latency (submit to completion, median of 21): %.1f ms\n",
                    seconds["rename"][0] * 1e3);
    std::printf("one hashing pass (manifest) of the 1 GiB file: %.2f s (%.2f GB/s)\n", hashPass,
                1.073741824 / hashPass);
    std::printf("one hashing pass (manifest) of the 10,000-file tree: %.2f s\n", treeHash);
    std::printf("one journal write: %.1f ms (median of 21)\n", median(saves) * 1e3);
    for (const auto &[task, between] : steps) {
        if (between.empty())
            continue;
        std::printf("\n%s, seconds between journalled steps (sum of %d runs):\n", task.c_str(), kRuns);
        for (const auto &[step, total] : between)
            std::printf("  %-44s %8.2f\n", step.c_str(), total);
    }
    std::fflush(stdout);
    fs::remove_all(out);
    fs::remove_all(kRoot / "data");
    return 0;
}
