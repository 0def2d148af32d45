// A small read-only FUSE file system whose files fail the way a dying disk
// does, so copies can meet a real EIO from the kernel:
//   good    reads back in full, every time
//   bad     every read fails
//   fading  the first open reads in full; later opens fail past 64 KiB
//   folder/ one good and one fading file, for tree copies
// Usage: dromel_faulty_volume <mount point>   (stays in the foreground)
#define FUSE_USE_VERSION 35
#include <fuse.h>

#include <cerrno>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <sys/stat.h>

namespace {

constexpr off_t kFileBytes = 256 * 1024;
constexpr off_t kFadingLimit = 64 * 1024;

enum class Kind { folder, good, bad, fading };

bool kindOf(const std::string &path, Kind &kind) {
    static const std::map<std::string, Kind> kinds = {
        {"/", Kind::folder},
        {"/good", Kind::good},
        {"/bad", Kind::bad},
        {"/fading", Kind::fading},
        {"/folder", Kind::folder},
        {"/folder/good", Kind::good},
        {"/folder/fading", Kind::fading},
    };
    const auto found = kinds.find(path);
    if (found == kinds.end())
        return false;
    kind = found->second;
    return true;
}

std::mutex openedLock;
std::map<std::string, int> openedCounts;

int getattr(const char *path, struct stat *info, fuse_file_info *) {
    Kind kind{};
    if (!kindOf(path, kind))
        return -ENOENT;
    std::memset(info, 0, sizeof *info);
    info->st_mtim.tv_sec = 1'700'000'000;
    info->st_ctim = info->st_mtim;
    info->st_atim = info->st_mtim;
    if (kind == Kind::folder) {
        info->st_mode = S_IFDIR | 0755;
        info->st_nlink = 2;
    } else {
        info->st_mode = S_IFREG | 0644;
        info->st_nlink = 1;
        info->st_size = kFileBytes;
        info->st_blocks = kFileBytes / 512;
    }
    return 0;
}

int readdir(const char *path, void *buffer, fuse_fill_dir_t fill, off_t, fuse_file_info *,
            fuse_readdir_flags) {
    const std::string folder = path;
    if (folder != "/" && folder != "/folder")
        return -ENOTDIR;
    fill(buffer, ".", nullptr, 0, fuse_fill_dir_flags{});
    fill(buffer, "..", nullptr, 0, fuse_fill_dir_flags{});
    const char *const names[] = {"good", "bad", "fading", "folder"};
    for (const char *name : names) {
        Kind kind{};
        if (kindOf((folder == "/" ? "/" : folder + "/") + name, kind))
            fill(buffer, name, nullptr, 0, fuse_fill_dir_flags{});
    }
    return 0;
}

int open(const char *path, fuse_file_info *file) {
    Kind kind{};
    if (!kindOf(path, kind))
        return -ENOENT;
    if ((file->flags & O_ACCMODE) != O_RDONLY)
        return -EROFS;
    // Every read must reach us, as it would reach a failing disk.
    file->direct_io = 1;
    std::lock_guard lock(openedLock);
    // fh carries whether this open may read past the fading limit.
    file->fh = ++openedCounts[path] == 1 ? 1 : 0;
    return 0;
}

int read(const char *path, char *buffer, size_t size, off_t offset, fuse_file_info *file) {
    Kind kind{};
    if (!kindOf(path, kind) || kind == Kind::folder)
        return -EISDIR;
    if (kind == Kind::bad || (kind == Kind::fading && file->fh == 0 && offset + off_t(size) > kFadingLimit))
        return -EIO;
    if (offset >= kFileBytes)
        return 0;
    const size_t count = std::min<off_t>(size, kFileBytes - offset);
    for (size_t i = 0; i < count; ++i)
        buffer[i] = static_cast<char>(((offset + off_t(i)) * 31 + 7) & 0xff);
    return static_cast<int>(count);
}

} // namespace

int main(int argc, char **argv) {
    if (argc != 2)
        return 2;
    fuse_operations operations{};
    operations.getattr = getattr;
    operations.readdir = readdir;
    operations.open = open;
    operations.read = read;
    char *arguments[] = {argv[0],
                         const_cast<char *>("-f"),
                         const_cast<char *>("-s"),
                         const_cast<char *>("-o"),
                         const_cast<char *>("ro,fsname=dromel-faulty,subtype=faulty"),
                         argv[1],
                         nullptr};
    return fuse_main(6, arguments, &operations, nullptr);
}
