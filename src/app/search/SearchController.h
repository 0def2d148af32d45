#pragma once

#include "browser/BrowserStore.h"
#include "core/Uuid.h"
#include "search/SearchBar.h"

#include <QObject>

#include <optional>
#include <string>

namespace dromel {

// Runs the window's search: opens the search row for the active tab, turns
// what it holds into the store's search, shows a tab's search again when the
// tab becomes active, and opens a result's folder with the result selected.
// The store owns the search state; this keeps only which tab has the row
// open before its first search. Main thread only; never touches the disk
// (the volume of a folder comes from the kernel's mount table).
class SearchController : public QObject {
    Q_OBJECT
public:
    SearchController(BrowserStore &store, SearchBar *bar, QObject *parent = nullptr);

    // Ctrl+Shift+F and the toolbar's button.
    void begin();
    // Called for every store notice.
    void render();
    // The single selected result's folder, in this tab, with the result selected.
    void openContainingFolder();

    // The mount point holding `folder`, by the longest mount path it lies in.
    static std::string volumeOf(const std::string &folder);

private:
    void submit();
    void close();
    std::string startFolder(SearchBar::Start start) const;
    SearchBar::Start startOf(const SearchQuery &query) const;

    BrowserStore &m_store;
    SearchBar *m_bar;
    // The tab whose row is open, with or without a search yet.
    std::optional<Uuid> m_openFor;
    // The tab whose search the row shows.
    std::optional<Uuid> m_searched;
    struct Reveal {
        Uuid tab;
        std::string folder;
        std::string id;
    };
    std::optional<Reveal> m_reveal;
};

} // namespace dromel
