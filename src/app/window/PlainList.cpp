#include "window/PlainList.h"

#include <QStyle>

namespace dromel {

PlainList::PlainList(QWidget *parent) : QListWidget(parent) {
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setUniformItemSizes(true);
}

void PlainList::showEntries(const FileEntryList &entries) {
    m_entries = entries;
    clear();
    const QIcon folder = style()->standardIcon(QStyle::SP_DirIcon);
    const QIcon file = style()->standardIcon(QStyle::SP_FileIcon);
    for (const FileEntry &entry : m_entries)
        addItem(
            new QListWidgetItem(entry.isDirectory() ? folder : file, QString::fromStdString(entry.name())));
}

void PlainList::selectIds(const std::set<std::string> &ids) {
    clearSelection();
    for (int row = 0; row < count(); ++row)
        if (ids.count(m_entries[static_cast<std::size_t>(row)].id()))
            item(row)->setSelected(true);
}

std::set<std::string> PlainList::selectedIds() const {
    std::set<std::string> ids;
    for (const QModelIndex &index : selectionModel()->selectedRows())
        ids.insert(m_entries[static_cast<std::size_t>(index.row())].id());
    return ids;
}

} // namespace dromel
