#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

namespace dromel {

// What the properties window shows of one item, read in one go off the main
// thread: its status (without following a link), names of its owner and
// group, its type and the application that opens it, and its volume.
struct ItemFacts {
    using Time = std::chrono::sys_time<std::chrono::nanoseconds>;

    std::string path;
    bool exists = false;
    bool folder = false;
    bool link = false;
    std::string linkTarget;
    std::string mimeType;
    std::string kind; // the type's localized description
    std::int64_t size = 0;
    std::int64_t allocated = 0;
    Time modified{}, accessed{}, changed{};
    std::optional<Time> created;
    unsigned mode = 0; // permission bits only
    unsigned owner = 0, group = 0;
    std::string ownerName, groupName;
    std::string volume; // the mount point holding the item
    std::int64_t volumeFree = -1;
    std::string opensWith; // the default application's name
    std::string opensWithId;

    // Blocking: reads the item, the user and group databases, the MIME and
    // application databases. Call off the main thread.
    static ItemFacts read(const std::string &path);
};

} // namespace dromel
