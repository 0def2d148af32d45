// Execution of one prepared item.
//
// Each route is a fixed sequence of steps. Before and after every step that
// changes a name on disk the task is written to the journal with the paths
// the step may leave (`mark`), so a crash at any instant leaves a record
// naming every stage, backup and moved item. The source is compared with its
// prepared manifest before each irreversible step, and new content is
// published with an exclusive rename that fails rather than overwrite. Any
// failure ends in the error exit: a backup whose place is still empty is put
// back, and whatever of the recovery list exists is reported.
#include "engine/OperationExecutor.h"

#include "core/FileName.h"
#include "core/Location.h"
#include "core/OperationProblem.h"
#include "engine/OperationCopy.h"
#include "engine/OperationErase.h"
#include "engine/OperationFS.h"
#include "engine/OperationPermissions.h"
#include "engine/OperationStages.h"
#include "engine/OperationTrash.h"
#include "engine/TrashListing.h"
#include "engine/VolumeFlush.h"
#include "engine/detail/Beside.h"
#include "engine/detail/CopiedMetadata.h"
#include "engine/detail/MetadataTransfer.h"
#include "engine/detail/UndoVersion.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <exception>
#include <functional>
#include <map>
#include <thread>

namespace dromel {

namespace {

using Code = OperationProblem::Code;

bool exists(const std::string &path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0;
}

bool sameObject(const ObjectStamp &a, const ObjectStamp &b) {
    return a.device == b.device && a.inode == b.inode && a.type() == b.type();
}

// The same content and attributes, wherever and under whichever number.
bool sameButForPlace(const ObjectStamp &a, const ObjectStamp &b) {
    return a.device == b.device && a.mode == b.mode && a.size == b.size && a.modified == b.modified &&
           a.nanos == b.nanos && a.owner == b.owner && a.group == b.group;
}

// What a copy carries over besides its inode flags: the attributes of the
// user and system namespaces (security.* and trusted.* need privilege and may
// be set differently by the target's own policy).
std::map<std::string, std::string> copiedAttributes(const OperationMetadata &metadata) {
    std::map<std::string, std::string> copied;
    for (const auto &[name, value] : metadata.attributes)
        if (name.starts_with("user.") || name.starts_with("system."))
            copied.emplace(name, value);
    return copied;
}

bool metadataMatches(const TreeManifest &a, const TreeManifest &b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const TreeRecord &x = a[i];
        const TreeRecord &y = b[i];
        if (copiedAttributes(x.metadata) != copiedAttributes(y.metadata) ||
            x.metadata.acl != y.metadata.acl ||
            (x.metadata.flags & detail::kTransferredFlags) !=
                (y.metadata.flags & detail::kTransferredFlags) ||
            x.stamp.modified != y.stamp.modified || x.stamp.nanos != y.stamp.nanos)
            return false;
        // The copier drops set-id bits on purpose where the copy's owner or
        // group differs; links have no mode of their own.
        if (!x.stamp.isSymbolicLink() &&
            (y.stamp.mode & 07777) !=
                detail::copiedMode(static_cast<mode_t>(x.stamp.mode), static_cast<uid_t>(x.stamp.owner),
                                   static_cast<gid_t>(x.stamp.group), static_cast<uid_t>(y.stamp.owner),
                                   static_cast<gid_t>(y.stamp.group)))
            return false;
    }
    return true;
}

// Two independent walks at once, one per core: the source and the copy are
// different files, so neither waits for the other. A failure of `first` is
// reported before one of `second`, as if they ran in turn. Each is hashed or
// only stamped as asked.
std::pair<TreeManifest, TreeManifest>
manifestsOf(const std::string &first, bool hashFirst, const std::string &second, bool hashSecond,
            const OperationCancellation &cancel,
            OperationFS::HashOrder firstOrder = OperationFS::HashOrder::fromStart) {
    TreeManifest a, b;
    detail::runBeside([&] { a = OperationFS::manifest(first, cancel, hashFirst, firstOrder); },
                      [&] { b = OperationFS::manifest(second, cancel, hashSecond); });
    return {std::move(a), std::move(b)};
}

std::string hiddenName(const std::string &folder, const char *prefix) {
    return Location::appending(folder, std::string(prefix) + Uuid::random().text());
}

// "archive.tar.gz" -> ("archive.tar", "gz"); a leading or final dot does not
// start an extension.
std::pair<std::string, std::string> splitExtension(const std::string &name) {
    const std::size_t dot = name.rfind('.');
    if (dot == std::string::npos || dot == 0 || dot + 1 == name.size())
        return {name, ""};
    return {name.substr(0, dot), name.substr(dot + 1)};
}

struct Backup {
    std::string path;
    ObjectStamp stamp;
};

class Perform {
public:
    Perform(const OperationExecutor &executor, const PreparedOperation &prepared,
            const FileOperationRequest &request, FileOperationTask task, const OperationCancellation &cancel,
            const OperationExecutor::Event &event)
        : m_executor(executor), m_prepared(prepared), m_request(request), m_working(std::move(task)),
          m_base(m_working.recoveryPaths), m_baseStages(m_working.stages), m_cancel(cancel), m_event(event),
          m_bytes(prepared.bytes()) {
        if (prepared.target)
            m_target = *prepared.target;
    }

