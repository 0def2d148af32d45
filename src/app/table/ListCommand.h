#pragma once

#include <QMetaType>

namespace dromel {

// What a key, a double-click or a context-menu item of the file list asks for.
// The list performs selectAll, deselectAll and preview itself and hands every
// other command to its owner (FileTable::commandRequested).
enum class ListCommand {
    open,
    openInNewTab,
    preview,
    copy,
    cut,
    paste,
    undo,
    rename,
    trash,
    newFolder,
    operations,
    copyPath,
    reveal,
    selectAll,
    deselectAll,
    refresh,
    settings,
};

} // namespace dromel

Q_DECLARE_METATYPE(dromel::ListCommand)
