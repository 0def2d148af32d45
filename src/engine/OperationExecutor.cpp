// Preparation of one item: everything is read, nothing is changed.
#include "engine/OperationExecutor.h"

#include "core/FileName.h"
#include "core/Location.h"
#include "core/OperationProblem.h"
#include "engine/OperationFS.h"
#include "engine/OperationPermissions.h"
#include "engine/TrashListing.h"
#include "engine/detail/FolderNames.h"
#include "engine/detail/StampOf.h"
#include "engine/detail/UndoVersion.h"

#include <sys/stat.h>

namespace dromel {

namespace {

using Code = OperationProblem::Code;

bool sameObject(const ObjectStamp &a, const ObjectStamp &b) {
    return a.device == b.device && a.inode == b.inode && a.type() == b.type();
}

bool sameButForInode(const ObjectStamp &a, const ObjectStamp &b) {
    ObjectStamp other = b;
    other.inode = a.inode;
    return a == other;
}

bool contains(const std::vector<std::string> &names, const std::string &name) {
    for (const std::string &entry : names)
        if (entry == name)
            return true;
    return false;
}

// The target is the path the item's record names (or the same name in the
// folder it was dropped on); folders missing on the way
// are made when it is performed. Only a rename out of the trash is offered:
// the nearest existing folder must be on the item's volume.
void prepareRestore(PreparedOperation &prepared, const std::optional<std::string> &droppedOn) {
    const std::string &from = *prepared.source;
    const std::string original = TrashListing::recordOf(from).second;
    // Dropped on a folder: there, under the name it had.
    const std::string target =
        droppedOn ? Location::appending(Location::standardized(*droppedOn), Location::lastComponent(original))
                  : original;
    prepared.target = target;
    struct stat info {};
    if (::lstat(target.c_str(), &info) == 0)
        prepared.existing = OperationFS::stamp(target);
    std::string folder = Location::parent(target);
    while (::lstat(folder.c_str(), &info) != 0 && folder != "/")
        folder = Location::parent(folder);
    OperationFS::requireLocal(folder);
    prepared.atomic = OperationFS::supportsExclusiveRename(folder);
    if (!prepared.atomic || OperationFS::stamp(folder).device != prepared.records.front().stamp.device)
        throw OperationProblem(Code::unsupported, target, "");
}

// A link is made beside nothing it could replace unasked: what holds its
// name is a clash like any other. Only the source's own stamp is taken.
void prepareLink(PreparedOperation &prepared, const FileOperationRequest &request) {
    if (!request.destination())
        throw OperationProblem(Code::unsupported, "", "");
    const std::string &from = *prepared.source;
    TreeRecord record;
    record.stamp = OperationFS::stamp(from);
    prepared.records = {std::move(record)};
    const std::string parent = Location::standardized(*request.destination());
    const std::string target =
        Location::appending(parent, request.name() ? *request.name() : Location::lastComponent(from));
    prepared.target = target;
    const std::string volume = OperationFS::realFolder(parent);
    OperationFS::requireLocal(volume);
    struct stat info {};
    if (::lstat(target.c_str(), &info) == 0)
        prepared.existing = OperationFS::stamp(target);
    prepared.atomic = OperationFS::supportsExclusiveRename(volume);
}

} // namespace

PreparedOperation OperationExecutor::prepare(const FileOperationRequest &request,
                                             const std::optional<std::string> &source,
                                             const OperationCancellation &cancel) const {
    checkCancellation(cancel);
    const bool reversing = !request.undoReceipts().empty();
    // Each item of a reverse acts on what its own receipt names, and only then.
    const FileUndoRelocation *undo = reversing && source ? request.undoReceiptFor(*source) : nullptr;
    const FileOperationKind kind = request.kind();
    const bool reversible = kind == FileOperationKind::rename || kind == FileOperationKind::move ||
                            kind == FileOperationKind::trash || kind == FileOperationKind::restore ||
                            kind == FileOperationKind::changePermissions;
    if (reversing && (!reversible || !undo))
        throw OperationProblem(Code::unsupported, "", "");
    if (request.name())
        FileName::validate(*request.name(), reversing);

    PreparedOperation prepared;
    if (kind == FileOperationKind::createDirectory) {
        if (!request.name() || !request.destination())
            throw OperationProblem(Code::invalidName, "", "");
        const std::string volume = OperationFS::realFolder(*request.destination());
        OperationFS::requireLocal(volume);
        prepared.target =
            Location::appending(Location::standardized(*request.destination()), *request.name());
        prepared.atomic = true; // mkdir never replaces anything
        return prepared;
    }
    if (!source)
        throw OperationProblem(Code::unsupported, "", "");
    const std::string &from = *source;
    if (kind == FileOperationKind::changePermissions && (!request.permissions() || request.name()))
        throw OperationProblem(Code::unsupported, from, "");
    if (kind == FileOperationKind::changePermissions && !request.permissions()->restores.empty()) {
        // An undo: each old mode is checked against its own version when put back.
        prepared.source = from;
        return prepared;
    }
    OperationFS::requireLocal(from);
    const auto version = request.sourceVersions().find(from);
    if (version != request.sourceVersions().end() && OperationFS::stamp(from).token() != version->second)
        throw OperationProblem(Code::sourceChanged, from, "");
    prepared.source = from;
    if (kind == FileOperationKind::changePermissions) {
        prepared.records = OperationPermissions::records(from, *request.permissions(), cancel);
        return prepared;
    }
    if (kind == FileOperationKind::makeLink) {
        prepareLink(prepared, request);
        return prepared;
    }
    // A deletion reads nothing: the stamps tell whether the item changed. A
    // restore is one rename of the whole item out of the trash, which can
    // lose or overwrite nothing inside it: the item's own stamp is the
    // picture it is checked against, unless it is the reverse of a trash, whose
    // receipt sums up the whole item.
    // A copy, move or rename is stamped here and hashed while it is copied
    // (a rename within a volume never reads it): its stamps prove it
    // unchanged since, where the volume keeps exact change times.
    const bool copying = !undo && (kind == FileOperationKind::copy || kind == FileOperationKind::move ||
                                   kind == FileOperationKind::rename);
    // (An empty manifest asks only whether the volume keeps such times.)
    const bool stamped = copying && OperationFS::stampsProveContent(from, {});
    const bool hashed =
        kind != FileOperationKind::restore && kind != FileOperationKind::deletePermanently && !stamped;
    if (kind == FileOperationKind::restore && !(undo && undo->version))
        prepared.records = {TreeRecord{"", OperationFS::stamp(from), std::nullopt, std::nullopt, {}}};
    else
        prepared.records = OperationFS::manifest(from, cancel, hashed);
    if (stamped && !OperationFS::stampsProveContent(from, prepared.records))
        prepared.records = OperationFS::manifest(from, cancel, true);
    const ObjectStamp &first = prepared.records.front().stamp;
    if (undo && (Location::standardized(from) != Location::standardized(undo->current) ||
                 first.identityToken() != undo->identity ||
                 (undo->version && detail::undoVersion(prepared.records) != *undo->version)))
        throw OperationProblem(Code::sourceChanged, from, "");
    if (kind == FileOperationKind::trash) {
        // Trashing an item of the trash would hide it under a record of its
        // own place there.
        if (TrashListing::holds(from))
            throw OperationProblem(Code::unsupported, from, "Already in the trash.");
        return prepared;
    }
    if (kind == FileOperationKind::deletePermanently) {
        if (detail::stampOf(from).mountRoot || from == "/")
            throw OperationProblem(Code::unsupported, from, "A mounted volume cannot be deleted.");
        return prepared;
    }
    if (kind == FileOperationKind::restore) {
        prepareRestore(prepared, request.destination());
        if (undo && Location::standardized(*prepared.target) != Location::standardized(undo->original))
            throw OperationProblem(Code::targetChanged, *prepared.target, "");
        return prepared;
    }

    // A reverse goes back exactly where its receipt says the item was.
    std::string parent;
    if (undo)
        parent = Location::parent(Location::standardized(undo->original));
    else if (kind == FileOperationKind::rename)
        parent = Location::parent(Location::standardized(from));
    else if (request.destination())
        parent = Location::standardized(*request.destination());
    else
        throw OperationProblem(Code::unsupported, "", "");
    const std::string target =
        undo ? Location::standardized(undo->original)
             : Location::appending(parent, request.name() ? *request.name() : Location::lastComponent(from));
    prepared.target = target;
    // The volume is the one the folder really is on, reached through links.
    const std::string volume = OperationFS::realFolder(parent);
    OperationFS::requireLocal(volume);
    struct stat info {};
    if (::lstat(target.c_str(), &info) == 0)
        prepared.existing = OperationFS::stamp(target);
    bool ontoSelf = prepared.existing && sameObject(*prepared.existing, first);
    if (!ontoSelf && prepared.existing && kind == FileOperationKind::rename &&
        sameButForInode(*prepared.existing, first) &&
        !contains(detail::folderNames(parent, true), Location::lastComponent(target))) {
        // No entry has the target's exact name, yet a lookup found the
        // source's twin: a case-insensitive volume (FUSE ones give each
        // spelling its own inode number) showing the source itself.
        prepared.existing = first;
        ontoSelf = true;
    }

    if (ontoSelf && kind == FileOperationKind::copy) {
        // Pasting into its own folder: a conflict that cannot be replaced.
    } else if (ontoSelf && kind == FileOperationKind::rename) {
        if (target == from)
            throw OperationProblem(Code::invalidName, target, "");
        // Two entries for one object are hard links, not a case-only
        // spelling of one entry: renaming over one would drop the other.
        const std::vector<std::string> names = detail::folderNames(parent, true);
        if (contains(names, Location::lastComponent(from)) &&
            contains(names, Location::lastComponent(target)))
            throw OperationProblem(Code::targetChanged, target, "");
    } else {
        OperationFS::validateRelationship(from, target);
    }

    const OperationFS::ExclusivePublish publish = OperationFS::exclusivePublish(volume);
    prepared.atomic = publish == OperationFS::ExclusivePublish::rename ||
                      (publish == OperationFS::ExclusivePublish::link && !first.isDirectory());
    if (undo) {
        // Never over anything: only where publishing cannot replace, and not
        // where something took the name since.
        if (!prepared.atomic)
            throw OperationProblem(Code::unsupported, target, "");
        if (prepared.existing && !ontoSelf)
            throw OperationProblem(Code::targetChanged, target, "");
        // Back across volumes by copying, keeping what that volume keeps.
        if (OperationFS::folderDevice(volume) != first.device)
            prepared.keepsMetadata = OperationFS::keepsPosixMetadata(volume);
    } else {
        // A rename within the volume keeps everything; only a copy can lose
        // metadata on a volume that cannot hold it.
        const bool copies = kind == FileOperationKind::copy || !prepared.atomic ||
                            OperationFS::folderDevice(volume) != first.device;
        prepared.keepsMetadata = !copies || OperationFS::keepsPosixMetadata(volume);
        if ((!prepared.atomic || !prepared.keepsMetadata) && !request.allowLimitedMetadata())
            throw OperationProblem(Code::metadataConsent, parent, "");
    }
    prepared.caseRename = kind == FileOperationKind::rename && ontoSelf;
    return prepared;
}

} // namespace dromel