    FileOperationResult run(ConflictChoice choice) {
        try {
            return route(choice);
        } catch (const OperationCancelled &) {
            return errorExit(std::nullopt, ItemOutcome::cancelled);
        } catch (const OperationProblem &problem) {
            return errorExit(problem, ItemOutcome::failed);
        } catch (const std::exception &error) {
            return errorExit(OperationProblem(Code::system, m_prepared.source.value_or(""), error.what()),
                             ItemOutcome::failed);
        } catch (...) {
            return errorExit(
                OperationProblem(Code::system, m_prepared.source.value_or(""), "Unknown failure"),
                ItemOutcome::failed);
        }
    }

private:
    FileOperationResult route(ConflictChoice choice) {
        checkCancellation(m_cancel);
        if (choice == ConflictChoice::cancel)
            throw OperationCancelled();
        const std::optional<FileConflict> conflict = m_prepared.conflict();
        if (conflict && choice == ConflictChoice::skip) {
            FileOperationResult result;
            result.source = m_prepared.source;
            result.destination = m_prepared.target;
            result.outcome = ItemOutcome::skipped;
            return result;
        }
        if (conflict && choice == ConflictChoice::keepBoth)
            m_target = freeVariant(*m_prepared.target);

        const FileOperationKind kind = m_request.kind();
        if (kind == FileOperationKind::createDirectory)
            return create();
        if (!m_prepared.source)
            throw OperationProblem(Code::unsupported, "", "");
        const bool replacing = conflict && choice == ConflictChoice::replace;
        if (replacing && !conflict->canReplace)
            throw OperationProblem(Code::unsupported, m_target, "");
        if (kind == FileOperationKind::trash)
            return trash();
        if (kind == FileOperationKind::restore)
            return restore(replacing);
        if (kind == FileOperationKind::deletePermanently)
            return erase();
        if (kind == FileOperationKind::changePermissions)
            return permissions();
        if (kind == FileOperationKind::makeLink)
            return link(replacing);
        const bool relocating = kind == FileOperationKind::rename || kind == FileOperationKind::move;
        if (relocating && !replacing && m_prepared.atomic &&
            OperationFS::folderDevice(Location::parent(m_target)) == first().device)
            return relocate();
        if (kind == FileOperationKind::rename && m_prepared.caseRename && !m_prepared.atomic)
            return caseCopy();
        return copy(replacing);
    }

    const ObjectStamp &first() const { return m_prepared.records.front().stamp; }
    const std::string &source() const { return *m_prepared.source; }

    std::string freeVariant(const std::string &target) const {
        const std::string folder = Location::parent(target);
        const auto [base, extension] = splitExtension(Location::lastComponent(target));
        for (int n = 2; n < 10000; ++n) {
            std::string name = base + " (" + std::to_string(n) + ")";
            if (!extension.empty())
                name += "." + extension;
            // Never a shortened or different name: one that no longer fits
            // is refused as it stands.
            FileName::validate(name, true);
            const std::string candidate = Location::appending(folder, name);
            struct stat info {};
            if (::lstat(candidate.c_str(), &info) == 0)
                continue;
            if (errno != ENOENT)
                throw OperationProblem::fromErrno(errno, candidate);
            return candidate;
        }
        throw OperationProblem(Code::targetChanged, target, "");
    }

    void remember(const std::string &path) {
        for (const std::string &known : m_recovery)
            if (known == path)
                return;
        m_recovery.push_back(path);
    }

    void mark(OperationPhase phase, const char *label) {
        m_working.phase = phase;
        save();
        m_executor.checkpoint(label);
        send(phase, 0);
    }

