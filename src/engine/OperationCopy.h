#pragma once

#include "engine/OperationCancellation.h"
#include "engine/TreeRecord.h"
#include "engine/VolumeFlush.h"

#include <cstdint>
#include <functional>
#include <string>

// Copies what a manifest describes, verifies every file by SHA-256 and makes
// it durable. Never publishes, replaces or removes anything; a failed or
// cancelled copy leaves what it wrote (the caller reports it). Failures are
// thrown as OperationProblem, cancellation as OperationCancelled.
namespace dromel::OperationCopy {

// Bytes copied so far (of the tree, or of the file).
using Progress = std::function<void(std::int64_t)>;

// Who hashes the copied files. `byCaller` is for a caller that manifests the
// copy with hashing right after and compares it with `records` anyway: the
// same bytes are then read and hashed once instead of twice. Each source is
// still checked against its record's stamp on the descriptor that is read.
enum class Verify { eachFile, byCaller };

// `records` is the source's manifest. Folders are made first (0700) and get
// their metadata last, deepest first. With `limited` the data is copied
// with whatever of the metadata the target's volume keeps, unchecked.
// Everything written is on stable storage when this returns: one syncfs of
// the target's file system instead of one flush per file. With `flush`
// (made for the target's folder before the call) that syncfs is left to the
// caller, who can hash the copy while the disk writes it.
void tree(const std::string &source, const std::string &target, const TreeManifest &records, bool limited,
          const OperationCancellation &cancel, const Progress &progress, Verify verify = Verify::eachFile,
          const VolumeFlush *flush = nullptr);

// One regular file to a new `target` (created exclusively, 0600), flushed
// with fsync and verified. Progress at most every 100 ms, plus the end.
void file(const std::string &source, const std::string &target, bool limited,
          const OperationCancellation &cancel, const Progress &progress);

// Mode, owner where permitted, times, extended attributes (with the ACLs)
// and the user-settable inode flags of `from` onto `to`, neither followed if
// a link. `link` is accepted for symmetry and changes nothing.
void metadata(const std::string &from, const std::string &to, bool link = false);

} // namespace dromel::OperationCopy
