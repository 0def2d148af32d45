// FileSort::apply by name over 100,000 realistic names, beside the baseline of
// a stable sort comparing each pair with ucol_strcoll, and a filter pass.
#include "core/FileSort.h"
#include "core/detail/BrowseCollation.h"

#include <benchmark/benchmark.h>
#include <unicode/ucol.h>
#include <unicode/unistr.h>

#include <algorithm>
#include <cstring>
#include <random>

using namespace dromel;

namespace {

constexpr std::size_t kEntryCount = 100'000;

const std::vector<FileEntry> &entries() {
    static const std::vector<FileEntry> list = [] {
        const std::vector<std::string> words{"report", "Photo",   "IMG",     "résumé",    "Ünïcode",
                                             "notes",  "Backup",  "draft",   "Übersicht", "café",
                                             "写真",   "資料",    "invoice", "Song",      "data",
                                             "ÉTÉ",    "project", "readme",  "Archive",   "señal"};
        const std::vector<std::string> extensions{".txt", ".jpg", ".pdf", ".mp3", "", ".tar.gz", ".md"};
        std::mt19937 random(42);
        auto parent = std::make_shared<const std::string>("/home/user/Documents");
        auto kind = FileEntry::internKind("Document");
        std::vector<FileEntry> result;
        result.reserve(kEntryCount);
        for (std::size_t i = 0; i < kEntryCount; ++i) {
            std::string name = words[random() % words.size()];
            if (random() % 2)
                name.append(1, ' ').append(words[random() % words.size()]);
            name.append(1, ' ').append(std::to_string(random() % 5000));
            if (random() % 3 == 0)
                name.append(1, '-').append(std::to_string(random() % 100));
            name.append(extensions[random() % extensions.size()]);
            const bool isFolder = random() % 10 == 0;
            result.push_back(
                FileEntry::listed(parent, name, 2049, i + 1, isFolder, false, false,
                                  isFolder ? std::nullopt : std::optional<std::int64_t>(random() % 100000),
                                  std::nullopt, isFolder ? FileEntry::internKind("Folder") : kind));
        }
        return result;
    }();
    return list;
}

void BM_FileSortApplyByName(benchmark::State &state) {
    const FileEntryList list(entries());
    const FileSort sort{};
    for (auto _ : state)
        benchmark::DoNotOptimize(sort.apply(list, ""));
}

// What apply() would cost if it compared each pair with the collator.
void BM_StableSortStrcollBaseline(benchmark::State &state) {
    UErrorCode status = U_ZERO_ERROR;
    UCollator *collator = ucol_open(detail::collationLocale().c_str(), &status);
    ucol_setAttribute(collator, UCOL_STRENGTH, UCOL_SECONDARY, &status);
    ucol_setAttribute(collator, UCOL_NUMERIC_COLLATION, UCOL_ON, &status);
    std::vector<icu::UnicodeString> names;
    for (const FileEntry &entry : entries())
        names.push_back(icu::UnicodeString::fromUTF8(entry.name()));
    for (auto _ : state) {
        std::vector<std::size_t> order(names.size());
        for (std::size_t i = 0; i < order.size(); ++i)
            order[i] = i;
        std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
            return ucol_strcoll(collator, names[a].getBuffer(), names[a].length(), names[b].getBuffer(),
                                names[b].length()) == UCOL_LESS;
        });
        benchmark::DoNotOptimize(order);
    }
    ucol_close(collator);
}

// The floor: ICU sort keys built once, then a plain sort of the keys.
void BM_SortKeysProbe(benchmark::State &state) {
    for (auto _ : state) {
        std::vector<char> arena;
        std::vector<std::uint32_t> offsets;
        offsets.reserve(entries().size());
        for (const FileEntry &entry : entries()) {
            offsets.push_back(static_cast<std::uint32_t>(arena.size()));
            detail::appendSortKey(entry.name(), arena);
        }
        std::sort(offsets.begin(), offsets.end(),
                  [&](std::uint32_t a, std::uint32_t b) { return std::strcmp(&arena[a], &arena[b]) < 0; });
        benchmark::DoNotOptimize(offsets);
    }
}

void BM_FilterPass(benchmark::State &state) {
    const FileEntryList list(entries());
    for (auto _ : state)
        benchmark::DoNotOptimize(FileSort::filtered(list, "resume"));
}

} // namespace

BENCHMARK(BM_FileSortApplyByName)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_StableSortStrcollBaseline)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_SortKeysProbe)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_FilterPass)->Unit(benchmark::kMillisecond)->MinTime(1);

int main(int argc, char **argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