    void save() {
        m_working.recoveryPaths = m_base;
        m_working.recoveryPaths.insert(m_working.recoveryPaths.end(), m_recovery.begin(), m_recovery.end());
        m_working.stages = m_baseStages;
        if (m_stage)
            m_working.stages.push_back(*m_stage);
        if (m_setAside)
            m_working.stages.push_back(*m_setAside);
        m_executor.journal.save(m_working);
    }

    // A step whose leftovers the last journal write already names: only the
    // crash tests' checkpoint and the progress report, no write.
    void pass(OperationPhase phase, const char *label) {
        m_working.phase = phase;
        m_executor.checkpoint(label);
        send(phase, 0);
    }

    void send(OperationPhase phase, std::int64_t done) const {
        if (m_event)
            m_event(phase, done, m_bytes);
    }

    // `now` may be a manifest without digests: the prepared one was hashed,
    // and an object whose stamp is as it was then still has that content.
    void requireUnchanged(const TreeManifest &now) const {
        if (!OperationFS::unchangedSince(m_prepared.records, now))
            throw OperationProblem(Code::sourceChanged, m_prepared.source.value_or(""), "");
    }

    // Where stamps cannot prove content the source is hashed again.
    bool rehashSource() const {
        if (!m_rehashSource)
            m_rehashSource = !OperationFS::stampsProveContent(source(), m_prepared.records);
        return *m_rehashSource;
    }

    void unchangedSource() const {
        if (!m_prepared.source)
            throw OperationProblem(Code::sourceChanged, "", "");
        requireUnchanged(OperationFS::manifest(source(), m_cancel, rehashSource()));
    }

    // The source and another tree walked at once; the source is checked.
    TreeManifest withUnchangedSource(const std::string &other, bool hashOther) const {
        std::pair<TreeManifest, TreeManifest> both =
            manifestsOf(other, hashOther, source(), rehashSource(), m_cancel);
        requireUnchanged(both.second);
        return std::move(both.first);
    }

    // `other` unchanged since `hashed` was taken of it, and the source since
    // preparation; `code` for `other`.
    void requireBothUnchanged(const std::string &other, const TreeManifest &hashed, Code code) const {
        const bool rehash = !OperationFS::stampsProveContent(other, hashed);
        if (!OperationFS::unchangedSince(hashed, withUnchangedSource(other, rehash)))
            throw OperationProblem(code, other, "");
    }

    std::string moveToTrash(const std::string &path, const std::string &originalPath = {}) const {
        std::string location = OperationTrash::trashItem(path, originalPath);
        if (location.empty())
            throw OperationProblem(Code::interrupted, path, "");
        return location;
    }

    OperationCopy::Progress copyProgress() const {
        return [this](std::int64_t done) { send(OperationPhase::copying, done); };
    }

    FileOperationResult success(std::optional<std::string> source,
                                std::optional<FileUndoRelocation> undo = {}) {
        FileOperationResult result;
        result.source = std::move(source);
        if (!m_target.empty())
            result.destination = m_target;
        result.outcome = ItemOutcome::succeeded;
        result.recoveryPaths = m_resultRecovery;
        result.undo = std::move(undo);
        return result;
    }

    // What a reverse needs of the item now at `now`: `root` is its stamp after
    // its last rename, `records` the rest of it as this route left it.
    FileUndoRelocation receipt(const std::string &now, const std::string &was, const ObjectStamp &root,
                               const TreeManifest &records) const {
        FileUndoRelocation made{m_request.id(), now, was, root.identityToken(),
                                detail::undoVersion(root, records)};
        if (m_replacedInTrash) {
            made.replaced = m_replacedInTrash->first;
            made.replacedIdentity = m_replacedInTrash->second;
        }
        return made;
    }

    // The item a replace takes the place of goes aside under a hidden name
    // first, so it is never lost if what replaces it fails.
    void setExistingAside() {
        const std::string backup = hiddenName(Location::parent(m_target), ".dromel-replaced-");
        requireExisting();
        remember(backup);
        mark(OperationPhase::committing, "before-backup");
        requireExisting();
        OperationFS::renameExclusive(m_target, backup);
        m_backup = Backup{backup, OperationFS::stamp(backup)};
        mark(OperationPhase::committing, "after-backup");
    }

    // Under the name it had, so a trash view shows what the user knew.
    void trashSetAside() {
        if (!(OperationFS::stamp(m_backup->path) == m_backup->stamp))
            throw OperationProblem(Code::targetChanged, m_backup->path, "");
        const std::string location = moveToTrash(m_backup->path, m_target);
        m_replacedInTrash = {location, m_backup->stamp.identityToken()};
        m_backup.reset(); // in the trash now: nothing to put back
        remember(location);
        m_resultRecovery.push_back(location);
    }

