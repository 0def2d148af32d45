#include "directory/LocalVolumeReader.h"

#include "core/Location.h"
#include "core/StatePaths.h"
#include "runtime/MainThread.h"

#include <blkid/blkid.h>
#include <libmount/libmount.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <set>
#include <utility>

namespace dromel {

namespace {

bool isUnder(const std::string &path, const std::string &folder) {
    return folder.size() > 1 && path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 &&
           path[folder.size()] == '/';
}

bool isUserLocation(const std::string &target, const std::string &home) {
    if (target == "/")
        return true;
    for (const char *folder : {"/media", "/run/media", "/mnt"})
        if (isUnder(target, folder))
            return true;
    // Hidden folders of the home hold helper mounts (~/.cache/doc, gvfs).
    return isUnder(target, home) && target.find("/.", home.size()) == std::string::npos;
}

bool isHidden(libmnt_fs *fs) {
    char *value = nullptr;
    size_t size = 0;
    const char *options = mnt_fs_get_options(fs);
    return options && mnt_optstr_get_option(options, "x-gvfs-hide", &value, &size) == 0;
}

// A mount of a btrfs subvolume shows that subvolume: its root is the path the
// "subvol" option names. A bind mount of a folder shows a root below it.
bool isSubvolumeMount(libmnt_fs *fs, const std::string &root) {
    char *value = nullptr;
    size_t size = 0;
    const char *options = mnt_fs_get_fs_options(fs);
    if (!options || mnt_optstr_get_option(options, "subvol", &value, &size) != 0 || !value)
        return false;
    return Location::standardized(std::string_view(value, size)) == Location::standardized(root);
}

std::string labelOf(libmnt_fs *fs) {
    const char *source = mnt_fs_get_srcpath(fs);
    if (!source || std::strncmp(source, "/dev/", 5) != 0)
        return {};
    char *label = blkid_get_tag_value(nullptr, "LABEL", source);
    if (!label)
        return {};
    std::string result(label);
    std::free(label);
    return result;
}

} // namespace

LocalVolumeReader::LocalVolumeReader() : m_queue(QueueNames::volumeReader()) {}

void LocalVolumeReader::read(Completion completion) {
    m_queue.async([completion = std::move(completion)]() mutable {
        auto volumes = currentVolumes();
        MainThread::post([completion = std::move(completion), volumes = std::move(volumes)]() mutable {
            completion(std::move(volumes));
        });
    });
}

std::vector<MountedVolume> LocalVolumeReader::currentVolumes(const std::string &mountInfo) {
    std::unique_ptr<libmnt_table, decltype(&mnt_unref_table)> table(mnt_new_table(), mnt_unref_table);
    if (!table || mnt_table_parse_file(table.get(), mountInfo.c_str()) != 0)
        return {};
    const std::string home = Location::standardized(StatePaths::homeFolder());
    std::unique_ptr<libmnt_iter, decltype(&mnt_free_iter)> iterator(mnt_new_iter(MNT_ITER_FORWARD),
                                                                    mnt_free_iter);
    std::vector<MountedVolume> volumes;
    std::set<dev_t> mounted;                        // every device seen so far
    std::set<std::pair<dev_t, std::string>> listed; // device and root of each volume
    libmnt_fs *fs = nullptr;
    while (mnt_table_next_fs(table.get(), iterator.get(), &fs) == 0) {
        const dev_t device = mnt_fs_get_devno(fs);
        const bool firstOfDevice = mounted.insert(device).second;
        const char *target = mnt_fs_get_target(fs);
        if (!target || mnt_fs_is_pseudofs(fs) || mnt_fs_is_swaparea(fs) || isHidden(fs))
            continue;
        const std::string path(target);
        if (!isUserLocation(path, home))
            continue;
        // A root other than "/" is a btrfs subvolume (the system volume of the
        // common layout is subvolume "/@" or "/root") or, on a device mounted
        // before, a bind mount of a part of it. The same root again is a bind
        // mount of a volume already listed.
        const char *rootField = mnt_fs_get_root(fs);
        const std::string root = rootField ? rootField : "/";
        if (root != "/" && !firstOfDevice && !isSubvolumeMount(fs, root))
            continue;
        if (!listed.insert({device, root}).second)
            continue;
        std::string name = labelOf(fs);
        if (name.empty())
            name = path == "/" ? path : Location::lastComponent(path);
        volumes.push_back({path, std::move(name)});
    }
    return volumes;
}

} // namespace dromel
