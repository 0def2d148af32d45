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

// Whether the volume of `folder` keeps owners, modes and extended attributes:
// probed with an attribute lookup on the folder and an unnamed O_TMPFILE file
// in it; by `type` where the probe cannot run there.
bool keepsPosixMetadata(const std::string &folder, const FileSystemType &type);

} // namespace dromel::detail