    // An undo that trashed what a command made puts back what that command
    // had replaced: the very object (its record naming this place, its
    // identity the receipt's), renamed out of the trash over nothing, and
    // then its record removed, as a restore does. One that changed, left
    // the trash or whose place was taken since stays as it is: the undo of
    // the command's own item stands either way.
    void putBackReplaced(const FileUndoRelocation &undo, const std::string &trashedCopy) {
        const std::string &item = *undo.replaced;
        const std::string place = Location::standardized(source());
        const auto same = [&] {
            try {
                return TrashListing::recordOf(item).second == place &&
                       OperationFS::stamp(item).identityToken() == undo.replacedIdentity && !exists(place);
            } catch (const OperationProblem &) {
                return false;
            }
        };
        if (!same())
            return;
        m_recovery = {trashedCopy, item};
        mark(OperationPhase::committing, "before-put-back");
        if (!same())
            return;
        try {
            OperationFS::renameExclusive(item, place);
        } catch (const OperationProblem &) {
            return; // the place was taken meanwhile: never over it
        }
        pass(OperationPhase::committing, "after-put-back");
        OperationTrash::forgetRecord(item);
        m_recovery = {trashedCopy};
    }

    FileOperationResult create() {
        if (m_target.empty())
            throw OperationProblem(Code::invalidName, "", "");
        // A taken name gives the next free one ("New Folder 2"), as other
        // file managers do; the user's item there is never named as ours.
        const std::string wanted = m_target;
        for (int n = 2;; ++n) {
            if (!exists(m_target)) {
                m_recovery = {m_target};
                mark(OperationPhase::committing, "before-create");
                if (::mkdir(m_target.c_str(), 0755) == 0) {
                    m_targetMade = true;
                    break;
                }
                const int error = errno;
                m_recovery.clear();
                if (error != EEXIST)
                    throw OperationProblem::fromErrno(error, m_target);
            }
            if (n >= 10000)
                throw OperationProblem(Code::targetChanged, wanted, "");
            const std::string name = Location::lastComponent(wanted) + " " + std::to_string(n);
            FileName::validate(name, true);
            m_target = Location::appending(Location::parent(wanted), name);
        }
        const ObjectStamp made = OperationFS::stamp(m_target);
        mark(OperationPhase::committing, "after-create");
        return success(std::nullopt, receipt(m_target, m_target, made, {}));
    }

    FileOperationResult trash() {
        unchangedSource();
        m_recovery = {source()};
        mark(OperationPhase::committing, "before-trash");
        unchangedSource();
        const std::string location = moveToTrash(source());
        const ObjectStamp trashed = OperationFS::stamp(location);
        if (!sameObject(trashed, first())) {
            remember(location);
            throw OperationProblem(Code::sourceChanged, location, "");
        }
        m_recovery = {location};
        mark(OperationPhase::committing, "after-trash");
        m_target = location;
        m_resultRecovery = {location};
        if (const FileUndoRelocation *undo = m_request.undoReceiptFor(source()); undo && undo->replaced)
            putBackReplaced(*undo, location);
        return success(source(), receipt(location, source(), trashed, m_prepared.records));
    }

    // Deletion for good. The item leaves its place in one rename to a hidden
    // name beside the trash's files/ and info/ (beside the item elsewhere);
    // only then does its record go, as a restore does, and then the hidden
    // tree is removed. A crash leaves the item whole in the trash with its
    // record, or whole under the hidden name the journal names (its record
    // perhaps left, listed as one whose item is gone): never an item in the
    // trash without its record, never half an item in the trash.
    FileOperationResult erase() {
        const auto unchanged = [this] { requireUnchanged(OperationFS::manifest(source(), m_cancel, false)); };
        unchanged();
        std::optional<std::string> trash;
        try {
            trash = TrashListing::recordOf(source()).first;
        } catch (const OperationProblem &) {
            // Not in a trash, or an item there without a usable record.
            const std::string folder = Location::parent(Location::parent(source()));
            if (Location::lastComponent(Location::parent(source())) == "files" &&
                exists(Location::appending(folder, "info")))
                trash = folder;
        }
        const std::string staging =
            hiddenName(trash ? *trash : Location::parent(source()), ".dromel-delete-");
        m_recovery = {source(), staging};
        mark(OperationPhase::committing, "before-delete");
        unchanged();
        checkCancellation(m_cancel);
        OperationFS::renameExclusive(source(), staging);
        if (OperationFS::stamp(staging).identityToken() != first().identityToken())
            throw OperationProblem(Code::sourceChanged, staging, "");
        m_recovery = {staging};
        // Named with its identity, so a review's clean-up may finish the
        // removal of this object and of nothing that took its name since.
        m_setAside = OperationStage{staging, first().device, first().inode, first().owner, 0};
        mark(OperationPhase::committing, "after-stage");
        if (trash) {
            OperationTrash::forgetRecord(source());
            mark(OperationPhase::committing, "after-record");
        }
        OperationErase::removeTree(staging, m_cancel);
        m_recovery.clear();
        m_setAside.reset();
        mark(OperationPhase::committing, "after-delete");
        FileOperationResult result = success(source());
        result.removed = FileRemoval{source(), m_bytes, static_cast<std::int64_t>(m_prepared.records.size()),
                                     first().modified, first().identityToken()};
        return result;
    }

