#pragma once

#include "core/FileOperationKind.h"
#include "core/FileUndoRelocation.h"
#include "core/JsonSupport.h"
#include "core/PermissionChange.h"
#include "core/Uuid.h"

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace dromel {

// One requested operation, immutable but for the user's limited-metadata
// consent. Sources and destination are absolute paths.
class FileOperationRequest {
public:
    // Draws a fresh random id.
    FileOperationRequest(FileOperationKind kind, std::vector<std::string> sources,
                         std::optional<std::string> destination, std::optional<std::string> name,
                         bool allowLimitedMetadata, std::map<std::string, std::string> sourceVersions,
                         std::optional<FileUndoRelocation> undo);
    // The reverse of a command: one receipt per source, naming the item to
    // act on and where it goes back to.
    FileOperationRequest(FileOperationKind kind, std::vector<std::string> sources,
                         std::optional<std::string> destination, std::optional<std::string> name,
                         std::vector<FileUndoRelocation> receipts);

    const Uuid &id() const { return m_id; }
    FileOperationKind kind() const { return m_kind; }
    const std::vector<std::string> &sources() const { return m_sources; }
    const std::optional<std::string> &destination() const { return m_destination; }
    const std::optional<std::string> &name() const { return m_name; }
    // Source path -> version token captured when the user chose it.
    const std::map<std::string, std::string> &sourceVersions() const { return m_sourceVersions; }
    bool allowLimitedMetadata() const { return m_allowLimitedMetadata; }
    void setAllowLimitedMetadata(bool allow) { m_allowLimitedMetadata = allow; }
    // The first receipt of a reverse; absent for a command of the user's.
    const std::optional<FileUndoRelocation> &undo() const { return m_undo; }
    const std::vector<FileUndoRelocation> &undoReceipts() const { return m_undoReceipts; }
    // A reverse that brings back what an undo reversed: shown as the command
    // it redoes, not as an undo.
    bool redo() const { return m_redo; }
    void setRedo(bool redo) { m_redo = redo; }
    // The receipt of the item at `source` (compared standardized).
    const FileUndoRelocation *undoReceiptFor(const std::string &source) const;
    // What a changePermissions request sets (or, for its undo, puts back).
    const std::optional<PermissionChange> &permissions() const { return m_permissions; }
    void setPermissions(PermissionChange change) { m_permissions = std::move(change); }

    // A "sourceVersions" key that is not UTF-8 is written as the path's file
    // URL, which no absolute path can be mistaken for, and read back exactly;
    // a name that is not UTF-8 likewise (see encodedName).
    Json toJson() const;
    static FileOperationRequest fromJson(const Json &json);

    friend bool operator==(const FileOperationRequest &, const FileOperationRequest &) = default;

private:
    FileOperationRequest() = default;

    Uuid m_id;
    FileOperationKind m_kind = FileOperationKind::copy;
    std::vector<std::string> m_sources;
    std::optional<std::string> m_destination;
    std::optional<std::string> m_name;
    std::map<std::string, std::string> m_sourceVersions;
    bool m_allowLimitedMetadata = false;
    std::optional<FileUndoRelocation> m_undo;
    std::vector<FileUndoRelocation> m_undoReceipts;
    bool m_redo = false;
    std::optional<PermissionChange> m_permissions;
};

} // namespace dromel
