// LocalDirectoryReader over a warm 100,000-entry folder beside a bare
// getdents64 + statx loop over the same folder (the physical limit), the time
// to the first snapshot, and the resident memory per listed entry.
#include "directory/LocalDirectoryReader.h"
#include "directory/detail/FolderEnumeration.h"
#include "runtime/Cancellation.h"
#include "support/BenchFolder.h"

#include <QCoreApplication>
#include <QEventLoop>

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <malloc.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <map>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

using namespace dromel;

namespace {

using bench::kEntryCount;

const std::string &folder() {
    return bench::hundredThousandFolder();
}

FileEntryList readAll(LocalDirectoryReader &reader) {
    QEventLoop loop;
    FileEntryList result;
    auto read = reader.read(folder(), false, [&](std::error_code, const FileEntryList &entries) {
        result = entries;
        loop.quit();
    });
    loop.exec();
    return result;
}

void BM_ReaderCompleteListing(benchmark::State &state) {
    LocalDirectoryReader reader;
    for (auto _ : state) {
        const FileEntryList entries = readAll(reader);
        if (entries.size() != kEntryCount)
            state.SkipWithError("incomplete listing");
    }
}

struct LinuxDirent64 {
    ino64_t d_ino;
    off64_t d_off;
    unsigned short d_reclen;
    unsigned char d_type;
    char d_name[1]; // really as long as the record
};

// The single-threaded physical limit: every name, one statx each.
std::size_t getdentsStatx() {
    const int fd = ::open(folder().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    alignas(8) char buffer[64 * 1024];
    std::size_t count = 0;
    for (;;) {
        const long length = ::syscall(SYS_getdents64, fd, buffer, sizeof buffer);
        if (length <= 0)
            break;
        for (long offset = 0; offset < length;) {
            const auto *entry = reinterpret_cast<const LinuxDirent64 *>(buffer + offset);
            offset += entry->d_reclen;
            if (entry->d_name[0] == '.')
                continue;
            struct statx info {};
            ::statx(fd, entry->d_name, AT_SYMLINK_NOFOLLOW, STATX_BASIC_STATS | STATX_BTIME, &info);
            benchmark::DoNotOptimize(info);
            ++count;
        }
    }
    ::close(fd);
    return count;
}

void BM_GetdentsStatxBaseline(benchmark::State &state) {
    for (auto _ : state)
        if (getdentsStatx() != kEntryCount)
            state.SkipWithError("unexpected count");
}

// Milliseconds from asking to the first snapshot, and its size.
std::pair<double, std::size_t> firstSnapshot(LocalDirectoryReader &reader) {
    QEventLoop loop;
    std::size_t first = 0;
    const auto start = std::chrono::steady_clock::now();
    std::chrono::duration<double, std::milli> elapsed{};
    auto read = reader.snapshots(
        folder(), false,
        [&](const DirectorySnapshot &snapshot) {
            if (first == 0) {
                elapsed = std::chrono::steady_clock::now() - start;
                first = snapshot.entries.size();
                loop.quit();
            }
        },
        [&](std::error_code) { loop.quit(); });
    loop.exec();
    read->cancel();
    return {elapsed.count(), first};
}

void BM_ReaderFirstSnapshot(benchmark::State &state) {
    LocalDirectoryReader reader;
    for (auto _ : state) {
        const auto [milliseconds, size] = firstSnapshot(reader);
        state.SetIterationTime(milliseconds / 1e3);
        state.counters["first_batch"] = static_cast<double>(size);
    }
}

void BM_ReaderResidentBytesPerEntry(benchmark::State &state) {
    LocalDirectoryReader reader;
    readAll(reader); // warm caches and the kind table
    for (auto _ : state) {
        ::malloc_trim(0);
        const long before = bench::residentBytes();
        const FileEntryList entries = readAll(reader);
        ::malloc_trim(0);
        const long after = bench::residentBytes();
        state.counters["bytes_per_entry"] = static_cast<double>(after - before) / entries.size();
    }
}

// Processor time of the whole process (every thread), for the load-independent
// side of the comparison: on a busy machine the wall times mostly measure the
// wait for a core.
double processCpuMilliseconds() {
    timespec now{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return now.tv_sec * 1e3 + now.tv_nsec / 1e6;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

double threadCpuMilliseconds() {
    timespec now{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return now.tv_sec * 1e3 + now.tv_nsec / 1e6;
}

// Processor time of the busiest thread of one read of the folder: what the
// read takes when each of its threads has a core, whatever else the machine
// runs. Sampled every 256 items on the examining threads through the
// enumeration's test hook, so a thread's last few items may go uncounted.
double busiestReadThreadMilliseconds() {
    struct Span {
        double first = -1;
        double last = 0;
    };
    std::mutex mutex;
    std::map<std::thread::id, Span> spans;
    const auto cancellation = Cancellation::make();
    std::size_t listed = 0;
    detail::enumerateFolder(
        folder(), false, *cancellation,
        [&](const FileEntryList &entries, bool isComplete) {
            if (isComplete)
                listed = entries.size();
        },
        [&] {
            thread_local std::size_t items = 0;
            if (items++ % 256 != 0)
                return;
            const double now = threadCpuMilliseconds();
            std::lock_guard lock(mutex);
            Span &span = spans[std::this_thread::get_id()];
            if (span.first < 0)
                span.first = now;
            span.last = now;
        });
    double busiest = 0;
    for (const auto &[thread, span] : spans)
        busiest = std::max(busiest, span.last - span.first);
    return listed == static_cast<std::size_t>(kEntryCount) ? busiest : 0;
}

// The figures the reader is held to, each in one run: reader and baseline
// timed in turn over three rounds (median of the ratios), the busiest reader
// thread's processor time against the baseline's (three rounds), the first snapshot
// (median of nine) and the resident bytes per listed entry.
void printSummary() {
    LocalDirectoryReader reader;
    readAll(reader); // warm
    std::vector<double> ratios;
    std::vector<double> cpuRatios;
    for (int round = 0; round < 3; ++round) {
        FileEntryList kept; // freed outside the timed span, as the baseline keeps nothing
        double cpu = processCpuMilliseconds();
        auto start = std::chrono::steady_clock::now();
        kept = readAll(reader);
        const std::chrono::duration<double, std::milli> readerTime = std::chrono::steady_clock::now() - start;
        const double readerCpu = processCpuMilliseconds() - cpu;
        cpu = processCpuMilliseconds();
        start = std::chrono::steady_clock::now();
        getdentsStatx();
        const std::chrono::duration<double, std::milli> baselineTime =
            std::chrono::steady_clock::now() - start;
        const double baselineCpu = processCpuMilliseconds() - cpu;
        ratios.push_back(readerTime / baselineTime);
        cpuRatios.push_back(readerCpu / baselineCpu);
        std::printf("round %d: reader %.1f ms (processor %.1f ms), getdents64+statx %.1f ms (processor %.1f "
                    "ms), ratio %.2f\n",
                    round + 1, readerTime.count(), readerCpu, baselineTime.count(), baselineCpu,
                    ratios.back());
    }
    std::vector<double> busiestRatios;
    for (int round = 0; round < 3; ++round) {
        const double busiest = busiestReadThreadMilliseconds();
        const double cpu = threadCpuMilliseconds();
        getdentsStatx();
        busiestRatios.push_back(busiest / (threadCpuMilliseconds() - cpu));
    }
    std::vector<double> firstTimes;
    std::size_t firstSize = 0;
    for (int i = 0; i < 9; ++i) {
        const auto [milliseconds, size] = firstSnapshot(reader);
        firstTimes.push_back(milliseconds);
        firstSize = size;
    }
    ::malloc_trim(0);
    const long before = bench::residentBytes();
    const FileEntryList entries = readAll(reader);
    ::malloc_trim(0);
    const double bytesPerEntry = static_cast<double>(bench::residentBytes() - before) / entries.size();

    std::printf(
        "reader / getdents64+statx baseline, median of three: %.2f (processor time, all threads: %.2f)\n",
        median(ratios), median(cpuRatios));
    std::printf(
        "busiest reader thread / baseline, processor time, median of three: %.2f (the wall ratio when "
        "each reader thread has a core)\n",
        median(busiestRatios));
    std::printf("first snapshot: %.2f ms, %zu entries (median of nine)\n", median(firstTimes), firstSize);
    std::printf("resident memory per listed entry: %.0f B\n", bytesPerEntry);
}

} // namespace

BENCHMARK(BM_ReaderCompleteListing)->Unit(benchmark::kMillisecond)->MinTime(3)->UseRealTime();
BENCHMARK(BM_GetdentsStatxBaseline)->Unit(benchmark::kMillisecond)->MinTime(3);
BENCHMARK(BM_ReaderFirstSnapshot)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(20);
BENCHMARK(BM_ReaderResidentBytesPerEntry)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

int main(int argc, char **argv) {
    QCoreApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    folder();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    printSummary();
    return 0;
}
