#pragma once

#include "core/FileOperationTask.h"

#include <QString>

// How a task is named in the operations window and the window's banner: its
// verb, what it acts on (one item by name, several by count) and where to,
// such as "Copy 3 items to Stick" or "Rename “a.txt” to “b.txt”". An undo
// is named by the item it puts back.
namespace dromel::TaskTitle {

QString of(const FileOperationTask &task);

} // namespace dromel::TaskTitle
