// The file list showing the 100,000-entry folder beside the same list showing
// its first 100 entries: a content render (model reset, selection, scroll) with
// the paint that follows, a paint after jumping to the end, and a select-all
// that sends every id to the store beside the store's own select() of the same
// ids. The per-row work is what must not show:
// the goal is the same time at both sizes, and well under a 16 ms frame.
#include "browser/BrowserStore.h"
#include "directory/ListingOrderer.h"
#include "directory/LocalDirectoryReader.h"
#include "look/Icons.h"
#include "support/BenchFolder.h"
#include "table/FileTable.h"
#include "table/FileTableModel.h"

#include <QApplication>
#include <QEventLoop>
#include <QScrollBar>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

using namespace dromel;

namespace {

struct Listing {
    LocalDirectoryReader reader;
    ListingOrderer orderer;
    Icons icons;
    std::unique_ptr<BrowserStore> store;
    std::unique_ptr<FileTable> table;

    explicit Listing(const std::string &folder) {
        store = std::make_unique<BrowserStore>(std::vector<std::string>{folder}, 0, reader, orderer);
        table = std::make_unique<FileTable>(*store, icons);
        QEventLoop loop;
        store->onChange = [&](BrowserStore::Change change) {
            table->render(change);
            if (!store->current().loading && !store->current().arranging)
                loop.quit();
        };
        table->resize(1200, 780);
        table->show();
        store->refresh();
        loop.exec();
        store->onChange = [this](BrowserStore::Change change) { table->render(change); };
    }
};

Listing *large = nullptr;
Listing *small = nullptr;

Listing &listing(const benchmark::State &state) {
    return state.range(0) == 0 ? *small : *large;
}

void BM_ContentRenderAndPaint(benchmark::State &state) {
    Listing &shown = listing(state);
    for (auto _ : state) {
        shown.table->render(BrowserStore::Change::content);
        shown.table->viewport()->repaint();
    }
    state.counters["rows"] = shown.table->model()->rowCount();
}

// The same with every row selected: the selection is restored from its ids.
void BM_ContentRenderAllSelected(benchmark::State &state) {
    Listing &shown = listing(state);
    shown.table->selectAll();
    for (auto _ : state) {
        shown.table->render(BrowserStore::Change::content);
        shown.table->viewport()->repaint();
    }
    if (shown.table->selectionModel()->selectedRows().size() != shown.table->model()->rowCount())
        state.SkipWithError("selection not restored");
    shown.table->clearSelection();
}

void BM_PaintAtTheEnd(benchmark::State &state) {
    Listing &shown = listing(state);
    QScrollBar *bar = shown.table->verticalScrollBar();
    bool end = false;
    for (auto _ : state) {
        bar->setValue((end = !end) ? bar->maximum() : 0);
        shown.table->viewport()->repaint();
    }
}

void BM_SelectAll(benchmark::State &state) {
    Listing &shown = listing(state);
    for (auto _ : state) {
        shown.table->selectAll();
        shown.table->clearSelection();
    }
    state.counters["selected"] = static_cast<double>(shown.store->current().visibleEntries().size());
}

// The store's own share of a select-all: the same ids handed to select().
void BM_StoreSelectAllBaseline(benchmark::State &state) {
    Listing &shown = listing(state);
    std::set<std::string> ids;
    for (const FileEntry &entry : shown.store->current().visibleEntries())
        ids.insert(entry.id());
    for (auto _ : state) {
        shown.store->select(ids);
        shown.store->select({});
    }
}

} // namespace

BENCHMARK(BM_ContentRenderAndPaint)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_ContentRenderAllSelected)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_PaintAtTheEnd)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_SelectAll)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_StoreSelectAllBaseline)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->MinTime(2);

int main(int argc, char **argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    // Arg 0: the first 100 names of the large folder, copied into a folder of their own (the baseline).
    const std::string &folder = bench::hundredThousandFolder();
    const std::string hundred = std::filesystem::temp_directory_path().string() + "/dromel-bench-100";
    std::filesystem::create_directories(hundred);
    for (int i = 0; i < 100; ++i) {
        const char *extensions[] = {".txt", ".jpg", ".pdf", ".mp3", "", ".tar.gz", ".md", ".cpp"};
        std::ofstream(hundred + "/item " + std::to_string(i) + extensions[i % 8]).put('x');
    }
    Listing largeListing(folder);
    Listing smallListing(hundred);
    large = &largeListing;
    small = &smallListing;
    std::printf("rows: %d (large) and %d (baseline)\n", large->table->model()->rowCount(),
                small->table->model()->rowCount());
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
