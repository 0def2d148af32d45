#pragma once

#include "engine/OperationService.h"

#include <QString>

namespace dromel::UndoMenuText {

// The command an entry stands for, with its number of items ("Trash 3
// Items", "New Folder").
QString command(const UndoEntry &entry);
// What Ctrl+Z would undo ("Undo Trash 3 Items"), plain "Undo" when nothing.
QString undo(const OperationService &service);
// What redo would do again ("Redo Copy 2 Items"), plain "Redo" when nothing.
QString redo(const OperationService &service);

} // namespace dromel::UndoMenuText
