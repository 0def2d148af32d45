#include "engine/TrashListing.h"

#include "core/Location.h"
#include "core/OperationProblem.h"
#include "core/StatePaths.h"
#include "engine/detail/FileDescriptor.h"

#include <dirent.h>
#include <fcntl.h>
#include <libmount/libmount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <map>
#include <set>
#include <string_view>
#include <unordered_map>

// Every trash is read the same way: info/ gives the records, files/ the
// items, and the two are matched by name. An item without a record and a
// record without an item are both listed, each with its state, because a
// trash view that hides them makes the space they take impossible to find.
namespace dromel::TrashListing {

namespace {

using detail::FileDescriptor;

constexpr std::string_view kInfoSuffix = ".trashinfo";

// File systems that never hold a user's trash: not worth a look (and some,
// like autofs, would mount something if looked into).
bool ignoredType(std::string_view type) {
    static const std::set<std::string_view> kIgnored = {
        "proc",     "sysfs",      "cgroup",     "cgroup2",     "devpts",   "mqueue",
        "debugfs",  "tracefs",    "securityfs", "pstore",      "bpf",      "autofs",
        "configfs", "fusectl",    "hugetlbfs",  "binfmt_misc", "devtmpfs", "efivarfs",
        "nsfs",     "rpc_pipefs", "selinuxfs",  "fuse.portal"};
    return kIgnored.contains(type);
}

std::string realPath(const std::string &path) {
    char *real = ::realpath(path.c_str(), nullptr);
    if (!real)
        return path;
    std::string result(real);
    std::free(real);
    return result;
}

// A folder of ours reached without a link.
bool ownFolder(const std::string &path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == ::geteuid();
}

bool stickyFolder(const std::string &path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode) && (info.st_mode & S_ISVTX);
}

std::vector<std::string> mountPoints() {
    std::vector<std::string> points;
    libmnt_table *table = ::mnt_new_table();
    if (!table)
        return points;
    if (::mnt_table_parse_file(table, "/proc/self/mountinfo") == 0) {
        libmnt_iter *iter = ::mnt_new_iter(MNT_ITER_FORWARD);
        libmnt_fs *fs = nullptr;
        while (iter && ::mnt_table_next_fs(table, iter, &fs) == 0) {
            const char *target = ::mnt_fs_get_target(fs);
            const char *type = ::mnt_fs_get_fstype(fs);
            if (target && !(type && ignoredType(type)))
                points.emplace_back(target);
        }
        ::mnt_free_iter(iter);
    }
    ::mnt_unref_table(table);
    return points;
}

std::string readSmallFile(int at, const std::string &name) {
    FileDescriptor fd(::openat(at, name.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    std::string text;
    if (!fd)
        return text;
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0 || text.size() > (1 << 16))
            return text;
        text.append(buffer, static_cast<std::size_t>(n));
    }
}

std::vector<std::string> namesIn(int at, const char *name) {
    std::vector<std::string> names;
    const int fd = ::openat(at, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return names;
    DIR *dir = ::fdopendir(fd);
    if (!dir) {
        ::close(fd);
        return names;
    }
    while (const dirent *entry = ::readdir(dir)) {
        const std::string_view child = entry->d_name;
        if (child != "." && child != "..")
            names.emplace_back(child);
    }
    ::closedir(dir);
    return names;
}

// Bytes of everything under a folder, links not followed.
std::int64_t contentSize(int parent, const char *name, const OperationCancellation &cancel) {
    checkCancellation(cancel);
    struct stat info {};
    if (::fstatat(parent, name, &info, AT_SYMLINK_NOFOLLOW) != 0)
        return 0;
    if (!S_ISDIR(info.st_mode))
        return info.st_size;
    std::int64_t total = 0;
    const FileDescriptor folder(::openat(parent, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!folder)
        return 0;
    for (const std::string &child : namesIn(folder.get(), "."))
        total += contentSize(folder.get(), child.c_str(), cancel);
    return total;
}

// directorysizes: "size mtime percent-encoded-name" per line; an entry counts
// only while its record's mtime is the one written beside it.
std::unordered_map<std::string, std::pair<std::int64_t, std::int64_t>> folderSizes(int trash) {
    std::unordered_map<std::string, std::pair<std::int64_t, std::int64_t>> sizes;
    const std::string text = readSmallFile(trash, "directorysizes");
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        const std::string_view line(text.data() + start, end - start);
        start = end + 1;
        const std::size_t first = line.find(' ');
        const std::size_t second = first == std::string_view::npos ? first : line.find(' ', first + 1);
        if (second == std::string_view::npos)
            continue;
        char *stop = nullptr;
        const std::string size(line.substr(0, first));
        const std::string mtime(line.substr(first + 1, second - first - 1));
        const long long bytes = std::strtoll(size.c_str(), &stop, 10);
        if (*stop)
            continue;
        const long long modified = std::strtoll(mtime.c_str(), &stop, 10);
        if (*stop)
            continue;
        if (auto name = Location::percentDecoded(line.substr(second + 1)))
            sizes[*name] = {bytes, modified};
    }
    return sizes;
}

std::optional<FileTime> parseDate(const std::string &text) {
    std::tm local{};
    const char *end = ::strptime(text.c_str(), "%Y-%m-%dT%H:%M:%S", &local);
    if (!end)
        return std::nullopt;
    local.tm_isdst = -1;
    const std::time_t seconds = std::mktime(&local);
    if (seconds == -1)
        return std::nullopt;
    return FileTime(std::chrono::seconds(seconds));
}

} // namespace

std::string homeTrash() {
    return Location::appending(realPath(StatePaths::dataHome()), "Trash");
}

std::string topOf(const std::string &trash) {
    if (trash == homeTrash())
        return "";
    const std::string parent = Location::parent(trash);
    if (Location::lastComponent(parent) == ".Trash")
        return Location::parent(parent);
    return parent;
}

std::vector<std::string> trashFolders() {
    std::vector<std::string> found;
    std::set<std::pair<dev_t, ino_t>> seen;
    const auto add = [&](const std::string &trash) {
        struct stat info {};
        if (!ownFolder(trash) || ::lstat(trash.c_str(), &info) != 0)
            return;
        if (seen.insert({info.st_dev, info.st_ino}).second)
            found.push_back(trash);
    };
    add(homeTrash());
    const std::string uid = std::to_string(::geteuid());
    for (const std::string &top : mountPoints()) {
        const std::string shared = Location::appending(top, ".Trash");
        if (stickyFolder(shared))
            add(Location::appending(shared, uid));
        add(Location::appending(top, ".Trash-" + uid));
    }
    return found;
}

void readRecord(const std::string &text, const std::string &top, TrashedItem &item) {
    bool inGroup = false;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.starts_with('[')) {
            inGroup = line == "[Trash Info]";
            continue;
        }
        if (!inGroup)
            continue;
        if (line.starts_with("Path=") && !item.originalPath) {
            auto path = Location::percentDecoded(std::string_view(line).substr(5));
            if (!path || path->empty() || path->find('\0') != std::string::npos)
                continue;
            if (Location::isAbsolute(*path))
                item.originalPath = Location::standardized(*path);
            else if (!top.empty())
                item.originalPath = Location::standardized(Location::appending(top, *path));
        } else if (line.starts_with("DeletionDate=") && !item.deleted) {
            item.deleted = parseDate(line.substr(13));
        }
    }
    if (!item.originalPath)
        item.state = TrashedItem::State::damagedRecord;
}

