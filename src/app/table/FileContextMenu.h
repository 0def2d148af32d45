#pragma once

#include "table/ListCommand.h"

#include <functional>

class QMenu;
class QWidget;

namespace dromel {

// The file list's context menu, in the order the desktop's file managers
// use: on items, opening, then the clipboard and copy/move, then the item's
// own commands and its properties; on empty space, the folder's commands.
// Items run their command through `run`; `enabled` decides the ones that
// depend on the window (file commands ready, clipboard holding files);
// `fill` fills a submenu (isSubmenu) when the menu is built. The caller owns
// the menu.
namespace FileContextMenu {

struct Selection {
    int count = 0;
    // Exactly one item is selected and it is a folder the browser opens.
    bool singleFolder = false;
    // Every selected item is a folder the browser opens.
    bool onlyFolders = false;
    int rows = 0;
    bool hiddenShown = false;
    // The rows are a search's results.
    bool searchResults = false;
};

QMenu *build(QWidget *parent, const Selection &selection, const std::function<bool(ListCommand)> &enabled,
             const std::function<void(ListCommand)> &run,
             const std::function<void(ListCommand, QMenu *)> &fill = {});

} // namespace FileContextMenu
} // namespace dromel