    // Back to the path the item's record names: folders missing on the way
    // are made, an item in its place is moved aside (when replacing), the
    // item is renamed out of the trash, and only then is its record removed.
    // A crash in between leaves a record without its item, which the Trash
    // lists as such, and the journal names where the item went. One journal
    // write before the rename names every place the item, the folders made
    // for it and a replaced item can be found at afterwards, so the steps
    // after it write nothing more: the task's end is written by the service.
    FileOperationResult restore(bool replacing) {
        const auto unchanged = [this] {
            if (!(OperationFS::stamp(source()) == first()))
                throw OperationProblem(Code::sourceChanged, source(), "");
        };
        unchanged();
        std::vector<std::string> missing;
        for (std::string folder = Location::parent(m_target); !exists(folder);
             folder = Location::parent(folder))
            missing.insert(missing.begin(), folder);
        m_recovery = {source(), m_target};
        for (const std::string &folder : missing)
            remember(folder);
        mark(OperationPhase::committing, "before-restore");
        for (const std::string &folder : missing)
            if (::mkdir(folder.c_str(), 0755) != 0 && errno != EEXIST)
                throw OperationProblem::fromErrno(errno, folder);
        if (replacing)
            setExistingAside();
        unchanged();
        checkCancellation(m_cancel);
        publish(source());
        const ObjectStamp moved = OperationFS::stamp(m_target);
        if (moved.identityToken() != first().identityToken())
            throw OperationProblem(Code::targetChanged, m_target, "");
        m_recovery = {m_target};
        if (m_backup)
            remember(m_backup->path);
        pass(OperationPhase::committing, "after-restore");
        OperationTrash::forgetRecord(source());
        if (m_backup)
            trashSetAside();
        pass(OperationPhase::committing, "after-record");
        return success(source(), receipt(m_target, source(), moved, m_prepared.records));
    }

    // An undo of several items carries the old modes of all of them; each
    // item puts back only its own and those of what it encloses.
    static std::vector<ModeReceipt> restoresOf(const PermissionChange &change, const std::string &item) {
        const std::string root = Location::standardized(item);
        std::vector<ModeReceipt> own;
        for (const ModeReceipt &receipt : change.restores) {
            const std::string path = Location::standardized(receipt.path);
            if (path == root || (path.size() > root.size() && path.compare(0, root.size(), root) == 0 &&
                                 (root.back() == '/' || path[root.size()] == '/')))
                own.push_back(receipt);
        }
        return own;
    }

    // One journal step around the whole change: a crash leaves modes that
    // are each either old or new, and the item named for review.
    FileOperationResult permissions() {
        const PermissionChange &change = *m_request.permissions();
        m_recovery = {source()};
        mark(OperationPhase::committing, "before-permissions");
        std::vector<std::string> left;
        if (change.restores.empty())
            OperationPermissions::apply(source(), m_prepared.records, change, m_cancel, m_modes);
        else
            left = OperationPermissions::restore(restoresOf(change, source()), m_cancel);
        m_recovery.clear(); // every mode is as wanted, or as the user left it
        mark(OperationPhase::committing, "after-permissions");
        if (!left.empty())
            throw OperationProblem(Code::sourceChanged, left.front(), "");
        // Every change gets a receipt, one that changed nothing too: a task
        // of several items is undone as a whole.
        std::optional<FileUndoRelocation> receipt;
        if (!m_request.undo())
            receipt =
                FileUndoRelocation{m_request.id(), source(), source(), first().identityToken(), std::nullopt};
        FileOperationResult result = success(source(), std::move(receipt));
        result.modes = m_modes;
        return result;
    }

