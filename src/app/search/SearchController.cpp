#include "search/SearchController.h"

#include "core/Location.h"
#include "core/StatePaths.h"

#include <QLineEdit>

#include <fstream>
#include <sstream>

namespace dromel {

namespace {

// Mount points in /proc/self/mounts write space, tab, newline and backslash
// as octal escapes.
std::string unescapedMountPath(const std::string &text) {
    std::string path;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 3 < text.size()) {
            path += static_cast<char>(std::stoi(text.substr(i + 1, 3), nullptr, 8));
            i += 3;
        } else {
            path += text[i];
        }
    }
    return path;
}

} // namespace

SearchController::SearchController(BrowserStore &store, SearchBar *bar, QObject *parent)
    : QObject(parent), m_store(store), m_bar(bar) {
    m_bar->hide();
    connect(m_bar, &SearchBar::submitted, this, &SearchController::submit);
    connect(m_bar, &SearchBar::closeRequested, this, &SearchController::close);
}

std::string SearchController::volumeOf(const std::string &folder) {
    std::ifstream mounts("/proc/self/mounts");
    std::string best = "/";
    for (std::string line; std::getline(mounts, line);) {
        std::istringstream fields(line);
        std::string device, point;
        fields >> device >> point;
        point = unescapedMountPath(point);
        const bool inside =
            folder == point || (folder.starts_with(point) && (point == "/" || folder[point.size()] == '/'));
        if (inside && point.size() > best.size())
            best = point;
    }
    return best;
}

std::string SearchController::startFolder(SearchBar::Start start) const {
    const std::string &folder = m_store.current().url();
    switch (start) {
    case SearchBar::Start::home:
        return StatePaths::homeFolder();
    case SearchBar::Start::thisVolume:
        return volumeOf(folder);
    case SearchBar::Start::thisFolder:
        break;
    }
    return folder;
}

SearchBar::Start SearchController::startOf(const SearchQuery &query) const {
    if (query.startFolder == m_store.current().url())
        return SearchBar::Start::thisFolder;
    if (query.startFolder == StatePaths::homeFolder())
        return SearchBar::Start::home;
    return SearchBar::Start::thisVolume;
}

void SearchController::begin() {
    const BrowserTab &tab = m_store.current();
    m_openFor = tab.id;
    if (!m_bar->isVisible()) {
        SearchQuery empty;
        empty.startFolder = tab.url();
        m_bar->present(tab.search ? *tab.search : empty,
                       tab.search ? startOf(*tab.search) : SearchBar::Start::thisFolder);
    }
    m_bar->focusQuery();
}

void SearchController::submit() {
    const SearchQuery query = m_bar->query(startFolder(m_bar->start()));
    if (query.text.empty())
        return;
    m_openFor = m_store.current().id;
    m_store.search(query);
}

void SearchController::close() {
    m_openFor.reset();
    m_bar->hide();
    m_store.endSearch();
}

void SearchController::openContainingFolder() {
    const std::vector<FileEntry> selected = m_store.selected();
    if (selected.size() != 1 || !m_store.current().search)
        return;
    const FileEntry &entry = selected.front();
    m_reveal = Reveal{m_store.current().id, Location::parent(entry.url()), entry.id()};
    m_store.navigate(m_reveal->folder, BrowserStore::Navigation::visit);
}

void SearchController::render() {
    const BrowserTab &tab = m_store.current();
    if (tab.search) {
        if (!m_bar->isVisible() || m_openFor != tab.id) {
            m_openFor = tab.id;
            m_bar->present(*tab.search, startOf(*tab.search));
        }
        m_searched = tab.id;
        QStringList unreadable;
        if (tab.searchDetails)
            for (const std::string &folder : tab.searchDetails->unreadable)
                unreadable << QString::fromUtf8(folder.data(), static_cast<qsizetype>(folder.size()));
        m_bar->setUnreadable(unreadable);
    } else if (m_openFor != tab.id || m_searched == tab.id) {
        // Another tab, or this tab left its search (back, or a folder opened).
        m_openFor.reset();
        m_searched.reset();
        m_bar->hide();
    }

    if (m_reveal && (m_reveal->tab != tab.id || tab.search)) {
        if (m_reveal->tab != tab.id)
            m_reveal.reset();
        return;
    }
    if (m_reveal && tab.url() == m_reveal->folder) {
        for (const FileEntry &entry : tab.visibleEntries()) {
            if (entry.id() == m_reveal->id) {
                const std::string id = m_reveal->id;
                m_reveal.reset();
                m_store.select({id});
                return;
            }
        }
        if (!tab.loading)
            m_reveal.reset();
    }
}

} // namespace dromel
