#pragma once

#include "table/ListCommand.h"

#include <optional>

class QKeyEvent;

namespace dromel {

// The keys of the file list. Linux has no Command key: Ctrl plays its part
// (so Ctrl+C copies whatever windowsKeys says) and Alt plays Option's. With
// windowsKeys on, Return opens instead of renaming, Delete trashes without a
// modifier and F5 refreshes. Nothing means "not handled": the table's own
// handling (arrows, Page keys, type-ahead) then sees the key.
namespace ListKeys {

std::optional<ListCommand> command(const QKeyEvent &event, bool windowsKeys);

} // namespace ListKeys
} // namespace dromel
