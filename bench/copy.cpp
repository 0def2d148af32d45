// The copier beside the tools a careful person would use by hand, side by
// side in one run: a verified 1 GiB copy, a sparse 1 GiB copy and a tree of
// 10,000 small files, each against cp + sync (+ digests for the verified
// ones); on an xfs volume, what copy_file_range's shared blocks do to the
// 1 GiB figure; and the latency of one journal save.
//
// Fair by construction: ours and the baseline run in turn (who goes first
// alternates), each on a fresh target, and the source is read once right
// before every timed run, because pages idle for a minute are reclaimed here
// and whoever meets a cold source first would lose. Each figure is the median
// of three runs.
//
//   bench_copy [file] [sparse] [tree] [reflink] [journal]   (default: all)
#include "engine/OperationCopy.h"
#include "engine/OperationFS.h"
#include "engine/OperationJournal.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/mount.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <random>
#include <set>
#include <string>
#include <vector>

using namespace dromel;
using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

namespace {

const fs::path kRoot = fs::temp_directory_path() / "dromel-bench-copy";
constexpr int kRuns = 3;
const OperationCancellation kNotCancelled;

bool shell(const std::string &command) {
    if (std::system(command.c_str()) == 0)
        return true;
    std::fprintf(stderr, "failed: %s\n", command.c_str());
    return false;
}

std::string inQuotes(const fs::path &path) {
    std::string text;
    text.reserve(path.native().size() + 2);
    text.push_back('\'');
    text.append(path.native());
    text.push_back('\'');
    return text;
}

// Every target is new: ext4 scans recently freed inodes when it creates
// files, so a copy made right after deleting the last one would pay for it.
fs::path freshTarget(const fs::path &folder, const std::string &name) {
    static int counter = 0;
    fs::create_directories(folder);
    return folder / (name + "-" + std::to_string(counter++));
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

void writeRandom(const fs::path &file, off_t offset, std::int64_t bytes, std::uint64_t seed) {
    const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    std::mt19937_64 random(seed);
    std::vector<std::uint64_t> block(1 << 17);
    for (std::int64_t done = 0; done < bytes; done += 1 << 20) {
        for (auto &word : block)
            word = random();
        const auto length = static_cast<std::size_t>(std::min<std::int64_t>(bytes - done, 1 << 20));
        (void)::pwrite(fd, block.data(), length, offset + done);
    }
    ::close(fd);
}

fs::path bigFile(const fs::path &folder) {
    const fs::path file = folder / "big.bin";
    if (!fs::exists(file) || fs::file_size(file) != (1ull << 30)) {
        fs::create_directories(folder);
        fs::remove(file);
        writeRandom(file, 0, 1ll << 30, 42);
    }
    return file;
}

// 1 GiB with 16 MiB of data in four places: a disk image.
fs::path sparseFile() {
    const fs::path file = kRoot / "sparse.img";
    if (!fs::exists(file)) {
        fs::create_directories(kRoot);
        for (int i = 0; i < 4; ++i)
            writeRandom(file, static_cast<off_t>(i) * (256 << 20), 4 << 20, 7 + i);
        (void)::truncate(file.c_str(), 1ll << 30);
    }
    return file;
}

fs::path smallTree() {
    const fs::path root = kRoot / "tree";
    if (!fs::exists(root / ".complete")) {
        fs::remove_all(root);
        for (int d = 0; d < 100; ++d) {
            const fs::path folder = root / ("folder " + std::to_string(d));
            fs::create_directories(folder);
            for (int f = 0; f < 100; ++f)
                writeRandom(folder / ("file " + std::to_string(f) + ".txt"), 0, 4096, d * 100 + f);
        }
        const int marker = ::open((root / ".complete").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
        ::close(marker);
    }
    return root;
}

// Reads the source once so both sides start from the same (warm) cache.
void readOnce(const fs::path &source) {
    shell("find " + inQuotes(source) + " -type f -print0 | xargs -0 cat > /dev/null");
}

void syncAll() {
    ::sync();
}

struct Side {
    Side(const char *sideName, std::function<void(const fs::path &target)> body)
        : name(sideName), run(std::move(body)) {}
    const char *name;
    std::function<void(const fs::path &target)> run;
    std::vector<double> seconds;
};

// Ours and the baselines in turn, each on a fresh target after the source
// was read; prints the medians and their ratios against ours.
void compare(const char *title, const fs::path &source, const fs::path &targets, std::vector<Side> sides,
             bool removeTargets) {
    std::printf("\n%s\n", title);
    for (int run = 0; run < kRuns; ++run)
        for (std::size_t i = 0; i < sides.size(); ++i) {
            Side &side = sides[(i + static_cast<std::size_t>(run)) % sides.size()];
            const fs::path target = freshTarget(targets, "copy");
            syncAll();
            readOnce(source);
            const auto start = Clock::now();
            side.run(target);
            side.seconds.push_back(std::chrono::duration<double>(Clock::now() - start).count());
            if (removeTargets)
                fs::remove_all(target);
        }
    const double ours = median(sides.front().seconds);
    for (const Side &side : sides) {
        std::printf("  %-62s %8.0f ms  (runs:", side.name, median(side.seconds) * 1e3);
        for (double seconds : side.seconds)
            std::printf(" %.0f", seconds * 1e3);
        std::printf(")");
        if (&side != &sides.front())
            std::printf("  ours/this %.2f", ours / median(side.seconds));
        std::printf("\n");
    }
    std::fflush(stdout);
}

std::string cpSyncDigest(const fs::path &source, const fs::path &target) {
    return "cp --reflink=never " + inQuotes(source) + " " + inQuotes(target) +
           " && sync && openssl dgst -sha256 " + inQuotes(source) + " " + inQuotes(target) + " > /dev/null";
}

void fileCopies(const char *title, const fs::path &source, const fs::path &targets) {
    compare(title, source, targets,
            {{"Dromel: OperationCopy::file (fsync, SHA-256 of both)",
              [&](const fs::path &target) {
                  OperationCopy::file(source.string(), target.string(), false, kNotCancelled, {});
              }},
             {"cp --reflink=never + sync + openssl dgst of both",
              [&](const fs::path &target) { shell(cpSyncDigest(source, target)); }}},
            true);
}

std::string digestTree(const fs::path &root, const fs::path &list) {
    return "(cd " + inQuotes(root) + " && find . -type f -print0 | sort -z | xargs -0 sha256sum) > " +
           inQuotes(list);
}

void treeCopies() {
    const fs::path source = smallTree();
    const fs::path targets = kRoot / "out";
    compare("Tree of 10,000 files of 4 KiB in 100 folders", source, targets,
            {{"Dromel: manifest (SHA-256) + tree copy, full metadata, verified",
              [&](const fs::path &target) {
                  const TreeManifest records = OperationFS::manifest(source.string(), kNotCancelled);
                  OperationCopy::tree(source.string(), target.string(), records, false, kNotCancelled, {});
              }},
             {"cp -a + sync",
              [&](const fs::path &target) {
                  shell("cp -a " + inQuotes(source) + " " + inQuotes(target) + " && sync");
              }},
             {"cp -a + sync + sha256sum of both trees + cmp",
              [&](const fs::path &target) {
                  shell("cp -a " + inQuotes(source) + " " + inQuotes(target) + " && sync && " +
                        digestTree(source, target.string() + ".a") + " && " +
                        digestTree(target, target.string() + ".b") + " && cmp -s " +
                        inQuotes(target.string() + ".a") + " " + inQuotes(target.string() + ".b"));
              }}},
            false);
    fs::remove_all(targets);
}

// The 1 GiB copy inside one xfs volume, where copy_file_range shares blocks.
void reflinkCopies() {
    const fs::path mountPoint = kRoot / "xfs";
    const fs::path image = kRoot / "xfs.img";
    fs::create_directories(mountPoint);
    if (!shell("truncate -s 4G " + inQuotes(image) + " && mkfs.xfs -q -f -m reflink=1 " + inQuotes(image) +
               " && mount -o loop " + inQuotes(image) + " " + inQuotes(mountPoint))) {
        std::printf("\nxfs with shared blocks: cannot mount a loop image here, not measured\n");
        fs::remove(image);
        return;
    }
    fileCopies("Verified 1 GiB copy inside an xfs volume (copy_file_range shares the blocks)",
               bigFile(mountPoint), mountPoint / "out");
    ::umount2(mountPoint.c_str(), 0);
    fs::remove(image);
}

double saveLatency(const std::function<void()> &save) {
    std::vector<double> latencies;
    for (int i = 0; i < 100; ++i) {
        const auto start = Clock::now();
        save();
        latencies.push_back(std::chrono::duration<double>(Clock::now() - start).count());
    }
    return median(latencies);
}

// The journal's own save beside the same open-write-close with the older
// synchronous=FULL, which does not flush the folder after a commit.
void journalLatency() {
    const fs::path folder = kRoot / "journal";
    fs::create_directories(folder);
    const OperationJournal journal((folder / "operations.sqlite").string());
    const FileOperationTask task(FileOperationRequest(FileOperationKind::copy, {"/home/u/a"}, "/home/u/b",
                                                      std::nullopt, false, {}, std::nullopt));
    const std::string payload = task.encoded();
    const auto raw = [&](const char *pragma) {
        const std::string path = (folder / "full.sqlite").string();
        return [=] {
            sqlite3 *db = nullptr;
            ::sqlite3_open_v2(path.c_str(), &db,
                              SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX, nullptr);
            ::sqlite3_busy_timeout(db, 3000);
            ::sqlite3_exec(db, pragma, nullptr, nullptr, nullptr);
            sqlite3_stmt *statement = nullptr;
            ::sqlite3_prepare_v2(db, "INSERT OR REPLACE INTO operations(id,payload) VALUES(?,?);", -1,
                                 &statement, nullptr);
            ::sqlite3_bind_text(statement, 1, "ID", -1, SQLITE_TRANSIENT);
            ::sqlite3_bind_blob(statement, 2, payload.data(), static_cast<int>(payload.size()),
                                SQLITE_TRANSIENT);
            ::sqlite3_step(statement);
            ::sqlite3_finalize(statement);
            ::sqlite3_close(db);
        };
    };
    const char *kTable =
        "CREATE TABLE IF NOT EXISTS operations (id TEXT PRIMARY KEY, payload BLOB NOT NULL);";
    const double full = saveLatency(raw((std::string("PRAGMA synchronous=FULL; ") + kTable).c_str()));
    const double ours = saveLatency([&] { journal.save(task); });
    const double fullAgain = saveLatency(raw((std::string("PRAGMA synchronous=FULL; ") + kTable).c_str()));
    std::printf("\nJournal save, median of 100 (open, write, close)\n");
    std::printf("  Dromel: OperationJournal::save (synchronous=EXTRA) %8.2f ms\n", ours * 1e3);
    std::printf("  the same with synchronous=FULL (before, after)      %8.2f ms, %.2f ms  ours/this %.2f\n",
                full * 1e3, fullAgain * 1e3, ours / std::min(full, fullAgain));
    fs::remove_all(folder);
}

} // namespace

int main(int argc, char **argv) {
    std::set<std::string> chosen(argv + 1, argv + argc);
    const auto wanted = [&](const char *name) { return chosen.empty() || chosen.count(name) > 0; };
    fs::create_directories(kRoot);
    if (wanted("file"))
        fileCopies("Verified copy of 1 GiB", bigFile(kRoot), kRoot / "out");
    if (wanted("sparse"))
        fileCopies("Verified copy of a sparse 1 GiB file (16 MiB of data)", sparseFile(), kRoot / "out");
    if (wanted("tree"))
        treeCopies();
    if (wanted("reflink"))
        reflinkCopies();
    if (wanted("journal"))
        journalLatency();
    fs::remove_all(kRoot / "out");
    return 0;
}
