#pragma once

#include "engine/ObjectStamp.h"
#include "engine/OperationCancellation.h"
#include "engine/TreeRecord.h"

#include <cstdint>
#include <string>

// Stateless file-system helpers of the engine. All blocking, all for the
// engine's background queues. Failures are thrown as OperationProblem;
// cancellation as OperationCancelled.
namespace dromel::OperationFS {

// Throws unsupported for an object on a network or remote file system, and
// system when it cannot be stat-ed.
void requireLocal(const std::string &path);

ObjectStamp stamp(const std::string &path);

// Where the hashing of a large file starts. From the start, a file another
// reader is reading anyway (a source being copied) is read from the disk
// once. From the end, a file just written is read away from its writeback,
// which goes from the start: a read where pages are being written waits
// for the disk.
enum class HashOrder { fromStart, fromEnd };

// The hashed manifest of `root` and everything under it. Throws unsupported
// for special files and mount points inside the tree, sourceChanged when an
// object changes while it is walked.
TreeManifest manifest(const std::string &root, const OperationCancellation &cancel, bool hash = true,
                      HashOrder order = HashOrder::fromStart);

// Whether nothing was written to any object of `hashed` (a manifest taken
// with hashing) since it was taken: `now`, a manifest of the same tree taken
// without hashing (or with), equals it in every field but the digests, which
// are compared where both have them. The full stamp of each object, identity
// included, takes part. Sound because every write changes the inode's
// change time, which no user process can set back, and because the hashed
// manifest records a file only once the clock has passed its change time
// (see settleChangeTime), so a later write cannot leave it as it was.
bool unchangedSince(const TreeManifest &hashed, const TreeManifest &now);

// Whether for the tree at `root`, whose hashed manifest is `records`, equal
// stamps prove equal content (see unchangedSince): its volume's driver keeps
// change times to the nanosecond from the kernel's clock (ext4, xfs, btrfs,
// tmpfs, f2fs, bcachefs), and no file of the tree has a change time in whole
// seconds (an ext2 or ext3 inode too small for nanoseconds). FAT keeps
// seconds at best and a FUSE server whatever it likes: there the content is
// hashed again.
bool stampsProveContent(const std::string &root, const TreeManifest &records);

// Waits, at most about a second, until the coarse clock the kernel stamps
// change times from is past `stamp`'s change time: a write after this return
// gives the object a different change time, even on a file system whose
// times move only once per clock tick. For a digest read after it that is
// to vouch for the stamp. A change time further ahead (a volume from a
// machine whose clock ran ahead) is different from any a write can give.
void settleChangeTime(const ObjectStamp &stamp);

// SHA-256 of the whole file behind `fd` (in hexadecimal), read in 1 MiB
// positional blocks; from 64 MiB on, the SHA-256 of its 32 MiB segments'
// digests, hashed on two threads. With `size` (the file's stamped size)
// reading stops there, without the extra read that finds the end: for a
// caller that compares the stamp again afterwards, so a file that grew or
// shrank meanwhile is caught by that.
std::string digest(int fd, const OperationCancellation &cancel, std::int64_t size = -1,
                   HashOrder order = HashOrder::fromStart);

// How an item can be put in place in `folder` without ever replacing one
// that took its name: by renameat2(RENAME_NOREPLACE), by link() and
// unlink() (files and links only; link fails with EEXIST), or not at all.
enum class ExclusivePublish { rename, link, none };

// Decided by trying on the volume itself with a hidden probe file that is
// gone again on return (FUSE, overlay and network volumes differ by version
// and server, so no table can tell). Where no probe can be made there (no
// write permission, read-only), by the file-system type.
ExclusivePublish exclusivePublish(const std::string &folder);

// exclusivePublish(folder) == ExclusivePublish::rename.
bool supportsExclusiveRename(const std::string &folder);

// Whether `folder`'s volume keeps owners, modes and extended attributes
// (with the ACLs). Probed on the volume itself: an attribute lookup and an
// unnamed temporary file that leaves nothing behind; where the probe cannot
// run, decided by the file-system type. False for FAT, exFAT, NTFS, ramfs
// and FUSE volumes that fail the probe. Throws unsupported for a network
// file system, system when `folder` cannot be reached.
bool keepsPosixMetadata(const std::string &folder);

// Throws descendant when `target` is `source` or lies inside it. Links in
// the folders above are resolved; a link that is itself `source` is not.
void validateRelationship(const std::string &source, const std::string &target);

// The device of the volume `folder` is on, links followed: a folder opened
// through a link to a stick is on the stick.
std::int64_t folderDevice(const std::string &folder);

// `folder` with every link resolved (for its part that exists).
std::string realFolder(const std::string &folder);

// renameat2(RENAME_NOREPLACE): fails instead of replacing an existing `to`.
// Where the volume refuses the flag (EINVAL), a file or link is published
// by link() and unlink() instead, which fails with EEXIST just the same.
// Returns which of the two it took.
ExclusivePublish renameExclusive(const std::string &from, const std::string &to);

// Same shape, types, digests and link targets; stamps and metadata ignored.
bool sameContent(const TreeManifest &a, const TreeManifest &b);

// Pairwise over two manifests of equal length: attributes, ACL text, inode
// flags, modification time and permission bits equal, except that a copy
// whose owner or group differs has no set-user-ID or set-group-ID bit. Only
// meaningful where the copy's volume keeps POSIX metadata.
bool metadataMatches(const TreeManifest &source, const TreeManifest &copy);

// The file-system type name of the object's volume ("ext4", "nfs4", ...),
// from the mount table; empty when unknown.
std::string fileSystemType(const std::string &path);

} // namespace dromel::OperationFS
