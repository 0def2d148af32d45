#include "window/TabStrip.h"

#include "core/Location.h"
#include "presentation/Localization.h"

#include <QAbstractButton>
#include <QIcon>
#include <QMouseEvent>
#include <QStyle>

namespace dromel {

namespace {

QString display(const std::string &bytes) {
    return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

QString title(const std::string &folder) {
    return folder == "/" ? QStringLiteral("/") : display(Location::lastComponent(folder));
}

} // namespace

TabStrip::TabStrip(QWidget *parent) : QTabBar(parent) {
    setTabsClosable(true);
    // The store keeps the tabs' order and has no way to reorder them, so
    // dragging a tab would show an order that is not the real one.
    setMovable(false);
    setElideMode(Qt::ElideMiddle);
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
    connect(this, &QTabBar::tabCloseRequested, this, [this](int index) { emit closeClicked(idAt(index)); });
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
        if (QWidget *button = closeButton(index)) {
            const QString closeText = texts.format(TextKey::closeNamedTab, name);
            button->setToolTip(closeText);
            button->setAccessibleName(closeText);
        }
        m_ids.push_back(tab.id);
        if (tab.id == active)
            setCurrentIndex(index);
    }
    m_rebuilding = false;
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
