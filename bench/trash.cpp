// The Trash beside the folders it stands among: listing 10,000 trashed items
// (every trash merged, each record read) beside listing a folder of 10,000
// files, and restoring a folder of 10,000 files (prepared, journalled,
// verified by stamps, its record removed) beside `mv` renaming it back.
// Ratios are medians of three runs, printed at the end.
#include "core/FileOperationRequest.h"
#include "directory/LocalDirectoryReader.h"
#include "engine/OperationExecutor.h"
#include "engine/OperationTrash.h"
#include "trash/TrashReader.h"

#include <QCoreApplication>
#include <QEventLoop>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

using namespace dromel;
namespace fs = std::filesystem;

namespace {

constexpr int kItems = 10'000;
using Clock = std::chrono::steady_clock;

const std::string &root() {
    static const std::string path = [] {
        const std::string made =
            fs::temp_directory_path().string() + "/dromel-bench-trash-" + std::to_string(::getpid());
        fs::create_directories(made + "/folder");
        fs::create_directories(made + "/data/Trash/files");
        fs::create_directories(made + "/data/Trash/info");
        ::setenv("XDG_DATA_HOME", (made + "/data").c_str(), 1);
        for (int i = 0; i < kItems; ++i) {
            const std::string name = "item " + std::to_string(i) + ".txt";
            std::ofstream(made + "/folder/" + name).put('x');
            std::ofstream(made + "/data/Trash/files/" + name).put('x');
            std::ofstream(made + "/data/Trash/info/" + name + ".trashinfo")
                << "[Trash Info]\nPath=" << made << "/gone/item%20" << i
                << ".txt\nDeletionDate=2026-12-01T10:00:00\n";
        }
        fs::create_directories(made + "/tree");
        for (int i = 0; i < kItems; ++i)
            std::ofstream(made + "/tree/file " + std::to_string(i)).put('x');
        return made;
    }();
    return path;
}

struct Listing {
    double firstSeconds = -1; // the first snapshot holding rows
    double completeSeconds = -1;
};

Listing listingTimes(DirectoryReading &reader, const std::string &folder) {
    QEventLoop loop;
    Listing times;
    std::size_t count = 0;
    const auto start = Clock::now();
    const auto since = [&] { return std::chrono::duration<double>(Clock::now() - start).count(); };
    auto read = reader.snapshots(
        folder, false,
        [&](const DirectorySnapshot &snapshot) {
            if (times.firstSeconds < 0 && !snapshot.entries.empty())
                times.firstSeconds = since();
            count = snapshot.entries.size();
            if (snapshot.isComplete)
                times.completeSeconds = since();
        },
        [&](std::error_code) { loop.quit(); });
    loop.exec();
    if (count < kItems)
        times.completeSeconds = -1;
    return times;
}

std::vector<double> folderTimes, trashTimes, coldTimes, folderFirstTimes, trashFirstTimes, restoreTimes,
    mvTimes;

void BM_FolderListing(benchmark::State &state) {
    LocalDirectoryReader reader;
    for (auto _ : state) {
        const Listing times = listingTimes(reader, root() + "/folder");
        state.SetIterationTime(times.completeSeconds);
        folderTimes.push_back(times.completeSeconds);
        folderFirstTimes.push_back(times.firstSeconds);
    }
}

// A reader's first listing: every record opened and read.
void BM_TrashListingCold(benchmark::State &state) {
    LocalDirectoryReader inner;
    for (auto _ : state) {
        TrashReader reader(inner);
        const Listing times = listingTimes(reader, reader.location());
        state.SetIterationTime(times.completeSeconds);
        coldTimes.push_back(times.completeSeconds);
    }
}

// The Trash view as the window opens it: the reader has listed every trash
// once at start (for the sidebar's icon and Empty Trash), so only the
// records it has not read are opened.
void BM_TrashListing(benchmark::State &state) {
    LocalDirectoryReader inner;
    TrashReader reader(inner);
    listingTimes(reader, reader.location());
    for (auto _ : state) {
        const Listing times = listingTimes(reader, reader.location());
        state.SetIterationTime(times.completeSeconds);
        trashTimes.push_back(times.completeSeconds);
        trashFirstTimes.push_back(times.firstSeconds);
    }
}

void BM_RestoreFolder(benchmark::State &state) {
    OperationExecutor executor{OperationJournal(root() + "/journal.sqlite")};
    OperationCancellation cancel;
    for (auto _ : state) {
        const std::string item = OperationTrash::trashItem(root() + "/tree");
        const auto start = Clock::now();
        const FileOperationRequest request(FileOperationKind::restore, {item}, std::nullopt, std::nullopt,
                                           false, {}, std::nullopt);
        const FileOperationResult result =
            executor.perform(executor.prepare(request, item, cancel), request, ConflictChoice::keepBoth,
                             FileOperationTask(request), cancel, nullptr);
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        if (result.outcome != ItemOutcome::succeeded)
            state.SkipWithError("restore failed");
        state.SetIterationTime(seconds);
        restoreTimes.push_back(seconds);
    }
}

void BM_MvFolder(benchmark::State &state) {
    const std::string there = root() + "/data/Trash/files/tree-mv";
    for (auto _ : state) {
        if (std::system(("mv '" + root() + "/tree' '" + there + "'").c_str()) != 0)
            state.SkipWithError("mv failed");
        const auto start = Clock::now();
        const int status = std::system(("mv '" + there + "' '" + root() + "/tree'").c_str());
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        if (status != 0)
            state.SkipWithError("mv failed");
        state.SetIterationTime(seconds);
        mvTimes.push_back(seconds);
    }
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

} // namespace

BENCHMARK(BM_FolderListing)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);
BENCHMARK(BM_TrashListingCold)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);
BENCHMARK(BM_TrashListing)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);
BENCHMARK(BM_RestoreFolder)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);
BENCHMARK(BM_MvFolder)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);

int main(int argc, char **argv) {
    QCoreApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    root();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::printf("Trash of %d items / folder of %d files, complete listing, median of three: %.2f "
                "(%.1f ms / %.1f ms)\n",
                kItems, kItems, median(trashTimes) / median(folderTimes), median(trashTimes) * 1e3,
                median(folderTimes) * 1e3);
    std::printf("the same, a reader's first listing: %.2f (%.1f ms)\n",
                median(coldTimes) / median(folderTimes), median(coldTimes) * 1e3);
    std::printf("first rows, median of three: Trash %.1f ms, folder %.1f ms\n", median(trashFirstTimes) * 1e3,
                median(folderFirstTimes) * 1e3);
    std::printf("restore of a %d-file folder / mv, median of three: %.2f (%.1f ms / %.1f ms)\n", kItems,
                median(restoreTimes) / median(mvTimes), median(restoreTimes) * 1e3, median(mvTimes) * 1e3);
    fs::remove_all(root());
    return 0;
}
