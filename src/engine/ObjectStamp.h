#pragma once

#include <cstdint>
#include <string>

namespace dromel {

// Identity and version of one file-system object as statx reports it for the
// object itself (links are not followed). The device is the 64-bit dev_t:
// Linux device numbers do not fit in 32 bits.
struct ObjectStamp {
    std::int64_t device = 0;
    std::uint64_t inode = 0;
    std::uint16_t mode = 0;
    // Birth time; 0 where the file system does not report one.
    std::int64_t born = 0;
    std::int64_t bornNanos = 0;
    std::int64_t size = 0;
    std::int64_t modified = 0;
    std::int64_t nanos = 0;
    std::int64_t changed = 0;
    std::int64_t changedNanos = 0;
    // Owner and group ids: a copy whose owner could not be kept loses its
    // set-user-ID and set-group-ID bits, and its check must know why.
    std::uint32_t owner = 0;
    std::uint32_t group = 0;

    bool isDirectory() const;
    bool isRegular() const;
    bool isSymbolicLink() const;
    unsigned type() const; // mode & S_IFMT

    // device:inode:mode:size:modified:nanos:changed:changedNanos — the
    // version token of a request's sources.
    std::string token() const;
    // device:inode:type bits:born:bornNanos — survives renames and moves
    // within the volume, not a copy.
    std::string identityToken() const;

    friend bool operator==(const ObjectStamp &, const ObjectStamp &) = default;
};

} // namespace dromel
