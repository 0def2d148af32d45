#pragma once

#include <dirent.h>

#include <string>
#include <system_error>
#include <unordered_set>

namespace dromel::detail {

// One name of a folder as its directory entry gives it.
struct FolderItem {
    std::string name;
    ino_t inode = 0;
    unsigned char type = DT_UNKNOWN; // d_type
};

// The listable names of an open folder in the order the file system gives
// them: "." and "..", and unless hidden items are shown, dot names and the
// names in the folder's ".hidden" file, are skipped. Not thread-safe.
class FolderNames {
public:
    // Takes ownership of `fd`, an open folder.
    FolderNames(int fd, bool showHidden);
    ~FolderNames();
    FolderNames(const FolderNames &) = delete;
    FolderNames &operator=(const FolderNames &) = delete;

    bool isOpen() const { return m_dir != nullptr; }
    int fd() const;
    // The next name into `item`; false at the end of the folder or on a
    // failure (then error() says which).
    bool next(FolderItem &item);
    std::error_code error() const { return m_error; }

    // The names an open folder's ".hidden" file hides (none when it has none).
    static std::unordered_set<std::string> hiddenIn(int folderFd);

private:
    DIR *m_dir = nullptr;
    bool m_showHidden;
    std::unordered_set<std::string> m_hidden;
    std::error_code m_error;
};

} // namespace dromel::detail
