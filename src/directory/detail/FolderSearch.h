#pragma once

#include "directory/detail/ContentScan.h"
#include "directory/detail/KindLookup.h"
#include "directory/detail/SearchState.h"
#include "directory/detail/SearchTypes.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace dromel::detail {

// The work of one walking thread: reads the folders it takes from the walk's
// queue one at a time, queues their subfolders and hands back the hits. Owns
// the thread's buffers and caches; not thread-safe.
class FolderSearch {
public:
    explicit FolderSearch(SearchState &state);

    // Takes folders until the walk is over.
    void run();

private:
    // One name of the folder being read: where it lies in m_names, its type.
    struct Item {
        std::uint32_t nameAt;
        std::uint32_t nameSize;
        unsigned char type;
    };

    std::optional<SearchProblem> read(const PendingFolder &folder);
    // False on a failure to list (the error is in `error`).
    bool listNames(int fd, int &error);
    bool admitsFile(std::string_view name, bool isDirectory);

    SearchState &m_state;
    const std::int64_t m_now; // seconds, for "modified within"
    KindLookup m_kinds;
    SearchTypes m_types;
    ContentScan m_content;
    std::vector<char> m_dents; // getdents64 buffer
    std::string m_names;       // the folder's names, NUL-separated
    std::vector<Item> m_items;
    bool m_hasHiddenFile = false;
    std::vector<PendingFolder> m_subfolders;
    std::vector<SearchHit> m_hits;
};

} // namespace dromel::detail
