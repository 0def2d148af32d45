// Thumbnails made per second from the same photos, with no cache: Dromel's
// maker (decoding scaled, writing the shared cache's PNG) beside GNOME's
// gdk-pixbuf-thumbnailer run once per photo as the desktop runs it. Both are
// timed on the wall clock, so a busy machine slows both alike; the ratio is
// what counts (goal: Dromel at least as fast).
#include "look/ThumbnailCache.h"
#include "look/ThumbnailMaker.h"

#include <QCoreApplication>
#include <QImage>
#include <QRandomGenerator>
#include <QStandardPaths>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <vector>

using namespace dromel;

namespace {

constexpr int kPhotos = 40;

std::vector<std::string> photos;
std::string cacheRoot;

// Camera-sized JPEGs with enough detail that decoding is real work.
void makePhotos(const std::string &folder) {
    std::filesystem::create_directories(folder);
    QImage image(3000, 2000, QImage::Format_RGB32);
    QRandomGenerator random(7);
    for (int y = 0; y < image.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x)
            line[x] = qRgb((x / 7 + y / 5) % 256, (x * y / 97) % 256, static_cast<int>(random.bounded(256)));
    }
    for (int i = 0; i < kPhotos; ++i) {
        const std::string path = folder + "/photo-" + std::to_string(i) + ".jpg";
        photos.push_back(path);
        if (!std::filesystem::exists(path))
            image.save(QString::fromStdString(path), "jpg", 90);
    }
}

void BM_DromelThumbnails(benchmark::State &state) {
    const ThumbnailMaker maker;
    const ThumbnailCache cache(cacheRoot);
    for (auto _ : state) {
        std::filesystem::remove_all(cacheRoot);
        for (const std::string &photo : photos) {
            struct stat status {};
            ::stat(photo.c_str(), &status);
            ThumbnailMaker::Result made = maker.make(photo, "image/jpeg", 256);
            benchmark::DoNotOptimize(cache.store({photo, status.st_mtim.tv_sec, status.st_size},
                                                 ThumbnailCache::Flavour::large, made.image, "image/jpeg"));
        }
    }
    state.SetItemsProcessed(state.iterations() * kPhotos);
}

void BM_GdkPixbufThumbnailerBaseline(benchmark::State &state) {
    const std::string out = cacheRoot + "-gdk.png";
    for (auto _ : state) {
        for (const std::string &photo : photos) {
            const std::string command =
                "gdk-pixbuf-thumbnailer -s 256 '" + ThumbnailCache::uriOf(photo) + "' '" + out + "'";
            benchmark::DoNotOptimize(std::system(command.c_str()));
        }
    }
    state.SetItemsProcessed(state.iterations() * kPhotos);
}

} // namespace

BENCHMARK(BM_DromelThumbnails)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3);
BENCHMARK(BM_GdkPixbufThumbnailerBaseline)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3);

int main(int argc, char **argv) {
    QCoreApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    const std::string folder = std::filesystem::temp_directory_path().string() + "/dromel-bench-photos";
    cacheRoot = std::filesystem::temp_directory_path().string() + "/dromel-bench-thumbnail-cache";
    makePhotos(folder);
    std::printf("%d photos of 3000 x 2000, large thumbnails (256 px)\n", kPhotos);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::filesystem::remove_all(cacheRoot);
    return 0;
}
