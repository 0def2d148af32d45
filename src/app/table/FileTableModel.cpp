#include "table/FileTableModel.h"

#include "core/Location.h"
#include "look/Icons.h"
#include "look/ThumbnailLoader.h"

namespace dromel {

namespace {

const QString kEmDash = QString(QChar(0x2014));

} // namespace

FileTableModel::FileTableModel(Icons &icons, QObject *parent)
    : QAbstractTableModel(parent), m_icons(icons), m_texts(Localization::current()) {}

void FileTableModel::setPlace(const Place *place) {
    if (place == m_place)
        return;
    m_place = place;
    emit headerDataChanged(Qt::Horizontal, 0, kColumns - 1);
}

void FileTableModel::setEntries(const FileEntryList &entries) {
    beginResetModel();
    m_texts = Localization::current();
    m_entries = entries;
    m_rows.clear();
    m_rows.reserve(m_entries.size());
    for (const FileEntryList::Chunk &chunk : m_entries.chunks())
        for (const FileEntry &entry : *chunk)
            m_rows.push_back(&entry);
    endResetModel();
}

const FileEntry *FileTableModel::entryAt(int row) const {
    if (row < 0 || static_cast<std::size_t>(row) >= m_rows.size())
        return nullptr;
    return m_rows[static_cast<std::size_t>(row)];
}

void FileTableModel::setSearch(std::optional<std::string> startFolder,
                               std::shared_ptr<const SearchDetails> details) {
    const bool columnsChange = startFolder.has_value() != m_searchStart.has_value();
    if (columnsChange)
        beginResetModel();
    m_searchStart = std::move(startFolder);
    m_searchDetails = std::move(details);
    if (columnsChange)
        endResetModel();
}

QString FileTableModel::locationText(const FileEntry &entry) const {
    if (!m_searchStart)
        return {};
    const std::string folder = Location::parent(entry.url());
    const std::string &start = *m_searchStart;
    if (folder == start)
        return QStringLiteral(".");
    if (folder.size() > start.size() && folder.starts_with(start) &&
        (start == "/" || folder[start.size()] == '/'))
        return displayName(folder.substr(start == "/" ? 1 : start.size() + 1));
    return displayName(folder);
}

void FileTableModel::setCutPaths(std::unordered_set<std::string> paths) {
    if (paths == m_cutPaths)
        return;
    m_cutPaths = std::move(paths);
    if (!m_rows.empty())
        emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1));
}

bool FileTableModel::isCut(const FileEntry &entry) const {
    return !m_cutPaths.empty() && m_cutPaths.contains(entry.url());
}

QString FileTableModel::displayName(const std::string &name) {
    // Invalid UTF-8 shows as U+FFFD; the entry keeps its bytes for every use.
    return QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()));
}

QString FileTableModel::kindText(const FileEntry &entry) const {
    if (m_place)
        return displayName(entry.kind());
    if (entry.isNavigable())
        return m_texts.text(TextKey::folder);
    if (entry.kind() == "File")
        return m_texts.text(TextKey::file);
    return QString::fromStdString(entry.kind());
}

int FileTableModel::rowCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int FileTableModel::columnCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : kColumns + (m_searchStart ? 1 : 0);
}

QVariant FileTableModel::display(const FileEntry &entry, int column) const {
    switch (column) {
    case nameColumn:
        return displayName(entry.name());
    case kindColumn:
        return kindText(entry);
    case sizeColumn: {
        const auto size = entry.size();
        return size ? m_texts.bytes(*size) : kEmDash;
    }
    case modifiedColumn: {
        const auto modified = entry.modified();
        return modified ? m_texts.date(*modified) : kEmDash;
    }
    case locationColumn:
        return locationText(entry);
    default:
        return {};
    }
}

QVariant FileTableModel::data(const QModelIndex &index, int role) const {
    const FileEntry *entry = entryAt(index.row());
    if (!entry || index.column() < 0 || index.column() >= columnCount())
        return {};
    switch (role) {
    case Qt::DisplayRole:
        return display(*entry, index.column());
    case Qt::DecorationRole: {
        if (index.column() != nameColumn)
            return {};
        if (m_place && m_place->icon)
            return m_place->icon(*entry);
        if (m_thumbnails)
            // An icon, not a pixmap: views then fit it to their icon size.
            if (QPixmap picture = m_thumbnails->thumbnail(*entry); !picture.isNull())
                return QIcon(picture);
        return m_icons.forEntry(*entry);
    }
    case Qt::ToolTipRole: {
        if (m_place && m_place->toolTip)
            return m_place->toolTip(*entry);
        QString tip = displayName(entry->url());
        if (m_searchDetails) {
            if (const std::string *line = m_searchDetails->matchLine(entry->id()))
                tip += QStringLiteral("\n") + displayName(*line).trimmed();
        }
        return tip;
    }
    case Qt::AccessibleTextRole: {
        QString text = display(*entry, index.column()).toString();
        if (index.column() == nameColumn && isCut(*entry))
            text += QStringLiteral(", ") + m_texts.text(TextKey::cutMarked);
        return text;
    }
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(Qt::Alignment(Qt::AlignLeading | Qt::AlignVCenter));
    case entryIdRole: {
        const std::string id = entry->id();
        return QByteArray(id.data(), static_cast<qsizetype>(id.size()));
    }
    case cutRole:
        return isCut(*entry);
    default:
        return {};
    }
}

QVariant FileTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= columnCount())
        return {};
    static constexpr TextKey titles[] = {TextKey::nameColumn, TextKey::kindColumn, TextKey::sizeColumn,
                                         TextKey::modifiedColumn, TextKey::locationColumn};
    switch (role) {
    case Qt::DisplayRole:
        if (m_place && section == kindColumn)
            return m_texts.text(m_place->kindTitle);
        if (m_place && section == modifiedColumn)
            return m_texts.text(m_place->modifiedTitle);
        return m_texts.text(titles[section]);
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(Qt::Alignment(Qt::AlignLeading | Qt::AlignVCenter));
    case Qt::InitialSortOrderRole:
        // A first click on a column sorts it ascending.
        return Qt::AscendingOrder;
    default:
        return {};
    }
}

Qt::ItemFlags FileTableModel::flags(const QModelIndex &index) const {
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

} // namespace dromel
