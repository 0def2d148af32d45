#pragma once

#include "core/FileEntryList.h"

#include <QListWidget>

#include <set>
#include <string>

namespace dromel {

// A plain list of the displayed names, standing in for the file table.
class PlainList : public QListWidget {
    Q_OBJECT
public:
    explicit PlainList(QWidget *parent = nullptr);
    void showEntries(const FileEntryList &entries);
    void selectIds(const std::set<std::string> &ids);
    std::set<std::string> selectedIds() const;
    const FileEntryList &entries() const { return m_entries; }

private:
    FileEntryList m_entries;
};

} // namespace dromel
