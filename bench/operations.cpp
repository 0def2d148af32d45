// Operation tasks end to end through the service (admission, preparation
// manifests, copy, verification, journal writes, publish), side by side with
// the peers' copies and the manual pipelines they replace, interleaved (who
// goes first turns round), median of five runs each, processor time beside
// wall time, the load average printed before and after:
//   1 GiB file copy   vs  gio copy, cp --reflink=never, rsync, kioclient5 copy
//                         (each + sync), and cp + sync + sha256 of both sides
//   10,000 x 4 KiB    vs  cp -a, rsync -a, kioclient5 copy, GIO item by item
//                         (each + sync), and cp -a + sync + sha256 of both sides
//   tree move to another volume  vs  mv + sync
//   a same-volume rename task's latency
// followed by where the time goes: the engine's own count of bytes hashed
// and copied per task and between journalled steps (passes over the data),
// one hashing pass, one journal write. kioclient5 is used where it is
// installed (scripts/install-peers) and runs without a display.
// GIO first: its headers use the word "signals", which Qt defines as a macro.
#include <gio/gio.h>

#include "engine/DataPasses.h"
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
constexpr int kRuns = 5;
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

// Runs `work` timed and files its wall and processor seconds, and the bytes
// the engine hashed and copied meanwhile, under `key`.
std::map<std::string, std::vector<double>> seconds;
std::map<std::string, std::vector<double>> cpu;
std::map<std::string, std::vector<DataPasses::Totals>> passes;

void measure(const std::string &key, const std::function<void()> &work) {
    const DataPasses::Totals before = DataPasses::totals();
    seconds[key].push_back(timed(work));
    cpu[key].push_back(lastCpu);
    passes[key].push_back(DataPasses::totals() - before);
}

std::string loadAverage() {
    std::ifstream file("/proc/loadavg");
    std::string one, five, fifteen;
    file >> one >> five >> fifteen;
    return one + " " + five + " " + fifteen;
}

bool runsHeadless(const char *tool) {
    return std::system(("command -v " + std::string(tool) + " > /dev/null 2>&1").c_str()) == 0;
}

// KIO's client as Dolphin copies, without a display or questions.
std::string kioCopy(const std::string &from, const std::string &to) {
    return "QT_QPA_PLATFORM=offscreen QT_LOGGING_RULES='*.debug=false' kioclient5 --noninteractive copy "
           "'file://" +
           from + "' 'file://" + to + "' > /dev/null 2>&1";
}

// GLib 2.74's `gio copy` copies single files only; Nautilus copies a tree
// with GIO one item at a time, as this does: g_file_copy for each file and
// link (all metadata, links not followed), folders made first and given
// their metadata after their contents.
bool gioTreeCopy(GFile *from, GFile *to) {
    g_autoptr(GError) error = nullptr;
    g_autoptr(GFileInfo) info = g_file_query_info(from, G_FILE_ATTRIBUTE_STANDARD_TYPE,
                                                  G_FILE_QUERY_INFO_NOFOLLOW_SYMLINKS, nullptr, &error);
    if (!info)
        return false;
    const auto flags = static_cast<GFileCopyFlags>(G_FILE_COPY_NOFOLLOW_SYMLINKS | G_FILE_COPY_ALL_METADATA);
    if (g_file_info_get_file_type(info) != G_FILE_TYPE_DIRECTORY)
        return g_file_copy(from, to, flags, nullptr, nullptr, nullptr, &error);
    if (!g_file_make_directory(to, nullptr, &error))
        return false;
    g_autoptr(GFileEnumerator) children = g_file_enumerate_children(
        from, G_FILE_ATTRIBUTE_STANDARD_NAME, G_FILE_QUERY_INFO_NOFOLLOW_SYMLINKS, nullptr, &error);
    if (!children)
        return false;
    bool ok = true;
    while (g_autoptr(GFileInfo) child = g_file_enumerator_next_file(children, nullptr, nullptr)) {
        g_autoptr(GFile) childFrom = g_file_get_child(from, g_file_info_get_name(child));
        g_autoptr(GFile) childTo = g_file_get_child(to, g_file_info_get_name(child));
        ok = gioTreeCopy(childFrom, childTo) && ok;
    }
    return g_file_copy_attributes(from, to, flags, nullptr, &error) && ok;
}