    // symlink() never replaces what holds the name, so the link is made in
    // place; a replaced item is moved aside first and trashed after.
    FileOperationResult link(bool replacing) {
        if (replacing)
            setExistingAside();
        remember(m_target);
        mark(OperationPhase::committing, "before-link");
        checkCancellation(m_cancel);
        if (::symlink(Location::standardized(source()).c_str(), m_target.c_str()) != 0) {
            const int error = errno;
            if (error == EEXIST)
                throw OperationProblem(Code::targetChanged, m_target, "");
            throw OperationProblem::fromErrno(error, m_target);
        }
        m_targetMade = true;
        const ObjectStamp made = OperationFS::stamp(m_target);
        mark(OperationPhase::committing, "after-link");
        if (m_backup) {
            trashSetAside();
            mark(OperationPhase::committing, "after-backup-trash");
        }
        std::optional<FileUndoRelocation> receipt;
        if (!m_request.undo() && made.born > 0)
            receipt = this->receipt(m_target, source(), made, TreeManifest{});
        return success(source(), std::move(receipt));
    }

    FileOperationResult relocate() {
        unchangedSource();
        m_recovery = {source(), m_target};
        mark(OperationPhase::committing, "before-move");
        unchangedSource();
        bool linked = false;
        if (!m_prepared.existing || !sameObject(*m_prepared.existing, first())) {
            linked = publish(source()) == OperationFS::ExclusivePublish::link;
            m_targetMade = true;
        } else {
            // A case-only rename: through a hidden name, since the volume
            // sees both spellings as one entry.
            const std::string staging = hiddenName(Location::parent(m_target), ".dromel-rename-");
            remember(staging);
            mark(OperationPhase::committing, "before-case-rename");
            unchangedSource();
            OperationFS::renameExclusive(source(), staging);
            OperationFS::renameExclusive(staging, m_target);
            m_targetMade = true;
        }
        const ObjectStamp moved = OperationFS::stamp(m_target);
        // A volume without stable inode numbers (FUSE) may number the new
        // link anew; link() itself guarantees it is the same object.
        if (moved.identityToken() != first().identityToken() && !(linked && sameButForPlace(moved, first())))
            throw OperationProblem(Code::targetChanged, m_target, "");
        mark(OperationPhase::committing, "after-move");
        return success(source(), receipt(m_target, source(), moved, m_prepared.records));
    }

    // The volume cannot rename exclusively and sees both spellings as one
    // name: copy out, trash the original, copy back, trash the stage.
    FileOperationResult caseCopy() {
        const std::string stage = hiddenName(Location::parent(m_target), ".dromel-case-");
        m_recovery = {stage, source()};
        mark(OperationPhase::copying, "before-case-copy");
        hashingSourceWhile([&] {
            OperationCopy::tree(source(), stage, m_prepared.records, true, m_cancel, copyProgress(),
                                OperationCopy::Verify::byCaller);
        });
        mark(OperationPhase::verifying, "verify-case-stage");
        const TreeManifest staged = OperationFS::manifest(stage, m_cancel, true);
        if (!OperationFS::sameContent(m_prepared.records, staged))
            throw OperationProblem(Code::verification, stage, "");
        mark(OperationPhase::committing, "before-case-trash");
        unchangedSource();
        checkCancellation(m_cancel);
        const std::string sourceTrash = moveToTrash(source());
        remember(sourceTrash);
        if (!sameObject(OperationFS::stamp(sourceTrash), first()))
            throw OperationProblem(Code::sourceChanged, sourceTrash, "");
        remember(m_target);
        m_targetMade = true; // the original is in the trash: the name was free
        mark(OperationPhase::copying, "after-case-trash");
        OperationCopy::tree(stage, m_target, staged, true, m_cancel, copyProgress(),
                            OperationCopy::Verify::byCaller);
        mark(OperationPhase::verifying, "verify-case-target");
        checkCaseCopy(stage, staged, Code::verification);
        mark(OperationPhase::committing, "after-case-publish");
        checkCaseCopy(stage, staged, Code::targetChanged);
        remember(moveToTrash(stage));
        mark(OperationPhase::committing, "after-case-cleanup");
        m_resultRecovery = {sourceTrash};
        return success(source());
    }

    void checkCaseCopy(const std::string &stage, const TreeManifest &staged, Code code) const {
        const auto [target, stageNow] =
            manifestsOf(m_target, true, stage, !OperationFS::stampsProveContent(stage, staged), m_cancel);
        if (!OperationFS::sameContent(m_prepared.records, target))
            throw OperationProblem(code, m_target, "");
        if (!OperationFS::unchangedSince(staged, stageNow))
            throw OperationProblem(code, stage, "");
    }

