#pragma once

#include <string>

namespace dromel::detail {

// What the engine needs to know about the file system an object lives on.
struct FileSystemType {
    std::string name; // "ext4", "tmpfs", "fuse.sshfs", ... ("" when unknown)
    bool local = true;
    bool exclusiveRename = false;
};

// From statfs's magic number; FUSE mounts are told apart by the mount table.
// Throws OperationProblem(system) when the object cannot be reached.
FileSystemType fileSystemTypeOf(const std::string &path);

} // namespace dromel::detail
