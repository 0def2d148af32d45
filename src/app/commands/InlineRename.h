#pragma once

#include "core/FileEntry.h"
#include "core/Uuid.h"

#include <QLineEdit>

#include <functional>
#include <map>
#include <string>

namespace dromel {

class BrowserStore;
class FileTable;

// The name editor laid over an item's name in the file list. Return hands
// the typed name on; Escape, leaving the field, another tab being shown or
// the item leaving the list close it without a change. One at a time per
// list; it deletes itself when closed.
class InlineRename : public QLineEdit {
    Q_OBJECT

public:
    using Versions = std::map<std::string, std::string>;
    using Commit =
        std::function<void(const std::string &path, const std::string &name, const Versions &versions)>;

    // Null when the item is not listed.
    static InlineRename *begin(FileTable &table, BrowserStore &store, const FileEntry &entry,
                               Versions versions, Commit commit);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;

private:
    InlineRename(FileTable &table, BrowserStore &store, const FileEntry &entry, Versions versions,
                 Commit commit);

    int row() const;
    void place();
    void selectBaseName(bool folder);
    void finish(bool commit);

    FileTable &m_table;
    BrowserStore &m_store;
    FileEntry m_entry;
    Versions m_versions;
    Commit m_commit;
    Uuid m_tab;
    bool m_finished = false;
};

} // namespace dromel
