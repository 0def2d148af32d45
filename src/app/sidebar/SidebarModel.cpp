#include "sidebar/SidebarModel.h"

#include "look/DromelTheme.h"
#include "look/Icons.h"

#include <QApplication>
#include <QFile>
#include <QFont>
#include <QPalette>
#include <QSize>

#include <unordered_map>
#include <unordered_set>

namespace dromel {

namespace {

constexpr int kRowHeight = 32;

int modelRow(const SidebarNode &node) {
    if (node.kind == SidebarNode::Kind::placeholder)
        return 0;
    return node.row + (node.parent && node.parent->showsPlaceholder ? 1 : 0);
}

} // namespace

SidebarModel::SidebarModel(std::vector<std::shared_ptr<SidebarNode>> roots, QObject *parent)
    : QAbstractItemModel(parent), m_roots(std::move(roots)) {
    for (std::size_t i = 0; i < m_roots.size(); ++i)
        m_roots[i]->row = static_cast<int>(i);
}

SidebarNode *SidebarModel::nodeAt(const QModelIndex &index) const {
    return index.isValid() ? static_cast<SidebarNode *>(index.internalPointer()) : nullptr;
}

QModelIndex SidebarModel::indexOf(const SidebarNode *node) const {
    return node ? createIndex(modelRow(*node), 0, const_cast<SidebarNode *>(node)) : QModelIndex();
}

QModelIndex SidebarModel::index(int row, int column, const QModelIndex &parent) const {
    if (column != 0 || row < 0)
        return {};
    if (!parent.isValid()) {
        if (row >= static_cast<int>(m_roots.size()))
            return {};
        return createIndex(row, 0, m_roots[static_cast<std::size_t>(row)].get());
    }
    SidebarNode *child = nodeAt(parent)->childAt(row);
    return child ? createIndex(row, 0, child) : QModelIndex();
}

QModelIndex SidebarModel::parent(const QModelIndex &child) const {
    const SidebarNode *node = nodeAt(child);
    return node ? indexOf(node->parent) : QModelIndex();
}

int SidebarModel::rowCount(const QModelIndex &parent) const {
    if (!parent.isValid())
        return static_cast<int>(m_roots.size());
    return nodeAt(parent)->childRowCount();
}

int SidebarModel::columnCount(const QModelIndex &) const {
    return 1;
}

bool SidebarModel::hasChildren(const QModelIndex &parent) const {
    if (!parent.isValid())
        return !m_roots.empty();
    return nodeAt(parent)->expandable();
}

QVariant SidebarModel::data(const QModelIndex &index, int role) const {
    const SidebarNode *node = nodeAt(index);
    if (!node)
        return {};
    const bool caption = node->group || !node->url;
    switch (role) {
    case Qt::DisplayRole:
    case Qt::AccessibleTextRole:
        return node->title;
    case Qt::DecorationRole:
        return caption ? QVariant() : QVariant(iconFor(node->symbol));
    case Qt::ToolTipRole:
        return node->url && !node->group ? QVariant(QFile::decodeName(QByteArray::fromStdString(*node->url)))
                                         : QVariant();
    case Qt::FontRole:
        if (caption) {
            QFont font = DromelTheme::caption();
            font.setBold(node->group);
            return font;
        }
        return DromelTheme::body();
    case Qt::ForegroundRole:
        return caption ? QVariant(QApplication::palette().color(QPalette::PlaceholderText)) : QVariant();
    case Qt::SizeHintRole:
        return QSize(0, kRowHeight);
    case UrlRole:
        return node->url ? QVariant(QByteArray::fromStdString(*node->url)) : QVariant();
    case KindRole:
        return static_cast<int>(node->kind);
    case SymbolRole:
        return QString::fromStdString(node->symbol);
    default:
        return {};
    }
}

Qt::ItemFlags SidebarModel::flags(const QModelIndex &index) const {
    const SidebarNode *node = nodeAt(index);
    if (!node)
        return Qt::NoItemFlags;
    return node->url && !node->group ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::ItemIsEnabled;
}

void SidebarModel::replaceChildren(SidebarNode &node, std::vector<std::shared_ptr<SidebarNode>> next) {
    if (!node.children)
        node.children.emplace();
    std::vector<std::shared_ptr<SidebarNode>> &rows = *node.children;

    // Rows that stay keep their relative order; a node met out of that order
    // (which equal sorting makes impossible, but volumes come unsorted) is
    // replaced by a fresh row rather than moved.
    std::unordered_map<const SidebarNode *, std::size_t> oldPosition;
    for (std::size_t i = 0; i < rows.size(); ++i)
        oldPosition.emplace(rows[i].get(), i);
    std::vector<bool> kept(next.size(), false);
    std::ptrdiff_t lastKept = -1;
    for (std::size_t i = 0; i < next.size(); ++i) {
        const auto found = oldPosition.find(next[i].get());
        if (found == oldPosition.end())
            continue;
        if (static_cast<std::ptrdiff_t>(found->second) > lastKept) {
            kept[i] = true;
            lastKept = static_cast<std::ptrdiff_t>(found->second);
        } else {
            const SidebarNode &old = *next[i];
            next[i] = std::make_shared<SidebarNode>(old.kind, old.title, old.url, old.symbol);
        }
    }

    // New rows go in first, so the node never passes through having no rows
    // (a view may collapse an item that loses its last row).
    std::size_t position = 0;
    std::vector<std::shared_ptr<SidebarNode>> run;
    for (std::size_t i = 0; i < next.size(); ++i) {
        if (!kept[i]) {
            run.push_back(next[i]);
            continue;
        }
        if (!run.empty()) {
            const std::size_t count = run.size();
            insertRun(node, rows, static_cast<int>(position), std::move(run));
            run.clear();
            position += count;
        }
        while (rows[position] != next[i])
            ++position;
        ++position;
    }
    if (!run.empty())
        insertRun(node, rows, static_cast<int>(position), std::move(run));

    std::unordered_set<const SidebarNode *> staying;
    for (const auto &child : next)
        staying.insert(child.get());
    for (std::ptrdiff_t end = static_cast<std::ptrdiff_t>(rows.size()); end > 0;) {
        if (staying.count(rows[static_cast<std::size_t>(end - 1)].get())) {
            --end;
            continue;
        }
        std::ptrdiff_t first = end - 1;
        while (first > 0 && !staying.count(rows[static_cast<std::size_t>(first - 1)].get()))
            --first;
        removeRun(node, rows, static_cast<int>(first), static_cast<int>(end - first));
        end = first;
    }

    if (node.showsPlaceholder) {
        beginRemoveRows(indexOf(&node), 0, 0);
        node.showsPlaceholder = false;
        endRemoveRows();
    }
}

void SidebarModel::insertRun(SidebarNode &node, std::vector<std::shared_ptr<SidebarNode>> &rows, int first,
                             std::vector<std::shared_ptr<SidebarNode>> run) {
    const int offset = node.showsPlaceholder ? 1 : 0;
    for (const auto &child : run)
        child->parent = &node;
    beginInsertRows(indexOf(&node), first + offset, first + offset + static_cast<int>(run.size()) - 1);
    rows.insert(rows.begin() + first, std::make_move_iterator(run.begin()),
                std::make_move_iterator(run.end()));
    renumber(node);
    endInsertRows();
}

void SidebarModel::removeRun(SidebarNode &node, std::vector<std::shared_ptr<SidebarNode>> &rows, int first,
                             int count) {
    const int offset = node.showsPlaceholder ? 1 : 0;
    beginRemoveRows(indexOf(&node), first + offset, first + offset + count - 1);
    // Released after the view has let go of the rows.
    std::vector<std::shared_ptr<SidebarNode>> removed(rows.begin() + first, rows.begin() + first + count);
    rows.erase(rows.begin() + first, rows.begin() + first + count);
    renumber(node);
    endRemoveRows();
    for (const auto &child : removed)
        child->parent = nullptr;
}

QIcon SidebarModel::iconFor(const std::string &symbol) const {
    auto found = m_icons.find(symbol);
    if (found == m_icons.end())
        found = m_icons.emplace(symbol, Icons::named(QString::fromStdString(symbol))).first;
    return found->second;
}

void SidebarModel::renumber(SidebarNode &node) {
    int row = 0;
    for (const auto &child : *node.children)
        child->row = row++;
}

} // namespace dromel