    FileOperationResult copy(bool replacing) {
        const bool atomic = m_prepared.atomic;
        // What the volume keeps, without a check of the rest, where it
        // cannot keep everything.
        const bool limited = !m_prepared.keepsMetadata;
        if ((limited || !atomic) && !m_request.allowLimitedMetadata() && !m_request.undo())
            throw OperationProblem(Code::metadataConsent, Location::parent(m_target), "");
        const std::string stage = atomic ? hiddenName(Location::parent(m_target), ".dromel-copy-") : m_target;
        m_recovery = {stage};
        m_stage = OperationStages::begin(stage);
        mark(OperationPhase::copying, "before-copy");
        const VolumeFlush flush(Location::parent(stage));
        hashingSourceWhile([&] {
            OperationCopy::tree(source(), stage, m_prepared.records, limited, m_cancel, copyProgress(),
                                OperationCopy::Verify::byCaller, &flush);
        });
        m_stage->inode = OperationFS::stamp(stage).inode;
        pass(OperationPhase::verifying, "after-copy");
        const TreeManifest staged = verifiedStage(stage, !limited, flush);
        checkCancellation(m_cancel);

        if (replacing)
            setExistingAside();
        remember(m_target);
        mark(OperationPhase::committing, "before-publish");
        // Stamps, not a second hashing: the stage was hashed after its last
        // write by this task, so any write since shows in its change time.
        requireBothUnchanged(stage, staged, Code::targetChanged);
        checkCancellation(m_cancel);
        if (atomic)
            publish(stage);
        m_stage.reset();
        m_targetMade = true;
        const ObjectStamp published = OperationFS::stamp(m_target);
        mark(OperationPhase::committing, "after-publish");

        if (m_backup) {
            trashSetAside();
            mark(OperationPhase::committing, "after-backup-trash");
        }
        if (m_request.kind() == FileOperationKind::copy)
            return success(source(), receipt(m_target, source(), published, staged));

        // A move or rename by copying: the source goes to the trash once the
        // published copy is known to hold exactly its content.
        checkCancellation(m_cancel);
        const TreeManifest target = requirePublished();
        remember(source());
        mark(OperationPhase::committing, "before-source-trash");
        requireBothUnchanged(m_target, target, Code::targetChanged);
        const std::string location = moveToTrash(source());
        remember(location);
        m_resultRecovery.push_back(location);
        mark(OperationPhase::committing, "after-source-trash");
        return success(source(), receipt(m_target, source(), published, staged));
    }

