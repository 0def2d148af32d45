// What a tab open on a warm 100,000-entry folder costs while a file in it is
// written without pause (a download, a log), beside the same tab idle: the
// share of one core the process uses over thirty seconds, and the re-reads the
// monitor's changes caused. The writer is a child process, so its own work is
// not counted. Three rounds, idle and written in turn; medians.
#include "browser/BrowserStore.h"
#include "directory/ListingOrderer.h"
#include "directory/LocalDirectoryReader.h"
#include "support/BenchFolder.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

using namespace dromel;

namespace {

// Long enough for several re-reads of the folder under the spacing policy.
constexpr auto kWindow = std::chrono::seconds(30);

double processCpuSeconds() {
    timespec now{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// A child process appending 4 KiB to `path` every 2 ms until it is stopped.
class Writer {
public:
    explicit Writer(const std::string &path) {
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        m_pid = ::fork();
        if (m_pid == 0) {
            static const char block[4096] = {};
            const timespec pause{0, 2'000'000};
            for (;;) {
                if (::write(fd, block, sizeof block) < 0)
                    ::_exit(1);
                ::nanosleep(&pause, nullptr);
            }
        }
        ::close(fd);
    }
    ~Writer() {
        if (m_pid > 0) {
            ::kill(m_pid, SIGTERM);
            ::waitpid(m_pid, nullptr, 0);
        }
    }
    Writer(const Writer &) = delete;
    Writer &operator=(const Writer &) = delete;

private:
    pid_t m_pid = -1;
};

struct Window {
    double coreShare = 0;
    int reads = 0;
};

// Runs the event loop for the window, counting the reads the store starts.
Window observe(int &readsStarted) {
    QEventLoop loop;
    QTimer::singleShot(kWindow, &loop, &QEventLoop::quit);
    const int readsBefore = readsStarted;
    const double cpu = processCpuSeconds();
    loop.exec();
    const double used = processCpuSeconds() - cpu;
    return {used / std::chrono::duration<double>(kWindow).count(), readsStarted - readsBefore};
}

// Lets the re-read caused by the file's removal (spaced like any other) end
// before the next idle window.
void settle(const BrowserStore &store, const int &readsStarted, int readsBefore) {
    QEventLoop loop;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(2);
    while ((readsStarted == readsBefore || store.current().loading) &&
           std::chrono::steady_clock::now() < deadline) {
        QTimer::singleShot(std::chrono::milliseconds(100), &loop, &QEventLoop::quit);
        loop.exec();
    }
}

} // namespace

int main(int argc, char **argv) {
    QCoreApplication application(argc, argv);
    const std::string folder = bench::entryFolder("dromel-bench-100k-written");
    const std::string written = folder + "/download.part";
    ::unlink(written.c_str());

    LocalDirectoryReader reader;
    ListingOrderer orderer;
    BrowserStore store({folder}, 0, reader, orderer);
    int readsStarted = 0;
    bool loading = false;
    QEventLoop loaded;
    store.onChange = [&](BrowserStore::Change) {
        const bool now = store.current().loading;
        if (now && !loading)
            ++readsStarted;
        loading = now;
        if (!now)
            loaded.quit();
    };
    store.startMonitoring();
    store.refresh();
    loaded.exec();
    std::printf("tab open on %zu entries\n", store.current().visibleEntries().size());

    std::vector<double> idle, writing;
    for (int round = 1; round <= 3; ++round) {
        const Window quiet = observe(readsStarted);
        Window busy;
        {
            Writer writer(written);
            busy = observe(readsStarted);
        }
        const int readsBefore = readsStarted;
        ::unlink(written.c_str());
        settle(store, readsStarted, readsBefore);
        idle.push_back(quiet.coreShare);
        writing.push_back(busy.coreShare);
        std::printf("round %d: idle tab %.1f %% of a core (%d reads), file written %.1f %% of a core (%d "
                    "reads)\n",
                    round, 100 * quiet.coreShare, quiet.reads, 100 * busy.coreShare, busy.reads);
    }
    std::printf("share of one core over %lld s, median of three: idle tab %.1f %%, file written %.1f %%\n",
                static_cast<long long>(kWindow.count()), 100 * median(idle), 100 * median(writing));
    return 0;
}
