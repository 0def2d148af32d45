#include "window/TabStrip.h"

#include "window/PlaceTitles.h"

#include "core/Location.h"
#include "look/Symbols.h"
#include "presentation/Localization.h"

#include <QAbstractButton>
#include <QContextMenuEvent>
#include <QIcon>
#include <QMouseEvent>
#include <QStyle>
#include <QToolButton>

namespace dromel {

namespace {

QString display(const std::string &bytes) {
    return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

QString title(const std::string &folder) {
    if (auto place = PlaceTitles::of(folder))
        return *place;
    return folder == "/" ? QStringLiteral("/") : display(Location::lastComponent(folder));
}

} // namespace

TabStrip::TabStrip(QWidget *parent) : QTabBar(parent) {
    // Closable through a button of our own per tab (see makeCloseButton).
    setTabsClosable(false);
    // A dragged tab asks the store to move it, so the strip's order and the
    // store's (and the saved session's) stay the same.
    setMovable(true);
    setElideMode(Qt::ElideRight);
    setUsesScrollButtons(true);
    setExpanding(false);
    setDocumentMode(true);
    setDrawBase(false);
    setFocusPolicy(Qt::NoFocus);
    setIconSize(QSize(16, 16));
    connect(this, &QTabBar::currentChanged, this, [this](int index) {
        if (!m_rebuilding && index >= 0)
            emit tabClicked(idAt(index));
    });
    connect(this, &QTabBar::tabMoved, this, &TabStrip::tabDragged);
}

// Qt has already moved the tab (and moves it again while the drag goes on);
// the ids follow so every later request names the right tab.
void TabStrip::tabDragged(int from, int to) {
    if (m_rebuilding || from < 0 || to < 0 || static_cast<std::size_t>(from) >= m_ids.size() ||
        static_cast<std::size_t>(to) >= m_ids.size())
        return;
    const Uuid id = m_ids[static_cast<std::size_t>(from)];
    m_ids.erase(m_ids.begin() + from);
    m_ids.insert(m_ids.begin() + to, id);
    emit moveRequested(id, to);
}

void TabStrip::showTabs(const std::vector<BrowserTab> &tabs, const Uuid &active) {
    m_rebuilding = true;
    const QIcon folderIcon = QIcon::fromTheme("folder", style()->standardIcon(QStyle::SP_DirIcon));
    const Localization texts = Localization::current();
    while (count() > static_cast<int>(tabs.size()))
        removeTab(count() - 1);
    m_ids.clear();
    for (std::size_t position = 0; position < tabs.size(); ++position) {
        const BrowserTab &tab = tabs[position];
        const int index = static_cast<int>(position);
        const QString name = title(tab.url());
        if (index >= count())
            addTab(folderIcon, name);
        else
            setTabText(index, name);
        setTabToolTip(index, display(tab.url()));
        setTabData(index, QString::fromStdString(tab.id.text()));
        QWidget *button = closeButton(index);
        if (!button) {
            button = makeCloseButton();
            setTabButton(index, QTabBar::RightSide, button);
        }
        const QString closeText = texts.format(TextKey::closeNamedTab, name);
        button->setToolTip(closeText);
        button->setAccessibleName(closeText);
        m_ids.push_back(tab.id);
        if (tab.id == active)
            setCurrentIndex(index);
    }
    m_rebuilding = false;
}

// The style's own close glyph is a coloured box on desktops without a theme;
// a flat button with the toolbar's symbol reads the same everywhere.
QToolButton *TabStrip::makeCloseButton() {
    auto *button = new QToolButton(this);
    button->setAutoRaise(true);
    button->setFixedSize(18, 18);
    button->setIconSize(QSize(12, 12));
    button->setFocusPolicy(Qt::NoFocus);
    button->setIcon(Symbols::icon(Symbols::Symbol::dismiss, palette()));
    connect(button, &QToolButton::clicked, this, [this, button] {
        for (int index = 0; index < count(); ++index)
            if (tabButton(index, QTabBar::RightSide) == button) {
                emit closeClicked(idAt(index));
                return;
            }
    });
    return button;
}

void TabStrip::changeEvent(QEvent *event) {
    QTabBar::changeEvent(event);
    if (event->type() == QEvent::PaletteChange)
        for (int index = 0; index < count(); ++index)
            if (auto *button = qobject_cast<QToolButton *>(tabButton(index, QTabBar::RightSide)))
                button->setIcon(Symbols::icon(Symbols::Symbol::dismiss, palette()));
}

QWidget *TabStrip::closeButton(int index) const {
    if (QWidget *button = tabButton(index, QTabBar::RightSide))
        return button;
    return tabButton(index, QTabBar::LeftSide);
}

QSize TabStrip::tabSizeHint(int index) const {
    QSize size = QTabBar::tabSizeHint(index);
    size.setWidth(kTabWidth);
    return size;
}

QSize TabStrip::minimumTabSizeHint(int index) const {
    return tabSizeHint(index);
}

void TabStrip::contextMenuEvent(QContextMenuEvent *event) {
    const int index = tabAt(event->pos());
    if (index < 0)
        return;
    emit menuRequested(idAt(index), event->globalPos());
    event->accept();
}

void TabStrip::mouseReleaseEvent(QMouseEvent *event) {
    if (event->button() == Qt::MiddleButton) {
        const int index = tabAt(event->position().toPoint());
        if (index >= 0) {
            emit closeClicked(idAt(index));
            event->accept();
            return;
        }
    }
    QTabBar::mouseReleaseEvent(event);
}

} // namespace dromel
