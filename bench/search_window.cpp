// A search streaming into the main window, offscreen: 100,000 results (every
// file of a made tree matches, by name and by content, so each batch of a
// content search brings its matching lines) until the last row is shown,
// with the longest single event the main thread handled meanwhile (goal
// 16 ms), in wall and in CPU time, and the number of batches shown. Each
// figure is the median of three runs; the load average is printed.
#include "browser/BrowserStore.h"
#include "shell/AppDelegate.h"
#include "support/TimingApplication.h"
#include "table/FileTable.h"
#include "table/FileTableModel.h"
#include "window/BrowserController.h"

#include <QApplication>
#include <QPaintEvent>
#include <QTimer>

#include <sys/resource.h>

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

using namespace dromel;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kFolders = 500;
constexpr int kFilesPerFolder = 200;
constexpr int kResults = kFolders * kFilesPerFolder;

// Also tells why the longest event took long: the main thread's voluntary
// context switches during it (it waited: a lock, a disk read) and the
// involuntary ones (other threads had the cores).
class TimingApplication : public bench::TimingApplication<QApplication> {
public:
    using bench::TimingApplication<QApplication>::TimingApplication;

    bool notify(QObject *receiver, QEvent *event) override {
        const QEvent::Type type = event->type();
        const char *className = receiver->metaObject()->className();
        const bool outermost = depth++ == 0;
        if (outermost)
            painted.clear();
        const auto before = bench::TimingApplication<QApplication>::longest;
        const rusage start = threadUsage();
        const auto began = Clock::now();
        const bool handled = bench::TimingApplication<QApplication>::notify(receiver, event);
        --depth;
        if (type == QEvent::Paint && measuring) {
            const QRect area = static_cast<QPaintEvent *>(event)->rect();
            char line[160];
            std::snprintf(line, sizeof line, "%s %dx%d %.1f ms; ", className, area.width(), area.height(),
                          std::chrono::duration<double, std::milli>(Clock::now() - began).count());
            painted += line;
        }
        if (measuring && longest > before) {
            longestPainted = painted;
            const rusage end = threadUsage();
            waited = end.ru_nvcsw - start.ru_nvcsw;
            preempted = end.ru_nivcsw - start.ru_nivcsw;
            faults = end.ru_majflt - start.ru_majflt;
            longestType = type;
            longestReceiver = className;
        }
        return handled;
    }

    long waited = 0;
    long preempted = 0;
    long faults = 0; // pages read from the disk
    QEvent::Type longestType = QEvent::None;
    const char *longestReceiver = "";
    // The widgets the longest event painted: each area and its time.
    std::string longestPainted;

private:
    int depth = 0;
    std::string painted;

    static rusage threadUsage() {
        rusage usage{};
        ::getrusage(RUSAGE_THREAD, &usage);
        return usage;
    }
};
TimingApplication *application = nullptr;

double milliseconds(auto duration) {
    return std::chrono::duration<double, std::milli>(duration).count();
}

std::string loadAverage() {
    std::ifstream file("/proc/loadavg");
    std::string one, five, fifteen;
    file >> one >> five >> fifteen;
    return one + " " + five + " " + fifteen;
}

// Sleeps between events as the program's own loop does: a loop that polls
// would take a core from the walkers it measures.
void runUntil(const std::function<bool()> &done) {
    const auto deadline = Clock::now() + std::chrono::minutes(3);
    QTimer tick;
    tick.start(5);
    while (!done() && Clock::now() < deadline)
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
}

// 500 folders of 200 small files, each holding a line with the query; made
// once under the temporary folder and kept (a marker says it is whole).
const std::string &resultTree() {
    static const std::string root = [] {
        const std::string folder =
            std::filesystem::temp_directory_path().string() + "/dromel-bench-search-stream";
        const std::string marker = folder + "/.complete";
        if (!std::filesystem::exists(marker)) {
            for (int f = 0; f < kFolders; ++f) {
                const std::string sub = folder + "/folder " + std::to_string(f);
                std::filesystem::create_directories(sub);
                for (int i = 0; i < kFilesPerFolder; ++i)
                    std::ofstream(sub + "/needle " + std::to_string(i) + ".txt")
                        << "first line\nthe needle in line two of file " << i << "\nlast line\n";
            }
            std::ofstream(marker).put('x');
        }
        return folder;
    }();
    return root;
}

