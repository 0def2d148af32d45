#pragma once

#include "sidebar/SidebarNode.h"

#include <QAbstractItemModel>
#include <QIcon>

#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace dromel {

// The item model over the sidebar's nodes. It holds no state of its own: rows
// are the nodes, and changes to children go through replaceChildren(), which
// inserts and removes only the rows that differ so that the view keeps the
// expansion, selection and scroll position of everything that stays.
class SidebarModel : public QAbstractItemModel {
    Q_OBJECT
public:
    // Extra data roles for the outline and its tests.
    enum Role { UrlRole = Qt::UserRole + 1, KindRole, SymbolRole };

    explicit SidebarModel(std::vector<std::shared_ptr<SidebarNode>> roots, QObject *parent = nullptr);

    const std::vector<std::shared_ptr<SidebarNode>> &roots() const { return m_roots; }
    SidebarNode *nodeAt(const QModelIndex &index) const;
    QModelIndex indexOf(const SidebarNode *node) const;

    // Makes `next` the node's children (and drops its placeholder row). Nodes
    // of `next` that are already children keep their rows; the rest are
    // inserted or removed in contiguous runs.
    void replaceChildren(SidebarNode &node, std::vector<std::shared_ptr<SidebarNode>> next);

    QModelIndex index(int row, int column, const QModelIndex &parent = {}) const override;
    QModelIndex parent(const QModelIndex &child) const override;
    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    bool hasChildren(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

private:
    void insertRun(SidebarNode &node, std::vector<std::shared_ptr<SidebarNode>> &rows, int first,
                   std::vector<std::shared_ptr<SidebarNode>> run);
    void removeRun(SidebarNode &node, std::vector<std::shared_ptr<SidebarNode>> &rows, int first, int count);
    static void renumber(SidebarNode &node);
    QIcon iconFor(const std::string &symbol) const;

    std::vector<std::shared_ptr<SidebarNode>> m_roots;
    mutable std::unordered_map<std::string, QIcon> m_icons; // by symbol: data() runs for every painted row
};

} // namespace dromel
