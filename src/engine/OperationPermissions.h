#pragma once

#include "core/PermissionChange.h"
#include "engine/OperationCancellation.h"
#include "engine/TreeRecord.h"

#include <string>
#include <vector>

// Permission changes of the engine: blocking, for the operation queue only.
// Every object is reached without following links, and is compared with its
// prepared stamp right before its mode changes.
namespace dromel::OperationPermissions {

// What a change of `root` acts on: the item alone, or with `enclosed` its
// whole tree (unhashed). A link is refused (it has no mode of its own), as is
// any object the user does not own, before anything changes.
TreeManifest records(const std::string &root, const PermissionChange &change,
                     const OperationCancellation &cancel);

// Changes the modes, the items inside a folder before the folder (taking
// away its search bit must not lock out the rest); links are passed over.
// Throws sourceChanged for an object that is no longer as prepared.
// `receipts` gets each changed object's old mode as it goes, so a failure
// part-way still tells what changed.
void apply(const std::string &root, const TreeManifest &records, const PermissionChange &change,
           const OperationCancellation &cancel, std::vector<ModeReceipt> &receipts);

// Puts back each old mode whose object still has the version the change
// left; returns the paths left alone because they changed or went.
std::vector<std::string> restore(const std::vector<ModeReceipt> &restores,
                                 const OperationCancellation &cancel);

} // namespace dromel::OperationPermissions
