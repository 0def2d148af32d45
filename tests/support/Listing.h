#pragma once

#include <dirent.h>

#include <string>
#include <string_view>
#include <vector>

namespace dromel::test {

// The names of `entries` (any range of FileEntry), in their order.
template <typename Entries> std::vector<std::string> namesOf(const Entries &entries) {
    std::vector<std::string> names;
    for (const auto &entry : entries)
        names.push_back(entry.name());
    return names;
}

// The names in `folder` that begin with `prefix`, in directory order.
inline std::vector<std::string> namesStartingWith(const std::string &folder, std::string_view prefix) {
    std::vector<std::string> names;
    if (DIR *dir = ::opendir(folder.c_str())) {
        while (dirent *entry = ::readdir(dir))
            if (std::string_view(entry->d_name).starts_with(prefix))
                names.emplace_back(entry->d_name);
        ::closedir(dir);
    }
    return names;
}

} // namespace dromel::test
