#pragma once

#include "core/FileOperationRequest.h"
#include "engine/OperationCancellation.h"
#include "engine/OperationFS.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace dromel::test {

inline FileOperationRequest requestOf(FileOperationKind kind, std::vector<std::string> sources,
                                      std::optional<std::string> destination,
                                      std::optional<std::string> name = std::nullopt,
                                      bool allowLimitedMetadata = false) {
    return FileOperationRequest(kind, std::move(sources), std::move(destination), std::move(name),
                                allowLimitedMetadata, {}, std::nullopt);
}

inline bool existsAt(const std::string &path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0;
}

// Names in a folder (without "." and ".."), sorted by bytes.
inline std::set<std::string> namesIn(const std::string &folder) {
    std::set<std::string> names;
    if (DIR *dir = ::opendir(folder.c_str())) {
        while (const dirent *entry = ::readdir(dir)) {
            const std::string name = entry->d_name;
            if (name != "." && name != "..")
                names.insert(name);
        }
        ::closedir(dir);
    }
    return names;
}

inline std::string sha256Of(const std::string &path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return {};
    OperationCancellation never;
    std::string digest = OperationFS::digest(fd, never);
    ::close(fd);
    return digest;
}

// SHA-256 of every regular file under `root` (or of `root` itself), with
// the paths where each digest was found.
inline void collectDigests(const std::string &root, std::multimap<std::string, std::string> &found) {
    struct stat info {};
    if (::lstat(root.c_str(), &info) != 0)
        return;
    if (S_ISREG(info.st_mode)) {
        found.emplace(sha256Of(root), root);
        return;
    }
    if (!S_ISDIR(info.st_mode))
        return;
    for (const std::string &name : namesIn(root))
        collectDigests(root + "/" + name, found);
}

inline std::multimap<std::string, std::string> digestsUnder(const std::vector<std::string> &roots) {
    std::multimap<std::string, std::string> found;
    for (const std::string &root : roots)
        collectDigests(root, found);
    return found;
}

// Names in `folder` that this program's hidden items use.
inline std::vector<std::string> hiddenItemsIn(const std::string &folder) {
    std::vector<std::string> hidden;
    for (const std::string &name : namesIn(folder))
        if (name.starts_with(".dromel-"))
            hidden.push_back(folder + "/" + name);
    return hidden;
}

// An overlay mount at `root`/merged: a volume without exclusive rename.
class OverlayMount {
public:
    explicit OverlayMount(const std::string &root) : m_path(root + "/merged") {
        for (const char *folder : {"lower", "upper", "work", "merged"})
            ::mkdir((root + "/" + folder).c_str(), 0755);
        const std::string options =
            "lowerdir=" + root + "/lower,upperdir=" + root + "/upper,workdir=" + root + "/work";
        m_mounted = ::mount("overlay", m_path.c_str(), "overlay", 0, options.c_str()) == 0;
    }
    ~OverlayMount() {
        if (m_mounted)
            ::umount2(m_path.c_str(), MNT_DETACH);
    }
    OverlayMount(const OverlayMount &) = delete;
    OverlayMount &operator=(const OverlayMount &) = delete;

    bool mounted() const { return m_mounted; }
    const std::string &path() const { return m_path; }

private:
    std::string m_path;
    bool m_mounted = false;
};

} // namespace dromel::test
