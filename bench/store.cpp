// The browser store loading a warm 100,000-entry folder from the real reader
// and orderer (first batch to complete, ordered listing) beside the reader
// alone over the same folder, and the longest single stretch the main thread
// spent on one event meanwhile: installing batches, recomputing the visible
// list, building and scheduling session snapshots.
#include "browser/BrowserStore.h"
#include "browser/SessionPersistence.h"
#include "directory/ListingOrderer.h"
#include "directory/LocalDirectoryReader.h"
#include "support/BenchFolder.h"
#include "support/TimingApplication.h"

#include <QCoreApplication>
#include <QEventLoop>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>

using namespace dromel;
using Clock = std::chrono::steady_clock;

namespace {

using TimingApplication = bench::TimingApplication<QCoreApplication>;

TimingApplication *application = nullptr;

void BM_StoreLoadsFolder(benchmark::State &state) {
    LocalDirectoryReader reader;
    ListingOrderer orderer;
    const std::string sessionFile =
        std::filesystem::temp_directory_path().string() + "/dromel-bench-session.json";
    SessionPersistence persistence(sessionFile);
    const std::string &folder = bench::hundredThousandFolder();
    for (auto _ : state) {
        BrowserStore store({"/"}, 0, reader, orderer);
        QEventLoop loop;
        store.onSessionChanged = [&](const BrowserSession &session) { persistence.schedule(session); };
        store.onChange = [&](BrowserStore::Change) {
            if (!store.current().loading)
                loop.quit();
        };
        application->measuring = true;
        const auto start = Clock::now();
        store.navigate(folder, BrowserStore::Navigation::visit);
        application->longest = std::max(application->longest, Clock::now() - start);
        loop.exec();
        application->measuring = false;
        if (store.current().visibleEntries().size() != bench::kEntryCount)
            state.SkipWithError("incomplete listing");
    }
    persistence.cancelPending();
    std::filesystem::remove(sessionFile);
}

void BM_ReaderAloneBaseline(benchmark::State &state) {
    LocalDirectoryReader reader;
    for (auto _ : state) {
        QEventLoop loop;
        std::size_t count = 0;
        auto read = reader.read(bench::hundredThousandFolder(), false,
                                [&](std::error_code, const FileEntryList &entries) {
                                    count = entries.size();
                                    loop.quit();
                                });
        loop.exec();
        if (count != bench::kEntryCount)
            state.SkipWithError("incomplete listing");
    }
}

} // namespace

BENCHMARK(BM_StoreLoadsFolder)->Unit(benchmark::kMillisecond)->MinTime(3)->UseRealTime();
BENCHMARK(BM_ReaderAloneBaseline)->Unit(benchmark::kMillisecond)->MinTime(3)->UseRealTime();

int main(int argc, char **argv) {
    TimingApplication app(argc, argv);
    application = &app;
    benchmark::Initialize(&argc, argv);
    bench::hundredThousandFolder();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::printf("longest main-thread slice: %.1f ms\n",
                std::chrono::duration<double, std::milli>(app.longest).count());
    return 0;
}
