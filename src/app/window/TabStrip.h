#pragma once

#include "core/BrowserTab.h"
#include "core/Uuid.h"

#include <QTabBar>

#include <vector>

class QToolButton;

namespace dromel {

// The browser's tabs as a QTabBar: one closable tab per store tab, titled with
// the folder's name (elided at the end), a folder icon and the path as its
// tooltip. It keeps no state of its own beyond the ids of the tabs it shows:
// clicks become requests, and the store's answer rebuilds the strip.
class TabStrip : public QTabBar {
    Q_OBJECT
public:
    static constexpr int kTabWidth = 150;

    explicit TabStrip(QWidget *parent = nullptr);

    // Shows `tabs` with `active` current. Emits nothing.
    void showTabs(const std::vector<BrowserTab> &tabs, const Uuid &active);
    Uuid idAt(int index) const { return m_ids.at(static_cast<std::size_t>(index)); }
    // The tab's close button (for its tooltip and for tests).
    QWidget *closeButton(int index) const;

signals:
    void tabClicked(dromel::Uuid id);
    void closeClicked(dromel::Uuid id);
    // The user dragged the tab to `position`.
    void moveRequested(dromel::Uuid id, int position);
    // A right click (or the menu key) on a tab.
    void menuRequested(dromel::Uuid id, QPoint globalPosition);

protected:
    QSize tabSizeHint(int index) const override;
    QSize minimumTabSizeHint(int index) const override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void changeEvent(QEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    QToolButton *makeCloseButton();
    void tabDragged(int from, int to);

    std::vector<Uuid> m_ids;
    bool m_rebuilding = false;
};

} // namespace dromel
