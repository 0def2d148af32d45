#pragma once

#include "core/Uuid.h"
#include "directory/MountedVolume.h"
#include "runtime/Lifetime.h"
#include "sidebar/SidebarNode.h"
#include "sidebar/SidebarWatchSet.h"

#include <QTreeView>

#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <system_error>
#include <vector>

class QMenu;

namespace dromel {

class DirectoryMonitor;
class DirectoryReading;
class FileEntryList;
class ListingOrdering;
class MountedVolumeMonitor;
class SidebarModel;

// The left-hand outline of the main window: favourite folders, a lazily
// loaded folder tree from the home folder, and the mounted volumes. Clicking
// a row (or Return on it) asks the window to navigate there; the window tells
// the sidebar which folder the active tab shows (reveal), and the sidebar
// expands the tree down to it without navigating. Expanded folders are watched
// and reloaded in place; a reload inserts and removes only the rows that
// differ, so expansion, selection and scroll position survive it.
//
// Threading: main thread only. Reads, sorts and volume listings run on the
// services' queues; their results and the monitors' reports come back as
// main-thread jobs that hold the sidebar weakly.
class DirectorySidebar : public QTreeView {
    Q_OBJECT
public:
    using Node = SidebarNode;

    // `root` is the home folder. The reader and the orderer must outlive the
    // sidebar.
    DirectorySidebar(const std::string &root, DirectoryReading &reader, ListingOrdering &orderer,
                     QWidget *parent = nullptr);
    ~DirectorySidebar() override;

    // Called with a folder when the user picks its row.
    std::function<void(const std::string &folder)> onNavigate;
    // Called when the list of volumes changed (not for the first list).
    std::function<void()> onVolumesChanged;
    // Called with every list of volumes, the first too.
    std::function<void(const std::vector<MountedVolume> &)> onVolumesListed;

    bool showHidden() const { return m_showHidden; }
    // Hidden folders are listed or not from the next load; a change reloads
    // what is shown.
    void setShowHidden(bool show);

    // Expands the tree down to `folder` and selects its row, loading each
    // level once; never calls onNavigate. A newer reveal supersedes it. The
    // walk starts at home or a mounted volume, never at the system volume.
    void reveal(const std::string &folder);
    // Reloads the shown folders among `folders`; with none, every expanded
    // folder, and the volumes are listed again.
    void refresh(const std::optional<std::set<std::string>> &folders = std::nullopt);

    // A place that is not a folder of the tree (the Trash), listed after the
    // favourite folders; revealing its location selects its row.
    void addPlace(const QString &title, const std::string &url, const std::string &symbol);
    // Fills the context menu of a place's row (Empty Trash); no menu without it.
    std::function<void(const std::string &url, QMenu *menu)> placeMenu;
    // A new icon for a place's row (the Trash full or empty).
    void setPlaceSymbol(const std::string &url, const std::string &symbol);

    SidebarModel &sidebarModel() const { return *m_model; }
    // The folders the monitor is asked to watch: the expanded visible rows.
    const std::set<std::string> &watchedFolders() const { return m_watch.folders(); }

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    struct Reveal {
        Uuid token;
        std::string target;
        std::weak_ptr<Node> at; // the row reached so far
        bool atStart = true;
    };
    std::vector<std::shared_ptr<Node>> buildSections(const std::string &home);
    void nodeExpanded(const QModelIndex &index);
    void nodeCollapsed(const QModelIndex &index);
    void navigateTo(const QModelIndex &index);

    void load(Node &node, bool force);
    void readFinished(const std::weak_ptr<Node> &weak, const Uuid &token, std::error_code error,
                      const FileEntryList &entries);
    void sortFinished(const std::weak_ptr<Node> &weak, const Uuid &token,
                      std::optional<FileEntryList> ordered);
    struct Building;
    void buildChildren(const std::weak_ptr<Node> &weak, const Uuid &token,
                       const std::shared_ptr<Building> &building);
    void replaceChildren(Node &node, std::vector<std::shared_ptr<Node>> children);
    void finishLoad(Node &node, std::optional<std::vector<std::shared_ptr<Node>>> children);

    std::vector<Node *> visibleNodes() const;
    bool isOpen(const Node &node) const;
    void updateMonitoring();
    void monitorReported(const std::set<std::string> &folders);
    void updateVolumes(std::vector<MountedVolume> volumes);

    Node *revealStart(const std::string &target) const;
    void stepReveal();
    void expandSynced(Node &node);
    void finishReveal(Node *reached);

    SidebarModel *m_model = nullptr;
    DirectoryReading &m_reader;
    ListingOrdering &m_orderer;
    bool m_showHidden = false;
    Node *m_favourites = nullptr;
    std::set<std::string> m_places; // the urls of addPlace rows
    Node *m_home = nullptr;         // the tree's home row
    Node *m_volumes = nullptr;
    bool m_volumesListed = false;
    std::optional<std::string> m_selectedURL; // the folder last revealed
    bool m_syncing = false;                   // the sidebar itself changes rows, expansion or selection
    Uuid m_revealGeneration;
    std::optional<Reveal> m_reveal;
    SidebarWatchSet m_watch;
    std::unique_ptr<DirectoryMonitor> m_directoryMonitor;
    std::unique_ptr<MountedVolumeMonitor> m_volumeMonitor;
    Lifetime m_lifetime;
};

} // namespace dromel
