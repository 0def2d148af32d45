#pragma once

#include "core/FileEntryList.h"
#include "core/SearchHit.h"
#include "presentation/Localization.h"

#include <QAbstractTableModel>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

class QMenu;

namespace dromel {

class Icons;
class ThumbnailLoader;

// The rows of the file list: the displayed entries of the active tab, in the
// store's order (the store sorts and filters; no proxy model). Every cell is
// answered from its entry in constant time; icons come from the icon cache,
// keyed by kind. Main thread only.
class FileTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { nameColumn, kindColumn, sizeColumn, modifiedColumn, locationColumn };
    // The folder columns; search results add the location.
    static constexpr int kColumns = 4;
    enum Role {
        // The entry's id (QString of its bytes, for tests and accessibility).
        entryIdRole = Qt::UserRole + 1,
        // True while the item is marked as cut: drawn at reduced opacity.
        cutRole,
    };

    // A place shown in the list that is not a folder (the Trash): the kind
    // and date columns carry its own facts under its own titles, and it draws
    // its rows' icons and tooltips.
    struct Place {
        TextKey kindTitle;
        TextKey modifiedTitle;
        std::function<QIcon(const FileEntry &)> icon;
        std::function<QString(const FileEntry &)> toolTip;
        // Adds the place's own commands for the selected entries to the
        // context menu.
        std::function<void(QMenu *menu, const std::vector<FileEntry> &selected)> extendMenu;
    };

    explicit FileTableModel(Icons &icons, QObject *parent = nullptr);

    // Null for a folder. The place must outlive its use; set before the rows.
    void setPlace(const Place *place);
    const Place *place() const { return m_place; }

    // Replaces every row (a model reset). The list shares its storage with the
    // store's, so this is cheap even for a large folder.
    void setEntries(const FileEntryList &entries);
    const FileEntryList &entries() const { return m_entries; }
    // The entry of a row, or null outside the rows.
    const FileEntry *entryAt(int row) const;

    // While rows are a search's results: the folder the search started from
    // (the location column shows each item's folder relative to it) and the
    // matching lines (shown in the name's tooltip). Call before setEntries.
    void setSearch(std::optional<std::string> startFolder, std::shared_ptr<const SearchDetails> details);
    bool showsSearch() const { return m_searchStart.has_value(); }
    QString locationText(const FileEntry &entry) const;

    // Paths (bytes) of the items marked as cut; repaints every row.
    void setCutPaths(std::unordered_set<std::string> paths);
    const std::unordered_set<std::string> &cutPaths() const { return m_cutPaths; }
    bool isCut(const FileEntry &entry) const;

    // Pictures of the files' contents in place of their type icons, where the
    // loader has them; null for type icons only.
    void setThumbnails(ThumbnailLoader *thumbnails) { m_thumbnails = thumbnails; }

    // The text of the kind column for an entry.
    QString kindText(const FileEntry &entry) const;
    static QString displayName(const std::string &name);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

private:
    QVariant display(const FileEntry &entry, int column) const;

    Icons &m_icons;
    ThumbnailLoader *m_thumbnails = nullptr;
    Localization m_texts;
    FileEntryList m_entries;
    // Direct pointers into m_entries' chunks, which it keeps alive: a row is
    // one index away whatever the chunking.
    std::vector<const FileEntry *> m_rows;
    std::unordered_set<std::string> m_cutPaths;
    const Place *m_place = nullptr;
    std::optional<std::string> m_searchStart;
    std::shared_ptr<const SearchDetails> m_searchDetails;
};

} // namespace dromel
