#pragma once

#include <cstdint>
#include <map>
#include <string>

namespace dromel {

// What an object carries besides its data and its stat fields. Names and
// values are raw bytes.
struct OperationMetadata {
    // Every extended attribute of the object itself (on Linux this includes
    // the POSIX ACLs as system.posix_acl_*).
    std::map<std::string, std::string> attributes;
    // The extended access ACL (and a folder's default ACL, entries prefixed
    // "default:") in libacl's text form; empty when the mode bits say it all.
    std::string acl;
    // The inode flags a copy carries (FS_IOC_GETFLAGS, masked to those an
    // owner sets: no-dump, no-atime, sync, dirsync); 0 where there are none.
    std::uint32_t flags = 0;

    // Never follows a final symbolic link. Throws OperationProblem(system).
    static OperationMetadata read(const std::string &path);
    // The same of a regular file open for reading (`path` names it in a
    // failure): what a walk that hashes the file reads on its descriptor.
    static OperationMetadata readOpenFile(int fd, const std::string &path);

    friend bool operator==(const OperationMetadata &, const OperationMetadata &) = default;
};

} // namespace dromel