    // Preparation stamped the source without reading it. Its bytes are hashed
    // here on the other core while `copy` reads them, so the disk reads them
    // once; the digests join the prepared manifest only if every stamp taken
    // with them is still the prepared one. A failed copy stops the hashing.
    void hashingSourceWhile(const std::function<void()> &copy) {
        const bool hashed = std::all_of(m_prepared.records.begin(), m_prepared.records.end(),
                                        [](const TreeRecord &r) { return !r.stamp.isRegular() || r.digest; });
        if (hashed) {
            copy();
            return;
        }
        Cancellation stop;
        TreeManifest manifest;
        std::exception_ptr failure;
        std::atomic<bool> finished = false;
        std::thread hasher([&] {
            try {
                manifest = OperationFS::manifest(source(), stop, true);
            } catch (...) {
                failure = std::current_exception();
            }
            finished = true;
        });
        try {
            copy();
        } catch (...) {
            stop.cancel();
            hasher.join();
            throw;
        }
        // The hashing may still be behind the copy: the task's own
        // cancellation reaches it from here.
        while (!finished) {
            if (m_cancel.isCancelled())
                stop.cancel();
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        hasher.join();
        if (failure)
            std::rethrow_exception(failure);
        if (!OperationFS::unchangedSince(manifest, m_prepared.records))
            throw OperationProblem(Code::sourceChanged, source(), "");
        m_prepared.records = std::move(manifest);
    }

    // The stage's manifest, checked against the source's; the source's
    // stamps are checked in the same pass. The copy left the hashing of its
    // files to this manifest, so each copied byte is hashed once here: a
    // source rewritten while it was copied shows as a content difference and
    // is told apart from a bad copy by the source's changed stamps.
    // The disk writes the copy meanwhile: it is durable before this returns,
    // and so before anything can be published. The journal takes the stage's
    // inode in the same time: its write waits for the disk too, as the file
    // system commits the copy's data before the journal's.
    TreeManifest verifiedStage(const std::string &stage, bool withMetadata, const VolumeFlush &flush) {
        std::pair<TreeManifest, TreeManifest> both;
        // A failure of the manifests is the one reported when both fail.
        detail::runBeside(
            [&] {
                both = manifestsOf(stage, true, source(), rehashSource(), m_cancel,
                                   OperationFS::HashOrder::fromEnd);
            },
            [&] {
                save();
                flush.wait(stage);
            });
        if (!OperationFS::sameContent(m_prepared.records, both.first)) {
            requireUnchanged(both.second);
            throw OperationProblem(Code::verification, stage, "");
        }
        if (withMetadata && !metadataMatches(m_prepared.records, both.first))
            throw OperationProblem(Code::verification, stage, "Metadata");
        requireUnchanged(both.second);
        return std::move(both.first);
    }

    // An item that took the target's name meanwhile is left alone.
    OperationFS::ExclusivePublish publish(const std::string &from) const {
        try {
            return OperationFS::renameExclusive(from, m_target);
        } catch (const OperationProblem &) {
            if (exists(m_target))
                throw OperationProblem(Code::targetChanged, m_target, "");
            throw;
        }
    }

    void requireExisting() const {
        if (!m_prepared.existing || !(OperationFS::stamp(m_target) == *m_prepared.existing))
            throw OperationProblem(Code::targetChanged, m_target, "");
    }

    // The published item hashed once more (a rename may not change its
    // stamp, so the stage's hashing cannot vouch for what is there now), the
    // source by its stamps. Returns the target's manifest.
    TreeManifest requirePublished() const {
        TreeManifest target = withUnchangedSource(m_target, true);
        if (!OperationFS::sameContent(m_prepared.records, target))
            throw OperationProblem(Code::targetChanged, m_target, "");
        return target;
    }

    FileOperationResult errorExit(std::optional<OperationProblem> problem, ItemOutcome outcome) {
        if (m_backup && !exists(m_target)) {
            try {
                if (OperationFS::stamp(m_backup->path) == m_backup->stamp)
                    OperationFS::renameExclusive(m_backup->path, m_target);
            } catch (const std::exception &) {
                // The backup stays where it is and is reported below.
            }
        }
        FileOperationResult result;
        result.source = m_prepared.source;
        if (!m_target.empty())
            result.destination = m_target;
        result.outcome = outcome;
        result.problem = std::move(problem);
        result.modes = m_modes;
        // An unpublished stage is this task's scratch, not the user's.
        if (m_stage && OperationStages::removeIfOwn(*m_stage))
            result.removedStages.push_back(m_stage->path);
        const bool stageLeft = m_stage && OperationStages::isOwn(*m_stage);
        for (const std::string &path : m_recovery) {
            // Never name what took the target's place as ours.
            const bool ours = m_stage && path == m_stage->path ? stageLeft : path != m_target || m_targetMade;
            if (ours && exists(path))
                result.recoveryPaths.push_back(path);
        }
        return result;
    }

    const OperationExecutor &m_executor;
    PreparedOperation m_prepared; // its manifest gains the digests the copy's hashing finds
    const FileOperationRequest &m_request;
    FileOperationTask m_working;
    const std::vector<std::string> m_base; // the task's paths as handed in
    const std::vector<OperationStage> m_baseStages;
    const OperationCancellation &m_cancel;
    const OperationExecutor::Event &m_event;
    const std::int64_t m_bytes; // summed once: progress reports it per file
    std::string m_target;
    std::vector<std::string> m_recovery;       // what this item may leave
    std::vector<std::string> m_resultRecovery; // trash locations a success reports
    std::optional<Backup> m_backup;            // the replaced item, moved aside
    std::optional<OperationStage> m_stage;     // made, not yet published
    std::optional<OperationStage> m_setAside;  // what a deletion moved aside to remove
    // The replaced item's place in the trash and its identity token there.
    std::optional<std::pair<std::string, std::string>> m_replacedInTrash;
    bool m_targetMade = false;                  // what is at m_target is this item's
    std::vector<ModeReceipt> m_modes;           // old modes of what a permission change changed
    mutable std::optional<bool> m_rehashSource; // decided once per item
};

} // namespace

FileOperationResult OperationExecutor::perform(const PreparedOperation &prepared,
                                               const FileOperationRequest &request, ConflictChoice choice,
                                               FileOperationTask task, const OperationCancellation &cancel,
                                               const Event &event) const {
    return Perform(*this, prepared, request, std::move(task), cancel, event).run(choice);
}

} // namespace dromel
