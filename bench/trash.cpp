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

double listingSeconds(DirectoryReading &reader, const std::string &folder) {
    QEventLoop loop;
    std::size_t count = 0;
    const auto start = Clock::now();
    auto read = reader.read(folder, false, [&](std::error_code, const FileEntryList &entries) {
        count = entries.size();
        loop.quit();
    });
    loop.exec();
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    return count >= kItems ? seconds : -1;
}

std::vector<double> folderTimes, trashTimes, restoreTimes, mvTimes;

void BM_FolderListing(benchmark::State &state) {
    LocalDirectoryReader reader;
    for (auto _ : state) {
        const double seconds = listingSeconds(reader, root() + "/folder");
        state.SetIterationTime(seconds);
        folderTimes.push_back(seconds);
    }
}

void BM_TrashListing(benchmark::State &state) {
    LocalDirectoryReader inner;
    TrashReader reader(inner);
    for (auto _ : state) {
        const double seconds = listingSeconds(reader, reader.location());
        state.SetIterationTime(seconds);
        trashTimes.push_back(seconds);
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
                "(%.1f ms / %.1f ms; the Trash arrives in one complete snapshot)\n",
                kItems, kItems, median(trashTimes) / median(folderTimes), median(trashTimes) * 1e3,
                median(folderTimes) * 1e3);
    std::printf("restore of a %d-file folder / mv, median of three: %.2f (%.1f ms / %.1f ms)\n", kItems,
                median(restoreTimes) / median(mvTimes), median(restoreTimes) * 1e3, median(mvTimes) * 1e3);
    fs::remove_all(root());
    return 0;
}
