#pragma once

#include "core/FileOperationKind.h"
#include "core/FileUndoRelocation.h"
#include "core/JsonSupport.h"
#include "core/Uuid.h"

#include <cstddef>
#include <vector>

namespace dromel {

// One finished task in the undo or redo history: the receipts of the items
// it changed. Without receipts it is a barrier that nothing older can be
// reversed across.
struct UndoEntry {
    Uuid id; // the task that left the receipts
    std::vector<FileUndoRelocation> receipts;
    // What that task did: its reverse follows from it (see UndoReversal).
    FileOperationKind kind = FileOperationKind::rename;
    // The user's command the entry stands for, and its number of items; a
    // redo entry keeps those of the command it was undone from.
    FileOperationKind command = FileOperationKind::rename;
    std::size_t count = 0;

    bool isBarrier() const { return receipts.empty(); }

    Json toJson() const;
    static UndoEntry fromJson(const Json &json);

    friend bool operator==(const UndoEntry &, const UndoEntry &) = default;
};

// Both histories, oldest first, as the journal keeps them between runs.
struct UndoHistory {
    std::vector<UndoEntry> undo;
    std::vector<UndoEntry> redo;

    std::string encoded() const;
    // Throws JsonDecodeError.
    static UndoHistory decode(const std::string &text);

    friend bool operator==(const UndoHistory &, const UndoHistory &) = default;
};

} // namespace dromel
