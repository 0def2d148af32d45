#include "engine/TrashListing.h"

#include "core/Location.h"
#include "core/OperationProblem.h"
#include "core/StatePaths.h"
#include "engine/detail/FileDescriptor.h"
#include "engine/detail/TrashFiles.h"

#include <fcntl.h>
#include <libmount/libmount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <set>
#include <string_view>

// Every trash is read the same way: info/ gives the records, files/ the
// items, and the two are matched by name. An item without a record and a
// record without an item are both listed, each with its state, because a
// trash view that hides them makes the space they take impossible to find.
namespace dromel::TrashListing {

namespace {

using detail::FileDescriptor;

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
    detail::DeletionDates dates;
    readRecord(text, top, item, dates);
}

void readRecord(const std::string &text, const std::string &top, TrashedItem &item,
                detail::DeletionDates &dates) {
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
            item.deleted = dates.parse(line.substr(13));
        }
    }
    if (!item.originalPath)
        item.state = TrashedItem::State::damagedRecord;
}

std::vector<TrashedItem> listTrash(const std::string &trash, const OperationCancellation &cancel) {
    return list({trash}, cancel);
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
    readRecord(detail::readSmallFile(
                   info.get(), (Location::lastComponent(item) + std::string(detail::kInfoSuffix)).c_str()),
               topOf(trash), record);
    if (!record.originalPath)
        throw refuse();
    return {trash, *record.originalPath};
}

std::vector<TrashedItem> list(const std::vector<std::string> &trashes, const OperationCancellation &cancel) {
    std::vector<TrashedItem> all;
    list(trashes, cancel, [&](std::vector<TrashedItem> &&batch) {
        all.insert(all.end(), std::make_move_iterator(batch.begin()), std::make_move_iterator(batch.end()));
    });
    return all;
}

} // namespace dromel::TrashListing