// A private home and settings, so no run reads or writes the user's.
void sandbox() {
    const std::string root = std::filesystem::temp_directory_path().string() + "/dromel-bench-search-home";
    for (const char *folder : {"/home", "/config", "/state"})
        std::filesystem::create_directories(root + folder);
    setenv("HOME", (root + "/home").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (root + "/config").c_str(), 1);
    setenv("XDG_STATE_HOME", (root + "/state").c_str(), 1);
}

void streamSearch(benchmark::State &state, SearchMode mode) {
    sandbox();
    const std::string &tree = resultTree();
    for (auto _ : state) {
        state.PauseTiming();
        auto app = std::make_unique<AppDelegate>(std::vector<std::string>{"--isolated", "--directory", tree},
                                                 LaunchOptions::processEnvironment(), "/");
        bool ready = false;
        QObject::connect(app.get(), &AppDelegate::launched, [&ready] { ready = true; });
        app->applicationDidFinishLaunching();
        runUntil(
            [&] { return ready && !app->store()->current().loading && !app->store()->current().arranging; });
        FileTable *table = app->controller()->table();
        int shown = 0;
        auto render = app->store()->onChange;
        app->store()->onChange = [&shown, render](BrowserStore::Change change) {
            if (change == BrowserStore::Change::content)
                ++shown;
            render(change);
        };
        application->longest = {};
        application->longestCpu = {};
        application->measuring = true;
        state.ResumeTiming();

        const auto start = Clock::now();
        SearchQuery query;
        query.text = "needle";
        query.mode = mode;
        query.startFolder = tree;
        app->store()->search(query);
        runUntil([&] {
            const BrowserTab &tab = app->store()->current();
            return !tab.loading && !tab.arranging && table->fileModel().rowCount() == kResults;
        });
        application->measuring = false;
        state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
        if (table->fileModel().rowCount() != kResults)
            state.SkipWithError("not every result was shown");
        state.counters["longest_event_ms"] = milliseconds(application->longest);
        state.counters["longest_event_cpu_ms"] = milliseconds(application->longestCpu);
        state.counters["batches_shown"] = shown;
        state.counters["longest_event_waits"] = static_cast<double>(application->waited);
        state.counters["longest_event_preemptions"] = static_cast<double>(application->preempted);
        std::fprintf(stderr,
                     "longest event: %.1f ms (%.1f ms CPU), type %d to %s, %ld waits (%ld pages read), %ld "
                     "preemptions\n",
                     milliseconds(application->longest), milliseconds(application->longestCpu),
                     static_cast<int>(application->longestType), application->longestReceiver,
                     application->waited, application->faults, application->preempted);
        std::fprintf(stderr, "  painted: %s\n", application->longestPainted.c_str());
        state.PauseTiming();
        app.reset();
        state.ResumeTiming();
    }
    state.counters["goal_longest_event_ms"] = 16;
}

void BM_NameSearchStreamsIntoTheWindow(benchmark::State &state) {
    streamSearch(state, SearchMode::name);
}

void BM_ContentSearchStreamsIntoTheWindow(benchmark::State &state) {
    streamSearch(state, SearchMode::content);
}

} // namespace

BENCHMARK(BM_NameSearchStreamsIntoTheWindow)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(3);
BENCHMARK(BM_ContentSearchStreamsIntoTheWindow)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(3);

int main(int argc, char **argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    TimingApplication app(argc, argv);
    application = &app;
    QCoreApplication::setApplicationName("Dromel");
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::printf("load average: %s\n", loadAverage().c_str());
    return 0;
}
