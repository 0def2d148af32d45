// Search below a folder beside the command-line tools, in one run: names over
// /usr against fd and find -iname, contents over /usr/include and
// /usr/share/doc (about 300 MB) against rg -l -i and grep -rlI, with caches
// warm and cold (dropped before each run; needs root). Each figure is the
// median of three runs; the ratios to fd and rg and the load average are
// printed at the end.
#include "directory/SearchWalker.h"

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

extern char **environ;

using namespace dromel;

namespace {

constexpr const char *kNameRoot = "/usr";
constexpr const char *kNameQuery = "config";
constexpr const char *kContentQuery = "copyright";

std::map<std::string, std::vector<double>> g_seconds;
std::map<bool, std::vector<double>> g_firstResult; // by cold

std::string loadAverage() {
    std::ifstream file("/proc/loadavg");
    std::string one, five, fifteen;
    file >> one >> five >> fifteen;
    return one + " " + five + " " + fifteen;
}

void dropCaches() {
    ::sync();
    std::ofstream("/proc/sys/vm/drop_caches") << "3\n";
}

// /usr/include and /usr/share/doc side by side under one folder (bind
// mounts on the same volume), so every tool walks the same two trees.
const std::string &contentRoot() {
    static const std::string root = [] {
        const std::string folder = std::filesystem::temp_directory_path().string() + "/dromel-search-corpus";
        std::filesystem::create_directories(folder + "/include");
        std::filesystem::create_directories(folder + "/doc");
        if (std::filesystem::is_empty(folder + "/include"))
            ::mount("/usr/include", (folder + "/include").c_str(), nullptr, MS_BIND, nullptr);
        if (std::filesystem::is_empty(folder + "/doc"))
            ::mount("/usr/share/doc", (folder + "/doc").c_str(), nullptr, MS_BIND, nullptr);
        return folder;
    }();
    return root;
}

double runTool(std::vector<std::string> arguments) {
    std::vector<char *> argv;
    for (std::string &argument : arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    const auto start = std::chrono::steady_clock::now();
    pid_t child = 0;
    if (posix_spawnp(&child, argv[0], &actions, nullptr, argv.data(), environ) != 0)
        return -1;
    int status = 0;
    ::waitpid(child, &status, 0);
    posix_spawn_file_actions_destroy(&actions);
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

struct WalkTimes {
    double total = 0;
    double firstResult = -1;
    std::size_t hits = 0;
};

WalkTimes runWalker(SearchWalker &walker, const SearchQuery &query) {
    std::mutex mutex;
    std::condition_variable ended;
    bool finished = false;
    WalkTimes times;
    SearchOptions options;
    options.showHidden = true;
    options.contentSizeLimit = std::int64_t{1} << 40;
    const auto start = std::chrono::steady_clock::now();
    const auto since = [&] {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    };
    auto run = walker.start(
        query, options,
        [&](std::vector<SearchHit> hits) {
            std::lock_guard lock(mutex);
            if (times.firstResult < 0)
                times.firstResult = since();
            times.hits += hits.size();
        },
        [&](SearchSummary) {
            std::lock_guard lock(mutex);
            times.total = since();
            finished = true;
            ended.notify_all();
        });
    std::unique_lock lock(mutex);
    ended.wait(lock, [&] { return finished; });
    return times;
}

void measured(benchmark::State &state, const std::string &name, bool cold,
              const std::function<double()> &run) {
    for (auto _ : state) {
        if (cold)
            dropCaches();
        const double seconds = run();
        state.SetIterationTime(seconds);
        g_seconds[name + (cold ? " cold" : " warm")].push_back(seconds);
    }
}

void BM_NameDromel(benchmark::State &state) {
    SearchWalker walker;
    SearchQuery query;
    query.text = kNameQuery;
    query.startFolder = kNameRoot;
    measured(state, "name dromel", state.range(0) != 0, [&] {
        const WalkTimes times = runWalker(walker, query);
        g_firstResult[state.range(0) != 0].push_back(times.firstResult);
        state.counters["hits"] = static_cast<double>(times.hits);
        return times.total;
    });
}

void BM_NameFd(benchmark::State &state) {
    measured(state, "name fd", state.range(0) != 0, [] {
        return runTool({"fdfind", "-u", "-i", "-F", kNameQuery, kNameRoot});
    });
}

void BM_NameFind(benchmark::State &state) {
    measured(state, "name find", state.range(0) != 0, [] {
        return runTool({"find", kNameRoot, "-iname", std::string("*") + kNameQuery + "*"});
    });
}

void BM_ContentDromel(benchmark::State &state) {
    SearchWalker walker;
    SearchQuery query;
    query.text = kContentQuery;
    query.mode = SearchMode::content;
    query.startFolder = contentRoot();
    measured(state, "content dromel", state.range(0) != 0, [&] {
        const WalkTimes times = runWalker(walker, query);
        state.counters["hits"] = static_cast<double>(times.hits);
        return times.total;
    });
}

void BM_ContentRg(benchmark::State &state) {
    measured(state, "content rg", state.range(0) != 0, [] {
        return runTool({"rg", "-l", "-i", "-uu", "-F", kContentQuery, contentRoot()});
    });
}

void BM_ContentGrep(benchmark::State &state) {
    measured(state, "content grep", state.range(0) != 0, [] {
        return runTool({"grep", "-rlIiF", kContentQuery, contentRoot()});
    });
}

#define SEARCH_BENCH(fn)                                                                                     \
    BENCHMARK(fn)->ArgName("cold")->Arg(0)->Arg(1)->Iterations(1)->Repetitions(3)->UseManualTime()->Unit(    \
        benchmark::kMillisecond)

SEARCH_BENCH(BM_NameDromel);
SEARCH_BENCH(BM_NameFd);
SEARCH_BENCH(BM_NameFind);
SEARCH_BENCH(BM_ContentDromel);
SEARCH_BENCH(BM_ContentRg);
SEARCH_BENCH(BM_ContentGrep);

double median(std::vector<double> values) {
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char **argv) {
    const std::string loadBefore = loadAverage();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::printf("\nload average before: %s, after: %s (%ld cores)\n", loadBefore.c_str(),
                loadAverage().c_str(), ::sysconf(_SC_NPROCESSORS_ONLN));
    std::printf("%-16s %10s %10s   %s\n", "median of 3", "warm s", "cold s", "ratio warm / cold");
    for (const char *area : {"name", "content"}) {
        const std::string baseline = std::string(area) + (std::string(area) == "name" ? " fd" : " rg");
        for (const char *tool : {"dromel", "fd", "find", "rg", "grep"}) {
            const std::string name = std::string(area) + " " + tool;
            if (!g_seconds.count(name + " warm") && !g_seconds.count(name + " cold"))
                continue;
            const double warm = median(g_seconds[name + " warm"]);
            const double cold = median(g_seconds[name + " cold"]);
            const double baseWarm = median(g_seconds[baseline + " warm"]);
            const double baseCold = median(g_seconds[baseline + " cold"]);
            std::printf("%-16s %10.3f %10.3f   %.2fx / %.2fx (to %s)\n", name.c_str(), warm, cold,
                        baseWarm > 0 ? warm / baseWarm : 0, baseCold > 0 ? cold / baseCold : 0,
                        baseline.c_str());
        }
    }
    std::printf("first name result after (median): %.1f ms warm, %.1f ms cold\n",
                median(g_firstResult[false]) * 1000, median(g_firstResult[true]) * 1000);
    return 0;
}
