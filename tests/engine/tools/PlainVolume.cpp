// A FUSE file system that passes everything through to a backing folder but
// refuses renameat2's flags, as sshfs, rclone and other FUSE servers do:
// RENAME_NOREPLACE fails with EINVAL. With --no-link it has no hard links
// either (EPERM), so nothing can be put in place exclusively there.
// Usage: dromel_plain_volume <backing folder> <mount point> [--no-link]
// (stays in the foreground)
#define FUSE_USE_VERSION 35
#include <fuse.h>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

namespace {

std::string backing;
bool withLinks = true;

std::string real(const char *path) {
    return backing + path;
}

int result(int value) {
    return value < 0 ? -errno : value;
}

int onGetattr(const char *path, struct stat *info, fuse_file_info *) {
    return result(::lstat(real(path).c_str(), info));
}

int onReadlink(const char *path, char *buffer, size_t size) {
    const ssize_t length = ::readlink(real(path).c_str(), buffer, size - 1);
    if (length < 0)
        return -errno;
    buffer[length] = '\0';
    return 0;
}

int onReaddir(const char *path, void *buffer, fuse_fill_dir_t fill, off_t, fuse_file_info *,
              fuse_readdir_flags) {
    DIR *dir = ::opendir(real(path).c_str());
    if (!dir)
        return -errno;
    while (const dirent *entry = ::readdir(dir))
        fill(buffer, entry->d_name, nullptr, 0, fuse_fill_dir_flags{});
    ::closedir(dir);
    return 0;
}

int onMkdir(const char *path, mode_t mode) {
    return result(::mkdir(real(path).c_str(), mode));
}

int onUnlink(const char *path) {
    return result(::unlink(real(path).c_str()));
}

int onRmdir(const char *path) {
    return result(::rmdir(real(path).c_str()));
}

int onSymlink(const char *target, const char *path) {
    return result(::symlink(target, real(path).c_str()));
}

int onRename(const char *from, const char *to, unsigned int flags) {
    if (flags != 0)
        return -EINVAL;
    return result(::rename(real(from).c_str(), real(to).c_str()));
}

int onLink(const char *from, const char *to) {
    if (!withLinks)
        return -EPERM;
    return result(::link(real(from).c_str(), real(to).c_str()));
}

int onChmod(const char *path, mode_t mode, fuse_file_info *) {
    return result(::chmod(real(path).c_str(), mode));
}

int onChown(const char *path, uid_t owner, gid_t group, fuse_file_info *) {
    return result(::lchown(real(path).c_str(), owner, group));
}

int onTruncate(const char *path, off_t size, fuse_file_info *file) {
    return result(file ? ::ftruncate(static_cast<int>(file->fh), size)
                       : ::truncate(real(path).c_str(), size));
}

int onUtimens(const char *path, const timespec times[2], fuse_file_info *) {
    return result(::utimensat(AT_FDCWD, real(path).c_str(), times, AT_SYMLINK_NOFOLLOW));
}

int onCreate(const char *path, mode_t mode, fuse_file_info *file) {
    const int fd = ::open(real(path).c_str(), file->flags, mode);
    if (fd < 0)
        return -errno;
    file->fh = static_cast<uint64_t>(fd);
    return 0;
}

int onOpen(const char *path, fuse_file_info *file) {
    const int fd = ::open(real(path).c_str(), file->flags);
    if (fd < 0)
        return -errno;
    file->fh = static_cast<uint64_t>(fd);
    return 0;
}

int counted(ssize_t count) {
    return count < 0 ? -errno : static_cast<int>(count);
}

int onRead(const char *, char *buffer, size_t size, off_t offset, fuse_file_info *file) {
    return counted(::pread(static_cast<int>(file->fh), buffer, size, offset));
}

int onWrite(const char *, const char *buffer, size_t size, off_t offset, fuse_file_info *file) {
    return counted(::pwrite(static_cast<int>(file->fh), buffer, size, offset));
}

int onStatfs(const char *path, struct statvfs *info) {
    return result(::statvfs(real(path).c_str(), info));
}

int onRelease(const char *, fuse_file_info *file) {
    ::close(static_cast<int>(file->fh));
    return 0;
}

int onFsync(const char *, int, fuse_file_info *file) {
    return result(::fsync(static_cast<int>(file->fh)));
}

int onSetxattr(const char *path, const char *name, const char *value, size_t size, int flags) {
    return result(::lsetxattr(real(path).c_str(), name, value, size, flags));
}

int onGetxattr(const char *path, const char *name, char *value, size_t size) {
    return counted(::lgetxattr(real(path).c_str(), name, value, size));
}

int onListxattr(const char *path, char *list, size_t size) {
    return counted(::llistxattr(real(path).c_str(), list, size));
}

int onRemovexattr(const char *path, const char *name) {
    return result(::lremovexattr(real(path).c_str(), name));
}

} // namespace

int main(int argc, char **argv) {
    if (argc < 3)
        return 2;
    backing = argv[1];
    withLinks = !(argc > 3 && std::strcmp(argv[3], "--no-link") == 0);
    fuse_operations operations{};
    operations.getattr = onGetattr;
    operations.readlink = onReadlink;
    operations.readdir = onReaddir;
    operations.mkdir = onMkdir;
    operations.unlink = onUnlink;
    operations.rmdir = onRmdir;
    operations.symlink = onSymlink;
    operations.rename = onRename;
    operations.link = onLink;
    operations.chmod = onChmod;
    operations.chown = onChown;
    operations.truncate = onTruncate;
    operations.utimens = onUtimens;
    operations.create = onCreate;
    operations.open = onOpen;
    operations.read = onRead;
    operations.write = onWrite;
    operations.statfs = onStatfs;
    operations.release = onRelease;
    operations.fsync = onFsync;
    operations.setxattr = onSetxattr;
    operations.getxattr = onGetxattr;
    operations.listxattr = onListxattr;
    operations.removexattr = onRemovexattr;
    char *arguments[] = {argv[0],
                         const_cast<char *>("-f"),
                         const_cast<char *>("-s"),
                         const_cast<char *>("-o"),
                         const_cast<char *>("default_permissions,fsname=dromel-plain,subtype=plain"),
                         argv[2],
                         nullptr};
    return fuse_main(6, arguments, &operations, nullptr);
}