void gioTreeCopy(const std::string &from, const std::string &to) {
    g_autoptr(GFile) source = g_file_new_for_path(from.c_str());
    g_autoptr(GFile) target = g_file_new_for_path(to.c_str());
    if (!gioTreeCopy(source, target))
        std::fprintf(stderr, "failed: GIO tree copy of %s\n", from.c_str());
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

    struct Step {
        double seconds = 0;
        DataPasses::Totals bytes;
    };
    struct Mark {
        std::string label;
        Clock::time_point at;
        DataPasses::Totals bytes;
    };

    // Submits and waits for the final phase; returns it. The time and the
    // bytes hashed and copied between journalled steps are added to `steps`
    // under "previous -> label".
    OperationPhase run(FileOperationRequest request) {
        QEventLoop loop;
        auto last = std::make_shared<Mark>(Mark{"submit", Clock::now(), DataPasses::totals()});
        m_service.setCheckpointForTesting([this, last](const std::string &label) {
            const Mark now{label, Clock::now(), DataPasses::totals()};
            std::lock_guard lock(m_stepsMutex);
            Step &step = m_steps[last->label + " -> " + label];
            step.seconds += std::chrono::duration<double>(now.at - last->at).count();
            step.bytes = step.bytes + (now.bytes - last->bytes);
            *last = now;
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
        Step &step = m_steps[last->label + " -> final"];
        step.seconds += elapsed(last->at);
        step.bytes = step.bytes + (DataPasses::totals() - last->bytes);
        if (phase != OperationPhase::completed)
            std::fprintf(stderr, "task ended %d\n", static_cast<int>(phase));
        return phase;
    }

    // Steps summed since the last call.
    std::map<std::string, Step> takeSteps() {
        std::lock_guard lock(m_stepsMutex);
        return std::exchange(m_steps, {});
    }

private:
    OperationService m_service;
    std::mutex m_stepsMutex;
    std::map<std::string, Step> m_steps;
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
            std::printf("  %-44s %8.2f s  hashed %.3f GiB  copied %.3f GiB\n", step.c_str(), total.seconds,
                        total.bytes.hashed / double(1 << 30), total.bytes.copied / double(1 << 30));
        fs::remove_all(out);
        return 0;
    }
    const auto wanted = [&only](const char *part) { return only.empty() || only == part; };
    std::map<std::string, std::map<std::string, Runner::Step>> steps;
    const std::string loadBefore = loadAverage();
    const bool gio = runsHeadless("gio");
    const bool rsync = runsHeadless("rsync");
    const bool kio = runsHeadless("kioclient5");
    // Who goes first alternates from round to round: neither side always
    // meets the caches the other one left.
    const auto inTurn = [](int run, std::vector<std::function<void()>> sides) {
        std::rotate(sides.begin(), sides.begin() + run % static_cast<int>(sides.size()), sides.end());
        for (const auto &side : sides)
            side();
    };
    for (int run = 0; run < kRuns && wanted("big"); ++run) {
        std::vector<std::function<void()>> sides{
            [&] {
                measure("big manual", [&] {
                    const fs::path target = fresh(out, "cph") / "big.bin";
                    shell("cp --reflink=never '" + big + "' '" + target.string() +
                          "' && sync && openssl dgst -sha256 '" + big + "' '" + target.string() +
                          "' > /dev/null");
                });
            },
            [&] {
                measure("big cp", [&] {
                    shell("cp --reflink=never '" + big + "' '" + (fresh(out, "cp") / "big.bin").string() +
                          "' && sync");
                });
            },
            [&] {
                measure("big task", [&] {
                    runner.run(request(FileOperationKind::copy, {big}, fresh(out, "task").string()));
                });
            }};
        if (gio)
            sides.push_back([&] {
                measure("big gio", [&] {
                    shell("gio copy '" + big + "' '" + (fresh(out, "gio") / "big.bin").string() +
                          "' && sync");
                });
            });
        if (rsync)
            sides.push_back([&] {
                measure("big rsync", [&] {
                    shell("rsync '" + big + "' '" + (fresh(out, "rsync") / "big.bin").string() + "' && sync");
                });
            });
        if (kio)
            sides.push_back([&] {
                measure("big kio",
                        [&] { shell(kioCopy(big, (fresh(out, "kio") / "big.bin").string()) + " ; sync"); });
            });
        inTurn(run, sides);
        fs::remove_all(out);
        fs::create_directories(out);
    }
    steps["1 GiB copy task"] = runner.takeSteps();
    for (int run = 0; run < kRuns && wanted("tree"); ++run) {
        std::vector<std::function<void()>> sides{
            [&] {
                measure("tree cp", [&] {
                    shell("cp -a '" + tree + "' '" + (fresh(out, "cp") / "tree").string() + "' && sync");
                });
            },
            [&] {
                measure("tree cp hashed", [&] {
                    const fs::path target = fresh(out, "cph") / "tree";
                    shell("cp -a '" + tree + "' '" + target.string() + "' && sync && find '" + tree + "' '" +
                          target.string() + "' -type f -print0 | xargs -0 openssl dgst -sha256 > /dev/null");
                });
            },
            [&] {
                measure("tree task", [&] {
                    runner.run(request(FileOperationKind::copy, {tree}, fresh(out, "task").string()));
                });
            }};
        sides.push_back([&] {
            measure("tree gio", [&] {
                gioTreeCopy(tree, (fresh(out, "gio") / "tree").string());
                shell("sync");
            });
        });
        if (rsync)
            sides.push_back([&] {
                measure("tree rsync", [&] {
                    shell("rsync -a '" + tree + "' '" + fresh(out, "rsync").string() + "/' && sync");
                });
            });
        if (kio)
            sides.push_back([&] {
                measure("tree kio",
                        [&] { shell(kioCopy(tree, (fresh(out, "kio") / "tree").string()) + " ; sync"); });
            });
        inTurn(run, sides);
        fs::remove_all(out);
        fs::create_directories(out);
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

    std::printf("\nmedian of %d runs, side by side, interleaved; load average %s before, %s after\n", kRuns,
                loadBefore.c_str(), loadAverage().c_str());
    row("copy task, 1 GiB file", "big task", "big gio", "gio copy + sync");
    row("copy task, 1 GiB file", "big task", "big kio", "kioclient5 copy + sync");
    row("copy task, 1 GiB file", "big task", "big cp", "cp --reflink=never + sync");
    row("copy task, 1 GiB file", "big task", "big rsync", "rsync + sync");
    row("copy task, 1 GiB file", "big task", "big manual",
        "cp --reflink=never + sync + sha256 of both sides");
    row("copy task, 10,000 x 4 KiB", "tree task", "tree gio", "GIO g_file_copy per item + sync");
    row("copy task, 10,000 x 4 KiB", "tree task", "tree kio", "kioclient5 copy + sync");
    row("copy task, 10,000 x 4 KiB", "tree task", "tree cp", "cp -a + sync");
    row("copy task, 10,000 x 4 KiB", "tree task", "tree rsync", "rsync -a + sync");
    row("copy task, 10,000 x 4 KiB", "tree task", "tree cp hashed", "cp -a + sync + sha256 of both sides");
    if (!gio)
        std::printf("gio copy: not installed\n");
    std::printf("gio copy: copies single files only in this GLib; the tree is copied with GIO item by item, "
                "as Nautilus does\n");
    if (!rsync)
        std::printf("rsync: not installed\n");
    if (!kio)
        std::printf("kioclient5: not installed (scripts/install-peers), no KIO figures\n");
    // Passes over the data: the engine's bytes hashed and copied per task,
    // divided by the data the task carries.
    const auto printPasses = [](const char *what, const std::string &key, double bytes) {
        if (passes[key].empty())
            return;
        const DataPasses::Totals &last = passes[key].back();
        std::printf("%-34s passes over the data: %.2f (hashed %.2f, copied %.2f)\n", what,
                    double(last.hashed + last.copied) / bytes, double(last.hashed) / bytes,
                    double(last.copied) / bytes);
    };
    printPasses("copy task, 1 GiB file", "big task", double(1ull << 30));
    printPasses("copy task, 10,000 x 4 KiB", "tree task", double(kTreeFiles) * 4096);
    printPasses("move task to another volume", "move task", double(kTreeFiles) * 4096);
    row("move task to another volume", "move task", "move mv", "mv + sync");
    if (!seconds["rename"].empty())
        std::printf("rename task latency (submit to completion, median of 21): %.1f ms\n",
                    seconds["rename"][0] * 1e3);
    std::printf("one hashing pass (manifest) of the 1 GiB file: %.2f s (%.2f GB/s)\n", hashPass,
                1.073741824 / hashPass);
    std::printf("one hashing pass (manifest) of the 10,000-file tree: %.2f s\n", treeHash);
    std::printf("one journal write: %.1f ms (median of 21)\n", median(saves) * 1e3);
    // The steps run one after another; within one the copy and the hashing
    // of its source run at once on two cores, so a step is on the clock for
    // the larger of its two passes, and a task for the sum over its steps.
    const std::map<std::string, double> taskBytes{{"1 GiB copy task", double(1ull << 30)},
                                                  {"tree copy task", double(kTreeFiles) * 4096},
                                                  {"tree move task", double(kTreeFiles) * 4096}};
    for (const auto &[task, between] : steps) {
        if (between.empty())
            continue;
        const double data = taskBytes.at(task) * kRuns;
        std::printf("\n%s, between journalled steps (sum of %d runs): seconds, GiB hashed, GiB copied, "
                    "passes hashed and copied per task\n",
                    task.c_str(), kRuns);
        double onTheClock = 0;
        for (const auto &[step, total] : between) {
            std::printf("  %-44s %8.2f %8.3f %8.3f   %5.2f %5.2f\n", step.c_str(), total.seconds,
                        total.bytes.hashed / double(1 << 30), total.bytes.copied / double(1 << 30),
                        double(total.bytes.hashed) / data, double(total.bytes.copied) / data);
            onTheClock += double(std::max(total.bytes.hashed, total.bytes.copied)) / data;
        }
        std::printf("  passes over the data on the clock: %.2f\n", onTheClock);
    }
    std::fflush(stdout);
    fs::remove_all(out);
    fs::remove_all(kRoot / "data");
    return 0;
}
