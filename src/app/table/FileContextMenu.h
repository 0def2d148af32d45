#pragma once

#include "table/ListCommand.h"

#include <functional>

class QMenu;
class QWidget;

namespace dromel {

// The file list's context menu, in the browser's order: the item commands
// when something is selected, then the folder commands, then refresh and
// settings. Items run their command through `run`; `enabled` decides the
// ones that depend on the window (file commands ready, clipboard holding
// files). The caller owns the menu.
namespace FileContextMenu {

struct Selection {
    int count = 0;
    // Exactly one item is selected and it is a folder the browser opens.
    bool singleFolder = false;
    int rows = 0;
    // The rows are a search's results.
    bool searchResults = false;
};

QMenu *build(QWidget *parent, const Selection &selection, const std::function<bool(ListCommand)> &enabled,
             const std::function<void(ListCommand)> &run);

} // namespace FileContextMenu
} // namespace dromel
