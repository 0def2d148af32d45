#include "sidebar/DirectorySidebar.h"

#include "core/FileSort.h"
#include "core/Location.h"
#include "directory/DirectoryMonitor.h"
#include "directory/DirectoryReading.h"
#include "directory/ListingOrdering.h"
#include "directory/LocalVolumeReader.h"
#include "directory/MountedVolumeMonitor.h"
#include "look/Icons.h"
#include "presentation/Localization.h"
#include "runtime/MainThread.h"
#include "sidebar/SidebarModel.h"
#include "sidebar/SidebarWatchSet.h"
#include "sidebar/XdgUserFolders.h"

#include <QContextMenuEvent>
#include <QFile>
#include <QKeyEvent>
#include <QMenu>

#include <sys/stat.h>

#include <algorithm>
#include <unordered_map>

namespace dromel {

namespace {

constexpr int kIndentation = 15;
constexpr std::size_t kRowsPerTurn = 2000;

bool isFolder(const std::string &path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// `folder` is `path` or one of its ancestors.
bool leadsTo(const std::string &folder, const std::string &path) {
    if (folder == path || folder == "/")
        return true;
    return path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 &&
           path[folder.size()] == '/';
}

QString displayName(const std::string &bytes) {
    return QFile::decodeName(QByteArray::fromStdString(bytes));
}

// Clears the flag when the scope ends, whatever the flag was before.
class Syncing {
public:
    explicit Syncing(bool &flag) : m_flag(flag), m_previous(flag) { m_flag = true; }
    ~Syncing() { m_flag = m_previous; }
    Syncing(const Syncing &) = delete;
    Syncing &operator=(const Syncing &) = delete;

private:
    bool &m_flag;
    bool m_previous;
};

} // namespace

DirectorySidebar::DirectorySidebar(const std::string &root, DirectoryReading &reader,
                                   ListingOrdering &orderer, QWidget *parent)
    : QTreeView(parent), m_reader(reader), m_orderer(orderer) {
    setHeaderHidden(true);
    setIndentation(kIndentation);
    setUniformRowHeights(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setIconSize(QSize(16, 16));
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setTextElideMode(Qt::ElideMiddle);
    // The panel's backing shows through.
    setFrameShape(QFrame::NoFrame);
    viewport()->setAutoFillBackground(false);
    setFocusPolicy(Qt::StrongFocus);
    Icons::installFallback();
    setAccessibleName(Localization::current().text(TextKey::tree));

    m_model = new SidebarModel(buildSections(Location::standardized(root)), this);
    setModel(m_model);
    connect(this, &QTreeView::expanded, this, &DirectorySidebar::nodeExpanded);
    connect(this, &QTreeView::collapsed, this, &DirectorySidebar::nodeCollapsed);
    connect(this, &QTreeView::clicked, this, &DirectorySidebar::navigateTo);
    {
        Syncing syncing(m_syncing);
        for (const auto &section : m_model->roots())
            expand(m_model->indexOf(section.get()));
    }

    m_directoryMonitor = std::make_unique<DirectoryMonitor>(
        true, [alive = m_lifetime.weak(), this](const std::set<std::string> &folders) {
            MainThread::post([alive, this, folders] {
                if (!alive.expired())
                    monitorReported(folders);
            });
        });
    m_volumeMonitor = std::make_unique<MountedVolumeMonitor>(
        std::make_shared<LocalVolumeReader>(), MountedVolumeMonitor::defaultMountDirectory(),
        [this](const std::vector<MountedVolume> &volumes) { updateVolumes(volumes); });
    updateMonitoring();
}

DirectorySidebar::~DirectorySidebar() {
    m_volumeMonitor.reset();
    m_directoryMonitor.reset();
}

std::vector<std::shared_ptr<SidebarNode>> DirectorySidebar::buildSections(const std::string &home) {
    auto favourites = std::make_shared<Node>(
        Node::Kind::section, Localization::current().text(TextKey::favorites), std::nullopt, "folder");
    favourites->children.emplace();
    const struct {
        TextKey title;
        std::optional<std::string> folder;
        const char *symbol;
    } choices[] = {
        {TextKey::home, home, "user-home"},
        {TextKey::desktop, XdgUserFolders::folder("DESKTOP", "Desktop", home), "user-desktop"},
        {TextKey::downloads, XdgUserFolders::folder("DOWNLOAD", "Downloads", home), "folder-download"},
        {TextKey::documents, XdgUserFolders::folder("DOCUMENTS", "Documents", home), "folder-documents"},
    };
    for (const auto &choice : choices) {
        if (!choice.folder || !isFolder(*choice.folder))
            continue;
        auto row = std::make_shared<Node>(Node::Kind::favourite, Localization::current().text(choice.title),
                                          choice.folder, choice.symbol);
        row->parent = favourites.get();
        row->row = static_cast<int>(favourites->children->size());
        favourites->children->push_back(std::move(row));
    }

    auto tree = std::make_shared<Node>(Node::Kind::section, Localization::current().text(TextKey::tree),
                                       std::nullopt, "folder");
    auto homeRow = std::make_shared<Node>(Node::Kind::folder, displayName(Location::lastComponent(home)),
                                          home, "user-home");
    homeRow->parent = tree.get();
    tree->children.emplace(1, homeRow);

    auto volumes = std::make_shared<Node>(Node::Kind::section, Localization::current().text(TextKey::volumes),
                                          std::nullopt, "folder");
    volumes->children.emplace();

    m_favourites = favourites.get();
    m_home = homeRow.get();
    m_volumes = volumes.get();
    return {favourites, tree, volumes};
}

void DirectorySidebar::setShowHidden(bool show) {
    if (show == m_showHidden)
        return;
    m_showHidden = show;
    refresh();
}

// --- Rows picked, expanded and collapsed by the user ---

void DirectorySidebar::navigateTo(const QModelIndex &index) {
    const Node *node = m_model->nodeAt(index);
    if (m_syncing || !node || !node->url || node->group)
        return;
    if (m_selectedURL == node->url)
        return; // already the active tab's folder
    if (onNavigate)
        onNavigate(*node->url);
}

void DirectorySidebar::contextMenuEvent(QContextMenuEvent *event) {
    const Node *node = m_model->nodeAt(indexAt(event->pos()));
    if (!node || !node->url || !m_places.contains(*node->url) || !placeMenu)
        return;
    auto *menu = new QMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    placeMenu(*node->url, menu);
    if (menu->isEmpty()) {
        delete menu;
        return;
    }
    menu->popup(event->globalPos());
    event->accept();
}

void DirectorySidebar::keyPressEvent(QKeyEvent *event) {
    const bool plain = (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && plain) {
        navigateTo(currentIndex());
        event->accept();
        return;
    }
    QTreeView::keyPressEvent(event);
}

void DirectorySidebar::nodeExpanded(const QModelIndex &index) {
    Node *node = m_model->nodeAt(index);
    if (!node)
        return;
    node->expanded = true;
    if (m_syncing)
        return;
    updateMonitoring();
    load(*node, false);
}

void DirectorySidebar::nodeCollapsed(const QModelIndex &index) {
    if (Node *node = m_model->nodeAt(index))
        node->expanded = false;
    if (!m_syncing)
        updateMonitoring();
}

// --- Loading a node's subfolders ---
//
// A load reads the folder (one-shot), keeps its subfolders (no packages, no
// links), orders them by name on the orderer's queue and installs them,
// reusing the rows of folders that stay. Its token (readGeneration) drops the
// results of any older load. A change reported during a load marks the node
// dirty, and it loads again once this load ends.

void DirectorySidebar::load(Node &node, bool force) {
    if (!node.url || node.loading || (node.kind != Node::Kind::folder && node.kind != Node::Kind::volume))
        return;
    if (node.isLoaded() && !force && node.listedHidden == m_showHidden)
        return;
    // A folder that has just joined the watch set is read once the monitor
    // confirms it is watched, so nothing between the read and the watch is
    // missed and no second read is needed.
    if (m_watch.awaitsConfirmation(*node.url)) {
        node.waitingForWatch = true;
        return;
    }
    node.waitingForWatch = false;
    node.loading = true;
    node.listedHidden = m_showHidden;
    node.readGeneration = Uuid::random();
    const Uuid token = node.readGeneration;
    std::weak_ptr<Node> weak = node.weak_from_this();
    node.sort.reset();
    node.read = m_reader.read(
        *node.url, m_showHidden,
        m_lifetime.guard([this, weak, token](std::error_code error, const FileEntryList &entries) {
            readFinished(weak, token, error, entries);
        }));
}

void DirectorySidebar::readFinished(const std::weak_ptr<Node> &weak, const Uuid &token, std::error_code error,
                                    const FileEntryList &entries) {
    const std::shared_ptr<Node> node = weak.lock();
    if (!node || node->readGeneration != token)
        return;
    if (error) {
        auto row = std::make_shared<Node>(
            Node::Kind::error,
            Localization::current().format(TextKey::readError, QString::fromLocal8Bit(error.message())),
            std::nullopt, "dialog-error");
        finishLoad(*node, std::vector<std::shared_ptr<Node>>{row});
        return;
    }
    std::vector<FileEntry> folders;
    for (const FileEntry &entry : entries)
        if (entry.isDirectory() && !entry.isPackage() && !entry.isSymbolicLink())
            folders.push_back(entry);
    node->sort = m_orderer.order(FileEntryList(std::move(folders)), FileSort{SortColumn::name, true},
                                 m_lifetime.guard([this, weak, token](std::optional<FileEntryList> ordered) {
                                     sortFinished(weak, token, std::move(ordered));
                                 }));
}

// Rows are made a slice per turn of the event loop, so a folder of ten
// thousand subfolders does not hold up the main thread for one long stretch.
struct DirectorySidebar::Building {
    FileEntryList ordered;
    std::size_t next = 0;
    std::unordered_map<std::string, std::shared_ptr<Node>> existing; // rows to reuse, by path
    std::vector<std::shared_ptr<Node>> children;
};

void DirectorySidebar::sortFinished(const std::weak_ptr<Node> &weak, const Uuid &token,
                                    std::optional<FileEntryList> ordered) {
    const std::shared_ptr<Node> node = weak.lock();
    if (!node || node->readGeneration != token)
        return;
    if (!ordered) {
        finishLoad(*node, std::nullopt);
        return;
    }
    auto building = std::make_shared<Building>();
    building->ordered = std::move(*ordered);
    if (node->children)
        for (const auto &child : *node->children)
            if (child->url)
                building->existing.emplace(*child->url, child);
    building->children.reserve(building->ordered.size());
    buildChildren(weak, token, building);
}

void DirectorySidebar::buildChildren(const std::weak_ptr<Node> &weak, const Uuid &token,
                                     const std::shared_ptr<Building> &building) {
    const std::shared_ptr<Node> node = weak.lock();
    if (!node || node->readGeneration != token)
        return;
    const std::size_t end = std::min(building->ordered.size(), building->next + kRowsPerTurn);
    for (; building->next < end; ++building->next) {
        const FileEntry &entry = building->ordered[building->next];
        std::string url = Location::appending(*node->url, entry.name());
        if (auto found = building->existing.find(url); found != building->existing.end())
            building->children.push_back(found->second);
        else
            building->children.push_back(std::make_shared<Node>(Node::Kind::folder, displayName(entry.name()),
                                                                std::move(url), "folder"));
    }
    if (building->next < building->ordered.size()) {
        MainThread::post(
            m_lifetime.guard([this, weak, token, building] { buildChildren(weak, token, building); }));
        return;
    }
    finishLoad(*node, std::move(building->children));
}

void DirectorySidebar::finishLoad(Node &node, std::optional<std::vector<std::shared_ptr<Node>>> children) {
    if (children)
        replaceChildren(node, std::move(*children));
    node.loading = false;
    node.read.reset();
    node.sort.reset();
    updateMonitoring();
    if (node.dirty) {
        node.dirty = false;
        load(node, true);
    }
    if (m_reveal && m_reveal->at.lock().get() == &node)
        stepReveal();
}

// The view moves the selection to a neighbour when the selected row goes; the
// selection stands for the tab's folder, so it is dropped instead.
void DirectorySidebar::replaceChildren(Node &node, std::vector<std::shared_ptr<Node>> children) {
    const QModelIndexList before = selectionModel()->selectedIndexes();
    std::weak_ptr<Node> selected;
    if (before.size() == 1)
        selected = m_model->nodeAt(before.front())->weak_from_this();
    Syncing syncing(m_syncing);
    m_model->replaceChildren(node, std::move(children));
    const std::shared_ptr<Node> kept = selected.lock();
    const Node *top = kept.get();
    while (top && top->parent)
        top = top->parent;
    if (!top || !top->group)
        clearSelection();
    else if (!selectionModel()->isSelected(m_model->indexOf(kept.get())))
        selectionModel()->select(m_model->indexOf(kept.get()), QItemSelectionModel::ClearAndSelect);
}

void DirectorySidebar::refresh(const std::optional<std::set<std::string>> &folders) {
    for (Node *node : visibleNodes()) {
        if (!node->url || !node->isLoaded() || node->group || (!isOpen(*node) && node != m_home))
            continue;
        if (folders && !folders->count(*node->url))
            continue;
        if (node->loading)
            node->dirty = true;
        else
            load(*node, true);
    }
    if (!folders)
        m_volumeMonitor->refresh();
}

// --- Watching the expanded folders ---

bool DirectorySidebar::isOpen(const Node &node) const {
    return node.expanded && isExpanded(m_model->indexOf(&node));
}

std::vector<SidebarNode *> DirectorySidebar::visibleNodes() const {
    std::vector<Node *> result;
    std::vector<Node *> stack;
    for (auto it = m_model->roots().rbegin(); it != m_model->roots().rend(); ++it)
        stack.push_back(it->get());
    while (!stack.empty()) {
        Node *node = stack.back();
        stack.pop_back();
        result.push_back(node);
        if (!node->children || !isOpen(*node))
            continue;
        for (auto it = node->children->rbegin(); it != node->children->rend(); ++it)
            stack.push_back(it->get());
    }
    return result;
}

void DirectorySidebar::updateMonitoring() {
    std::set<std::string> folders;
    for (const Node *node : visibleNodes())
        if (node->url && !node->group && isOpen(*node))
            folders.insert(*node->url);
    if (m_watch.change(folders))
        m_directoryMonitor->watch(std::move(folders));
}

// A confirmation starts the reads that waited for it, and reads again the
// folders that were listed while unwatched; any other report is a change.
void DirectorySidebar::monitorReported(const std::set<std::string> &folders) {
    const std::optional<SidebarWatchSet::Confirmation> confirmation = m_watch.take(folders);
    if (!confirmation) {
        refresh(folders);
        return;
    }
    std::vector<std::weak_ptr<Node>> affected;
    for (Node *node : visibleNodes())
        if (node->waitingForWatch || (node->url && confirmation->joined.count(*node->url) && isOpen(*node)))
            affected.push_back(node->weak_from_this());
    for (const auto &weak : affected) {
        const std::shared_ptr<Node> node = weak.lock();
        if (!node || !node->url || !confirmation->folders.count(*node->url))
            continue;
        if (node->waitingForWatch)
            load(*node, false); // waits on when a later set is still unconfirmed
        else if (node->loading)
            node->dirty = true;
        else if (node->isLoaded())
            load(*node, true);
    }
    if (!confirmation->changed.empty())
        refresh(confirmation->changed);
}

// --- Volumes ---

void DirectorySidebar::updateVolumes(std::vector<MountedVolume> volumes) {
    if (onVolumesListed)
        onVolumesListed(volumes);
    // The system volume first, the others in the order of the mount table.
    std::stable_partition(volumes.begin(), volumes.end(),
                          [](const MountedVolume &v) { return v.url == "/"; });
    std::unordered_map<std::string, std::shared_ptr<Node>> existing;
    for (const auto &row : *m_volumes->children)
        existing.emplace(*row->url, row);
    std::vector<std::shared_ptr<Node>> rows;
    for (const MountedVolume &volume : volumes) {
        const std::string url = Location::standardized(volume.url);
        const QString title = displayName(volume.name);
        auto found = existing.find(url);
        if (found != existing.end() && found->second->title == title) {
            rows.push_back(found->second);
            continue;
        }
        rows.push_back(std::make_shared<Node>(Node::Kind::volume, title, url,
                                              url == "/" ? "drive-harddisk" : "drive-removable-media"));
    }
    // The mount table changes for many reasons (any mount anywhere); only a
    // different list is news, and the first list is the starting state.
    if (rows == *m_volumes->children)
        return;
    const bool first = !m_volumesListed;
    m_volumesListed = true;
    replaceChildren(*m_volumes, std::move(rows));
    updateMonitoring();
    if (m_selectedURL)
        reveal(*m_selectedURL);
    if (onVolumesChanged && !first)
        onVolumesChanged();
}

// --- Revealing the active tab's folder ---
//
// A reveal walks down from the deepest home or volume row that contains the
// target, one level at a time: it expands the row, waits for its load when
// the subfolders are not known yet (the load's end resumes it), then moves to
// the child on the way to the target. It ends at the target, at a row with no
// child on the way, or when a newer reveal takes its place.

void DirectorySidebar::addPlace(const QString &title, const std::string &url, const std::string &symbol) {
    std::vector<std::shared_ptr<Node>> rows = *m_favourites->children;
    rows.push_back(std::make_shared<Node>(Node::Kind::favourite, title, url, symbol));
    m_places.insert(url);
    m_model->replaceChildren(*m_favourites, std::move(rows));
}

void DirectorySidebar::setPlaceSymbol(const std::string &url, const std::string &symbol) {
    for (const auto &row : *m_favourites->children)
        if (row->url == url && row->symbol != symbol) {
            row->symbol = symbol;
            const QModelIndex index = m_model->indexOf(row.get());
            emit m_model->dataChanged(index, index);
        }
}

void DirectorySidebar::reveal(const std::string &folder) {
    const std::string target = Location::standardized(folder);
    m_selectedURL = target;
    m_revealGeneration = Uuid::random();
    if (m_places.contains(target)) {
        for (const auto &row : *m_favourites->children)
            if (row->url == target) {
                m_reveal = Reveal{m_revealGeneration, target, row->weak_from_this(), false};
                finishReveal(row.get());
                return;
            }
    }
    // The system volume's row is selected for "/" itself but never opened by
    // a reveal: walking it down to a folder elsewhere would fill the sidebar
    // with the whole system's tree.
    if (target == "/") {
        for (const auto &volume : *m_volumes->children)
            if (volume->url == target) {
                m_reveal = Reveal{m_revealGeneration, target, volume->weak_from_this(), false};
                finishReveal(volume.get());
                return;
            }
    }
    Node *start = revealStart(target);
    if (!start) {
        m_reveal.reset();
        Syncing syncing(m_syncing);
        clearSelection();
        return;
    }
    m_reveal = Reveal{m_revealGeneration, target, start->weak_from_this(), true};
    MainThread::post(m_lifetime.guard([this, token = m_revealGeneration] {
        if (m_reveal && m_reveal->token == token)
            stepReveal();
    }));
}

SidebarNode *DirectorySidebar::revealStart(const std::string &target) const {
    Node *best = nullptr;
    std::vector<Node *> rows{m_home};
    for (const auto &volume : *m_volumes->children)
        if (volume->url != "/")
            rows.push_back(volume.get());
    for (Node *row : rows)
        if (leadsTo(*row->url, target) && (!best || row->url->size() > best->url->size()))
            best = row;
    return best;
}

void DirectorySidebar::stepReveal() {
    while (m_reveal) {
        const std::shared_ptr<Node> node = m_reveal->at.lock();
        if (!node || !node->parent) {
            finishReveal(nullptr);
            return;
        }
        const bool isTarget = *node->url == m_reveal->target;
        if (isTarget && !m_reveal->atStart) {
            finishReveal(node.get());
            return;
        }
        expandSynced(*node);
        if (!node->isLoaded()) {
            load(*node, false);
            return; // resumed when the load ends
        }
        if (isTarget) {
            finishReveal(node.get());
            return;
        }
        Node *next = nullptr;
        for (const auto &child : *node->children)
            if (child->url && leadsTo(*child->url, m_reveal->target)) {
                next = child.get();
                break;
            }
        if (!next) {
            finishReveal(nullptr);
            return;
        }
        m_reveal->at = next->weak_from_this();
        m_reveal->atStart = false;
    }
}

void DirectorySidebar::expandSynced(Node &node) {
    std::vector<Node *> chain;
    for (Node *row = &node; row; row = row->parent)
        chain.push_back(row);
    bool changed = false;
    {
        Syncing syncing(m_syncing);
        for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
            const QModelIndex index = m_model->indexOf(*it);
            if (!(*it)->expanded || !isExpanded(index)) {
                expand(index);
                changed = true;
            }
        }
    }
    if (changed)
        updateMonitoring();
}

void DirectorySidebar::finishReveal(Node *reached) {
    m_reveal.reset();
    Syncing syncing(m_syncing);
    // Only the target itself is selected: a row on the way would claim a folder
    // the tab does not show.
    if (reached) {
        const QModelIndex index = m_model->indexOf(reached);
        selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
        scrollTo(index);
    } else {
        clearSelection();
    }
}

} // namespace dromel
