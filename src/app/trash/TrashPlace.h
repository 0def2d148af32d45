#pragma once

#include "look/Icons.h"

#include <QIcon>
#include <QMimeDatabase>
#include <QString>

#include <functional>
#include <string>
#include <vector>

class QMenu;

namespace dromel {

class FileEntry;
class TrashReader;

// How the Trash's rows look in the file list: each row's icon by the name it
// had (its place in the trash has another), and a tooltip saying where it
// came from or why it cannot go back. Main thread only.
class TrashPlace {
public:
    explicit TrashPlace(const TrashReader &reader);

    QIcon icon(const FileEntry &entry);
    QString toolTip(const FileEntry &entry) const;
    // What the Trash's own commands act on.
    struct Commands {
        std::function<void(std::vector<std::string> paths)> restore;
        std::function<void(std::vector<std::string> paths, bool emptying)> erase;
    };
    // Puts Restore, Delete Permanently and Empty Trash first in the context
    // menu: Restore for the selected items that can go back, Delete
    // Permanently for the selected items, Empty Trash for every item.
    void extendMenu(QMenu *menu, const std::vector<FileEntry> &selected, const Commands &commands) const;
    // The sidebar row's theme icon.
    static const char *symbol(bool full) { return full ? "user-trash-full" : "user-trash"; }

private:
    const TrashReader &m_reader;
    Icons m_icons;
    QMimeDatabase m_mimeTypes;
};

} // namespace dromel
