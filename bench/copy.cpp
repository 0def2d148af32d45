// Verified copying beside the careful manual pipeline, a limited tree copy
// beside cp -a + sync (with what each durability strategy costs), and the
// latency of one journal save. Each pair runs side by side in one process;
// the ratios are printed at the end, the 1 GiB file's first.
#include "engine/OperationCopy.h"
#include "engine/OperationFS.h"
#include "engine/OperationJournal.h"

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>

using namespace dromel;
using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

namespace {

const fs::path kRoot = fs::temp_directory_path() / "dromel-bench-copy";
std::map<std::string, double> seconds; // what each benchmark measured

// ext4 scans recently freed inodes when it creates files, so a copy made
// right after deleting an earlier one pays for that deletion. Every copy goes
// to a new folder; they are all removed when the program ends.
fs::path freshOutput(const std::string &name) {
    static int counter = 0;
    return kRoot / "out" / (name + "-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
}

double elapsed(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

void shell(const std::string &command) {
    if (std::system(command.c_str()) != 0)
        std::fprintf(stderr, "failed: %s\n", command.c_str());
}

const fs::path &bigFile() {
    static const fs::path path = [] {
        const fs::path file = kRoot / "big.bin";
        if (!fs::exists(file) || fs::file_size(file) != (1ull << 30)) {
            fs::create_directories(kRoot);
            std::ofstream out(file, std::ios::binary);
            std::mt19937_64 random(42);
            std::vector<std::uint64_t> block(1 << 17);
            for (int i = 0; i < 1024; ++i) {
                for (auto &word : block)
                    word = random();
                out.write(reinterpret_cast<const char *>(block.data()), block.size() * 8);
            }
        }
        shell("cat '" + file.string() + "' > /dev/null"); // warm: both sides read from the cache
        return file;
    }();
    return path;
}

const fs::path &smallTree() {
    static const fs::path path = [] {
        const fs::path root = kRoot / "tree";
        if (!fs::exists(root / ".complete")) {
            fs::remove_all(root);
            const std::string data(4096, 'x');
            for (int d = 0; d < 100; ++d) {
                const fs::path folder = root / ("folder " + std::to_string(d));
                fs::create_directories(folder);
                for (int f = 0; f < 100; ++f)
                    std::ofstream(folder / ("file " + std::to_string(f) + ".txt")) << data;
            }
            std::ofstream(root / ".complete") << "";
        }
        return root;
    }();
    return path;
}

void BM_VerifiedCopyOf1GiB(benchmark::State &state) {
    const OperationCancellation cancel;
    for (auto _ : state) {
        fs::remove(kRoot / "ours.bin");
        const auto start = Clock::now();
        OperationCopy::file(bigFile().string(), (kRoot / "ours.bin").string(), false, cancel, {});
        seconds["file"] = elapsed(start);
        state.SetIterationTime(seconds["file"]);
    }
    fs::remove(kRoot / "ours.bin");
}

void BM_CpSyncOpensslBaseline(benchmark::State &state) {
    for (auto _ : state) {
        fs::remove(kRoot / "theirs.bin");
        const std::string source = bigFile().string();
        const std::string target = (kRoot / "theirs.bin").string();
        const auto start = Clock::now();
        shell("cp --reflink=never '" + source + "' '" + target + "' && sync && openssl dgst -sha256 '" +
              source + "' '" + target + "' > /dev/null");
        seconds["pipeline"] = elapsed(start);
        state.SetIterationTime(seconds["pipeline"]);
    }
    fs::remove(kRoot / "theirs.bin");
}

void BM_LimitedTreeOf10000Files(benchmark::State &state) {
    const OperationCancellation cancel;
    const TreeManifest records = OperationFS::manifest(smallTree().string(), cancel);
    fs::create_directories(kRoot / "out");
    for (auto _ : state) {
        const fs::path target = freshOutput("tree-ours");
        shell("sync");
        const auto start = Clock::now();
        OperationCopy::tree(smallTree().string(), target.string(), records, true, cancel, {});
        seconds["tree"] = elapsed(start);
        state.SetIterationTime(seconds["tree"]);
    }
}

void BM_CpArchiveSyncBaseline(benchmark::State &state) {
    fs::create_directories(kRoot / "out");
    for (auto _ : state) {
        const fs::path target = freshOutput("tree-theirs");
        shell("sync");
        const auto start = Clock::now();
        shell("cp -a '" + smallTree().string() + "' '" + target.string() + "' && sync");
        seconds["cp -a"] = elapsed(start);
        state.SetIterationTime(seconds["cp -a"]);
    }
}

// What durability costs for 2,000 files of 4 KiB: a flush after each file,
// against one syncfs after all of them.
void writeSmallFiles(const fs::path &folder, bool fsyncEach) {
    fs::create_directories(folder);
    const std::string data(4096, 'y');
    for (int i = 0; i < 2000; ++i) {
        const int fd =
            ::open((folder / std::to_string(i)).c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        (void)::write(fd, data.data(), data.size());
        if (fsyncEach)
            ::fsync(fd);
        ::close(fd);
    }
    if (!fsyncEach) {
        const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY);
        ::syncfs(fd);
        ::close(fd);
    }
}

// Argument 1: fsync after each file; 0: one syncfs at the end.
void BM_Durability2000(benchmark::State &state) {
    const bool fsyncEach = state.range(0) == 1;
    const char *key = fsyncEach ? "fsync each" : "syncfs once";
    for (auto _ : state) {
        shell("sync");
        const auto start = Clock::now();
        writeSmallFiles(freshOutput(fsyncEach ? "fsync-each" : "syncfs-once"), fsyncEach);
        seconds[key] = elapsed(start);
        state.SetIterationTime(seconds[key]);
    }
}

void BM_JournalSave(benchmark::State &state) {
    const OperationJournal journal((kRoot / "journal" / "operations.sqlite").string());
    FileOperationTask task(FileOperationRequest(FileOperationKind::copy, {"/home/u/a"}, "/home/u/b",
                                                std::nullopt, false, {}, std::nullopt));
    std::vector<double> latencies;
    for (auto _ : state) {
        const auto start = Clock::now();
        journal.save(task);
        latencies.push_back(elapsed(start));
        state.SetIterationTime(latencies.back());
    }
    std::sort(latencies.begin(), latencies.end());
    seconds["journal median"] = latencies[latencies.size() / 2];
    fs::remove_all(kRoot / "journal");
}

} // namespace

BENCHMARK(BM_CpSyncOpensslBaseline)->Unit(benchmark::kMillisecond)->Iterations(1)->UseManualTime();
BENCHMARK(BM_VerifiedCopyOf1GiB)->Unit(benchmark::kMillisecond)->Iterations(1)->UseManualTime();
BENCHMARK(BM_CpArchiveSyncBaseline)->Unit(benchmark::kMillisecond)->Iterations(1)->UseManualTime();
BENCHMARK(BM_LimitedTreeOf10000Files)->Unit(benchmark::kMillisecond)->Iterations(1)->UseManualTime();
BENCHMARK(BM_Durability2000)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->Iterations(1)->UseManualTime();
BENCHMARK(BM_JournalSave)->Unit(benchmark::kMillisecond)->Iterations(200)->UseManualTime();

int main(int argc, char **argv) {
    benchmark::Initialize(&argc, argv);
    bigFile();
    smallTree();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    fs::remove_all(kRoot / "out");
    const auto ratio = [](const char *what, const char *ours, const char *theirs) {
        if (seconds.count(ours) && seconds.count(theirs))
            std::printf("ratio %s: %.2f (%.0f ms vs %.0f ms)\n", what, seconds[ours] / seconds[theirs],
                        seconds[ours] * 1e3, seconds[theirs] * 1e3);
    };
    ratio("verified 1 GiB copy / cp --reflink=never + sync + openssl dgst x2", "file", "pipeline");
    ratio("limited tree of 10,000 x 4 KiB / cp -a + sync", "tree", "cp -a");
    ratio("2,000 x 4 KiB with fsync each / one syncfs", "fsync each", "syncfs once");
    if (seconds.count("fsync each"))
        std::printf("durability per 4 KiB file: fsync each %.3f ms, one syncfs %.3f ms\n",
                    seconds["fsync each"] * 1e3 / 2000, seconds["syncfs once"] * 1e3 / 2000);
    if (seconds.count("journal median"))
        std::printf("journal save median latency: %.2f ms\n", seconds["journal median"] * 1e3);
    return 0;
}
