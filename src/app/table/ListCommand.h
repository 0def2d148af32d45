#pragma once

#include <QMetaType>

namespace dromel {

// What a key, a double-click or a context-menu item of the file list asks for.
// The list performs selectAll, deselectAll and preview itself and hands every
// other command to its owner (FileTable::commandRequested).
enum class ListCommand {
    open,
    openInNewTab,
    openContainingFolder,
    preview,
    copy,
    cut,
    paste,
    undo,
    redo,
    rename,
    trash,
    deletePermanently,
    newFolder,
    operations,
    copyPath,
    reveal,
    selectAll,
    deselectAll,
    refresh,
    settings,
    // The desktop's commands: submenus (openWith, newDocument, sortBy) are
    // filled by the list's owner when the menu is built.
    openWith,
    otherApplication,
    openInTerminal,
    pasteInto,
    copyTo,
    moveTo,
    makeLink,
    newDocument,
    toggleHidden,
    sortBy,
    properties,
};

// The commands that stand for a submenu rather than an action.
constexpr bool isSubmenu(ListCommand command) {
    return command == ListCommand::openWith || command == ListCommand::newDocument ||
           command == ListCommand::sortBy;
}

// The commands that change files (clipboard, undo, rename, trash, new
// folder) or show the operations; the operation engine's window runs them.
constexpr bool isFileCommand(ListCommand command) {
    switch (command) {
    case ListCommand::copy:
    case ListCommand::cut:
    case ListCommand::paste:
    case ListCommand::undo:
    case ListCommand::redo:
    case ListCommand::rename:
    case ListCommand::trash:
    case ListCommand::deletePermanently:
    case ListCommand::newFolder:
    case ListCommand::operations:
    case ListCommand::pasteInto:
    case ListCommand::copyTo:
    case ListCommand::moveTo:
    case ListCommand::makeLink:
    case ListCommand::newDocument:
        return true;
    default:
        return false;
    }
}

} // namespace dromel

Q_DECLARE_METATYPE(dromel::ListCommand)
