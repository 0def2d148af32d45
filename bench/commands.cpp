// The file commands in the main window, offscreen, as a user runs them: select
// a folder of 10,000 files (100 folders of 100 files of 4 KiB), Copy, go to an
// empty folder, Paste. Measured from the paste command to the first progress shown (the
// toolbar's Operations button painted with the task's phase), to the first
// paint of the operations window showing the copy under way, and the main
// thread's longest single event while the whole copy runs (goal 16 ms; wall
// time, and the thread's own CPU time, which a loaded machine does not
// inflate), next to the copy's total time. Median of three runs.
#include "browser/BrowserStore.h"
#include "commands/FileCommandController.h"
#include "operations/OperationPanel.h"
#include "shell/AppDelegate.h"
#include "support/TimingApplication.h"
#include "window/BrowserController.h"

#include <QAction>
#include <QApplication>
#include <QMainWindow>
#include <QProgressBar>
#include <QPushButton>

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

using namespace dromel;
using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

namespace {

constexpr int kFolders = 100;
constexpr int kFilesPerFolder = 100;
constexpr std::size_t kFileSize = 4096;

// Also reports paints of widgets, after they are timed, and what the longest
// event was.
class TimingApplication : public bench::TimingApplication<QApplication> {
public:
    using bench::TimingApplication<QApplication>::TimingApplication;

    bool notify(QObject *receiver, QEvent *event) override {
        const QEvent::Type type = event->type();
        const char *name = receiver->metaObject()->className();
        const auto start = Clock::now();
        const bool handled = bench::TimingApplication<QApplication>::notify(receiver, event);
        if (measuring && Clock::now() - start >= longest) {
            longestType = type;
            longestReceiver = name;
        }
        if (type == QEvent::Paint && onPaint && receiver->isWidgetType())
            onPaint(static_cast<QWidget *>(receiver));
        return handled;
    }

    std::function<void(QWidget *)> onPaint;
    QEvent::Type longestType = QEvent::None;
    const char *longestReceiver = "";
};

TimingApplication *application = nullptr;

double milliseconds(Clock::duration duration) {
    return std::chrono::duration<double, std::milli>(duration).count();
}

// Runs the event loop until `done` holds (at most ten minutes).
bool runUntil(const std::function<bool()> &done) {
    const auto deadline = Clock::now() + std::chrono::minutes(10);
    while (!done() && Clock::now() < deadline)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    return done();
}

// A private home, state and trash, the source folder holding only the
// 10,000-file tree (made once, kept between runs) and an empty destination
// for every run.
struct Sandbox {
    fs::path root = fs::temp_directory_path() / "dromel-bench-commands";
    fs::path source = root / "source";
    fs::path destination = root / "destination";

    Sandbox() {
        for (const char *folder : {"home", "config", "state", "data"})
            fs::create_directories(root / folder);
        setenv("HOME", (root / "home").c_str(), 1);
        setenv("XDG_CONFIG_HOME", (root / "config").c_str(), 1);
        setenv("XDG_STATE_HOME", (root / "state").c_str(), 1);
        setenv("XDG_DATA_HOME", (root / "data").c_str(), 1);
        setenv("DromelFixtureLanguage", "en", 1);
        const fs::path marker = root / "source.complete";
        if (!fs::exists(marker)) {
            fs::remove_all(source);
            const std::string block(kFileSize, 'x');
            for (int folder = 0; folder < kFolders; ++folder) {
                const fs::path path = source / "tree" / ("folder " + std::to_string(folder));
                fs::create_directories(path);
                for (int file = 0; file < kFilesPerFolder; ++file)
                    std::ofstream(path / ("file " + std::to_string(file) + ".dat")) << block;
            }
            std::ofstream(marker).put('x');
        }
    }

    void freshRun() {
        fs::remove_all(destination);
        fs::create_directories(destination);
        fs::remove_all(source / ".dromel-qa"); // the fixture's journal: a new one each run
        if (std::system("sync") != 0)
            std::fprintf(stderr, "sync failed\n");
    }
};

bool loaded(const AppDelegate &app, const std::string &folder) {
    const auto &tab = app.store()->current();
    return tab.url() == folder && !tab.loading && !tab.arranging;
}

void BM_PasteTenThousandFiles(benchmark::State &state) {
    Sandbox sandbox;
    for (auto _ : state) {
        sandbox.freshRun();
        AppDelegate app({"--isolated", "--directory", sandbox.source.string()},
                        LaunchOptions::processEnvironment(), "/");
        app.applicationDidFinishLaunching();
        if (!runUntil([&] { return app.store() && loaded(app, sandbox.source.string()); })) {
            state.SkipWithError("the source folder did not load");
            return;
        }
        FileCommandController *commands = app.controller()->fileCommands();
        if (!runUntil([&] { return commands->ready(); })) {
            state.SkipWithError("the operation service did not start");
            return;
        }
        const BrowserController::Actions &actions = app.controller()->actions();
        actions.selectAll->trigger();
        actions.copy->trigger();
        app.store()->navigate(sandbox.destination.string(), BrowserStore::Navigation::visit);
        runUntil([&] { return loaded(app, sandbox.destination.string()); });
        commands->showTasks();
        runUntil([&] { return commands->panel().window()->isVisible(); });
        if (!commands->canPaste()) {
            state.SkipWithError("nothing to paste");
            return;
        }

        OperationsButton *button = commands->button();
        QWidget *progressBar = commands->panel().window()->findChild<QProgressBar *>();
        Clock::time_point feedback{}, progress{};
        application->onPaint = [&](QWidget *widget) {
            if (widget == button && feedback == Clock::time_point{} &&
                button->badge() == OperationsButton::Badge::running)
                feedback = Clock::now();
            if (widget == progressBar && progress == Clock::time_point{} && progressBar->isVisible())
                progress = Clock::now();
        };
        const auto finished = [&] {
            const auto &tasks = commands->service().tasks();
            return !tasks.empty() && isTerminal(tasks.front().phase);
        };
        application->longest = {};
        application->longestCpu = {};
        application->measuring = true;
        const auto start = Clock::now();
        actions.paste->trigger();
        const bool done = runUntil(finished);
        const auto end = Clock::now();
        application->measuring = false;
        application->onPaint = nullptr;

        if (!done || feedback == Clock::time_point{} || progress == Clock::time_point{}) {
            state.SkipWithError("the copy did not finish or showed no progress");
            return;
        }
        const auto &task = commands->service().tasks().front();
        if (task.phase != OperationPhase::completed || task.results.size() != 1 ||
            !fs::exists(sandbox.destination / "tree" / ("folder " + std::to_string(kFolders - 1)))) {
            state.SkipWithError("the copy did not complete");
            return;
        }
        state.SetIterationTime(std::chrono::duration<double>(feedback - start).count());
        state.counters["first_progress_ms"] = milliseconds(feedback - start);
        state.counters["panel_progress_ms"] = milliseconds(progress - start);
        state.counters["longest_stall_ms"] = milliseconds(application->longest);
        state.counters["longest_stall_cpu_ms"] = milliseconds(application->longestCpu);
        std::fprintf(stderr, "longest event: %.1f ms, type %d to a %s\n", milliseconds(application->longest),
                     int(application->longestType), application->longestReceiver);
        state.counters["copy_s"] = std::chrono::duration<double>(end - start).count();
        state.counters["goal_stall_ms"] = 16;
    }
}

} // namespace

BENCHMARK(BM_PasteTenThousandFiles)
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
    return 0;
}