std::vector<TrashedItem> listTrash(const std::string &trash, const OperationCancellation &cancel) {
    std::vector<TrashedItem> items;
    const FileDescriptor self(::open(trash.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!self)
        return items;
    const FileDescriptor info(::openat(self.get(), "info", O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    const FileDescriptor files(
        ::openat(self.get(), "files", O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    const std::string top = topOf(trash);
    const auto sizes = folderSizes(self.get());

    std::set<std::string> unrecorded;
    if (files)
        for (std::string &name : namesIn(files.get(), "."))
            unrecorded.insert(std::move(name));
    std::vector<std::string> records;
    if (info)
        records = namesIn(info.get(), ".");
    items.reserve(records.size() + unrecorded.size());
    const auto describe = [&](TrashedItem &item) {
        struct stat object {};
        if (::fstatat(files.get(), item.name.c_str(), &object, AT_SYMLINK_NOFOLLOW) != 0) {
            item.state = TrashedItem::State::missingItem;
            return;
        }
        item.device = object.st_dev;
        item.inode = object.st_ino;
        item.isDirectory = S_ISDIR(object.st_mode);
        item.isSymbolicLink = S_ISLNK(object.st_mode);
        if (!item.isDirectory) {
            item.size = object.st_size;
            return;
        }
        struct stat record {};
        const auto cached = sizes.find(item.name);
        if (cached != sizes.end() &&
            ::fstatat(info.get(), (item.name + std::string(kInfoSuffix)).c_str(), &record, 0) == 0 &&
            record.st_mtim.tv_sec == cached->second.second)
            item.size = cached->second.first;
        else
            item.size = contentSize(files.get(), item.name.c_str(), cancel);
    };
    for (const std::string &record : records) {
        checkCancellation(cancel);
        if (!record.ends_with(kInfoSuffix) || record.size() == kInfoSuffix.size())
            continue;
        TrashedItem item;
        item.trash = trash;
        item.name = record.substr(0, record.size() - kInfoSuffix.size());
        readRecord(readSmallFile(info.get(), record), top, item);
        if (files)
            describe(item);
        else
            item.state = TrashedItem::State::missingItem;
        unrecorded.erase(item.name);
        items.push_back(std::move(item));
    }
    for (const std::string &name : unrecorded) {
        checkCancellation(cancel);
        TrashedItem item;
        item.trash = trash;
        item.name = name;
        describe(item);
        item.state = TrashedItem::State::noRecord;
        items.push_back(std::move(item));
    }
    return items;
}

bool holds(const std::string &path) {
    const std::string files = Location::parent(Location::standardized(path));
    if (Location::lastComponent(files) != "files")
        return false;
    const std::vector<std::string> trashes = trashFolders();
    return std::find(trashes.begin(), trashes.end(), Location::parent(files)) != trashes.end();
}

std::pair<std::string, std::string> recordOf(const std::string &itemPath) {
    const std::string item = Location::standardized(itemPath);
    const std::string files = Location::parent(item);
    const std::string trash = Location::parent(files);
    const auto refuse = [&] {
        return OperationProblem(OperationProblem::Code::unsupported, item, "Not in a trash, or no record.");
    };
    if (Location::lastComponent(files) != "files")
        throw refuse();
    const std::vector<std::string> trashes = trashFolders();
    if (std::find(trashes.begin(), trashes.end(), trash) == trashes.end())
        throw refuse();
    const FileDescriptor info(
        ::open((trash + "/info").c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!info)
        throw refuse();
    TrashedItem record;
    readRecord(readSmallFile(info.get(), Location::lastComponent(item) + std::string(kInfoSuffix)),
               topOf(trash), record);
    if (!record.originalPath)
        throw refuse();
    return {trash, *record.originalPath};
}

std::vector<TrashedItem> list(const std::vector<std::string> &trashes, const OperationCancellation &cancel) {
    std::vector<TrashedItem> all;
    for (const std::string &trash : trashes) {
        std::vector<TrashedItem> items = listTrash(trash, cancel);
        all.insert(all.end(), std::make_move_iterator(items.begin()), std::make_move_iterator(items.end()));
    }
    return all;
}

} // namespace dromel::TrashListing
