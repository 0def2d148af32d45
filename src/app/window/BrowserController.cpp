#include "window/BrowserController.h"

#include "core/Location.h"
#include "core/PathInput.h"
#include "core/StatePaths.h"
#include "desktop/DesktopActions.h"
#include "directory/ListingOrderer.h"
#include "directory/LocalDirectoryReader.h"
#include "look/DromelTheme.h"
#include "look/Icons.h"
#include "look/MaterialHost.h"
#include "look/Symbols.h"
#include "look/ThumbnailLoader.h"
#include "presentation/Localization.h"
#include "search/SearchBar.h"
#include "search/SearchController.h"
#include "sidebar/DirectorySidebar.h"
#include "table/FileIconView.h"
#include "table/FileTable.h"
#include "table/FileTableModel.h"
#include "window/DesktopCommands.h"
#include "window/PathBar.h"
#include "window/PlaceTitles.h"
#include "window/TabStrip.h"

#include <QAbstractSpinBox>
#include <QAction>
#include <QApplication>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProgressBar>
#include <QScrollBar>
#include <QSplitter>
#include <QTextEdit>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <set>
#include <unordered_set>

namespace dromel {

namespace {

QString display(const std::string &bytes) {
    return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

QString text(TextKey key) {
    return Localization::current().text(key);
}

QString folderTitle(const std::string &folder) {
    if (auto place = PlaceTitles::of(folder))
        return *place;
    return folder == "/" ? QStringLiteral("/") : display(Location::lastComponent(folder));
}

constexpr int kSidebarMinimum = 190;
constexpr int kSidebarMaximum = 300;
constexpr int kContentMinimum = 480;
constexpr int kFilterWidth = 180;
// Below this width the kind column is hidden.
constexpr int kNarrowWidth = 1020;
// Twice the list's icon, so thumbnails stay sharp on doubled pixels.
constexpr int kListThumbnailSide = 48;
// The shared cache's normal size, which the peers make too.
constexpr int kIconThumbnailSide = 128;

} // namespace

BrowserController::BrowserController(BrowserStore &store, std::string root, QWidget *parent)
    : QWidget(parent), m_store(store), m_root(std::move(root)), m_desktop(new DesktopActions(this)),
      m_icons(std::make_unique<Icons>()), m_thumbnails(std::make_unique<ThumbnailLoader>(kListThumbnailSide)),
      m_iconThumbnails(std::make_unique<ThumbnailLoader>(kIconThumbnailSide)) {
    buildActions();
    buildContent();
    buildSidebar();
    m_desktopCommands = new DesktopCommands(*this, m_store);
    connectTable();
    m_store.onChange = [this](BrowserStore::Change change) { render(change); };
    qApp->installEventFilter(this);
    connect(qApp, &QApplication::focusChanged, this, [this] { updateEditActions(); });
    render(BrowserStore::Change::content);
}

BrowserController::~BrowserController() {
    // A window owned here (the operations window) closes while the children
    // go, moving the focus: no focus notice may reach the half-gone controller.
    disconnect(qApp, nullptr, this, nullptr);
    qApp->removeEventFilter(this);
    m_store.onChange = nullptr;
    // The table draws with the icons; it goes first.
    delete m_splitter;
}

// --- Building -----------------------------------------------------------------

void BrowserController::buildActions() {
    const auto make = [this](TextKey key, std::initializer_list<QKeySequence> keys, auto slot) {
        auto *action = new QAction(text(key), this);
        action->setShortcuts(QList<QKeySequence>(keys));
        action->setShortcutContext(Qt::WindowShortcut);
        if constexpr (!std::is_same_v<decltype(slot), std::nullptr_t>)
            connect(action, &QAction::triggered, this, slot);
        return action;
    };
    Actions &a = m_actions;
    a.newTab = make(TextKey::newTab, {QKeySequence(Qt::CTRL | Qt::Key_T)}, &BrowserController::newTab);
    a.closeTab = make(TextKey::closeTab, {QKeySequence(Qt::CTRL | Qt::Key_W)}, &BrowserController::closeTab);
    a.reopenTab = make(TextKey::reopenClosedTab, {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_T)},
                       &BrowserController::reopenClosedTab);
    a.reopenTab->setEnabled(false);
    a.open = make(TextKey::open, {QKeySequence(Qt::CTRL | Qt::Key_O)}, &BrowserController::openSelected);
    a.openInNewTab = make(TextKey::openInNewTab, {}, &BrowserController::openInNewTab);
    a.preview = make(TextKey::preview, {}, &BrowserController::preview);
    a.reveal = make(TextKey::finder, {}, &BrowserController::revealInFinder);
    // The file commands arrive with the operation engine's window; until
    // then their entries stay visible but disabled.
    a.newFolder = make(TextKey::newFolder, {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_N)}, nullptr);
    a.rename = make(TextKey::rename, {QKeySequence(Qt::Key_F2)}, nullptr);
    a.trash = make(TextKey::trash, {QKeySequence(Qt::Key_Delete)}, nullptr);
    a.operations = make(TextKey::operations, {}, nullptr);
    for (QAction *fileCommand : {a.newFolder, a.rename, a.trash, a.operations})
        fileCommand->setEnabled(false);

    a.undo = make(TextKey::undo, {QKeySequence::Undo}, [this] {
        if (QLineEdit *field = focusedLineEdit())
            field->undo();
    });
    a.redo = make(TextKey::redo, {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)}, [this] {
        if (QLineEdit *field = focusedLineEdit())
            field->redo();
    });
    a.cut = make(TextKey::cut, {QKeySequence::Cut}, [this] {
        if (QLineEdit *field = focusedLineEdit())
            field->cut();
    });
    a.copy = make(TextKey::copy, {QKeySequence::Copy}, [this] {
        if (QLineEdit *field = focusedLineEdit())
            field->copy();
    });
    a.paste = make(TextKey::paste, {QKeySequence::Paste}, [this] {
        if (QLineEdit *field = focusedLineEdit())
            field->paste();
    });
    a.selectAll = make(TextKey::selectAll, {QKeySequence::SelectAll}, [this] {
        if (QLineEdit *field = focusedLineEdit())
            field->selectAll();
        else
            selectAllFiles();
    });
    a.copyPath =
        make(TextKey::copyPath, {QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_C)}, &BrowserController::copyPath);

    // Linux file managers share Alt+arrows; the bracket forms are kept too.
    a.back = make(TextKey::back,
                  {QKeySequence(Qt::ALT | Qt::Key_Left), QKeySequence(Qt::CTRL | Qt::Key_BracketLeft)},
                  &BrowserController::back);
    a.forward = make(TextKey::forward,
                     {QKeySequence(Qt::ALT | Qt::Key_Right), QKeySequence(Qt::CTRL | Qt::Key_BracketRight)},
                     &BrowserController::forward);
    a.up = make(TextKey::up, {QKeySequence(Qt::ALT | Qt::Key_Up)}, &BrowserController::up);
    a.editPath = make(TextKey::editPath, {QKeySequence(Qt::CTRL | Qt::Key_L)}, &BrowserController::editPath);
    a.focusFilter =
        make(TextKey::filter, {QKeySequence(Qt::CTRL | Qt::Key_F)}, &BrowserController::focusFilter);
    // The filter keeps Ctrl+F; searching below the folder takes the Shift form.
    a.search = make(TextKey::search, {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_F)},
                    &BrowserController::beginSearch);
    a.openContainingFolder =
        make(TextKey::openContainingFolder, {QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_O)},
             [this] { runCommand(ListCommand::openContainingFolder); });
    a.refresh = make(TextKey::refresh, {QKeySequence(Qt::CTRL | Qt::Key_R)}, &BrowserController::refresh);
    a.toggleHidden =
        make(TextKey::showHidden, {QKeySequence(Qt::CTRL | Qt::Key_H)}, &BrowserController::toggleHidden);
    a.toggleHidden->setCheckable(true);
    a.preferences = make(TextKey::settingsMenu, {QKeySequence(Qt::CTRL | Qt::Key_Comma)},
                         &BrowserController::preferences);
    a.viewAsList =
        make(TextKey::viewAsList, {QKeySequence(Qt::CTRL | Qt::Key_1)}, [this] { setShowsIcons(false); });
    a.viewAsIcons =
        make(TextKey::viewAsIcons, {QKeySequence(Qt::CTRL | Qt::Key_2)}, [this] { setShowsIcons(true); });
    a.viewAsIcons->setCheckable(true);
    for (QAction *action : findChildren<QAction *>())
        addAction(action);
}

bool BrowserController::showsIcons() const {
    return m_store.current().viewMode == TabViewMode::icons;
}

void BrowserController::setShowsIcons(bool icons) {
    m_store.setView(icons ? TabViewMode::icons : TabViewMode::list, m_store.current().iconZoom);
}

void BrowserController::applyView(const BrowserTab &tab) {
    const bool icons = tab.viewMode == TabViewMode::icons;
    const int zoom = tab.iconZoom > 0 ? tab.iconZoom : FileIconView::kDefaultIcon;
    if (m_iconView->zoom() != zoom) {
        m_applyingView = true;
        m_iconView->setZoom(zoom);
        m_applyingView = false;
    }
    m_actions.viewAsIcons->setChecked(icons);
    if (m_toolViewIcons)
        m_toolViewIcons->setChecked(icons);
    if (icons == m_iconView->isVisibleTo(this) && icons != m_table->isVisibleTo(this))
        return;
    const bool focused = m_table->hasFocus() || m_iconView->hasFocus();
    m_table->fileModel().setThumbnails(icons ? m_iconThumbnails.get() : m_thumbnails.get());
    m_iconView->setVisible(icons);
    m_table->setVisible(!icons);
    if (focused)
        (icons ? static_cast<QWidget *>(m_iconView) : m_table)->setFocus(Qt::OtherFocusReason);
    if (icons && m_table->currentIndex().isValid())
        m_iconView->scrollTo(m_table->currentIndex());
}

QToolButton *BrowserController::toolButton(QAction *action) {
    auto *button = new QToolButton(this);
    button->setDefaultAction(action);
    button->setAutoRaise(true);
    button->setFixedSize(Symbols::kButtonSide, Symbols::kButtonSide);
    button->setIconSize(QSize(Symbols::kSymbolSide, Symbols::kSymbolSide));
    button->setToolButtonStyle(Qt::ToolButtonIconOnly);
    button->setFocusPolicy(Qt::TabFocus);
    button->setAccessibleName(action->text());
    return button;
}

void BrowserController::buildContent() {
    m_splitter = new QSplitter(Qt::Horizontal, this);
    m_splitter->setChildrenCollapsible(false);

    m_sidebarPane = new QWidget;
    m_sidebarLayout = new QVBoxLayout(m_sidebarPane);
    m_sidebarLayout->setContentsMargins(8, 8, 8, 8);
    QLabel *sidebarHeader = DromelTheme::label(text(TextKey::localFiles), true, m_sidebarPane);
    QFont headerFont = sidebarHeader->font();
    headerFont.setBold(true);
    sidebarHeader->setFont(headerFont);
    m_sidebarLayout->addWidget(sidebarHeader);
    m_sidebarLayout->addStretch(1);

    auto *content = new QWidget;
    content->setMinimumWidth(kContentMinimum);
    auto *contentLayout = new QVBoxLayout(content);
    contentLayout->setContentsMargins(0, 0, 0, 0);
    contentLayout->setSpacing(0);

    m_errorRow = new QWidget(content);
    auto *errorLayout = new QHBoxLayout(m_errorRow);
    errorLayout->setContentsMargins(12, 6, 6, 6);
    m_errorLabel = new QLabel(m_errorRow);
    m_errorLabel->setWordWrap(false);
    m_errorLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_errorLabel->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    QPalette errorPalette = m_errorLabel->palette();
    errorPalette.setColor(QPalette::WindowText, QColor(0xd0, 0x2c, 0x2c));
    m_errorLabel->setPalette(errorPalette);
    auto *dismiss = new QAction(text(TextKey::dismissError), this);
    connect(dismiss, &QAction::triggered, this, &BrowserController::dismissError);
    m_dismissButton = toolButton(dismiss);
    errorLayout->addWidget(m_errorLabel, 1);
    errorLayout->addWidget(m_dismissButton);
    m_errorRow->hide();
    contentLayout->addWidget(m_errorRow);
    m_searchBar = new SearchBar(content);
    contentLayout->addWidget(m_searchBar);
    m_search = new SearchController(m_store, m_searchBar, this);
    connect(m_searchBar, &SearchBar::resultsRequested, this,
            [this] { m_table->setFocus(Qt::ShortcutFocusReason); });

    auto *listArea = new QWidget(content);
    auto *listLayout = new QGridLayout(listArea);
    listLayout->setContentsMargins(0, 0, 0, 0);
    m_table = new FileTable(m_store, *m_icons, listArea);
    m_table->setThumbnails(m_thumbnails.get());
    m_table->setAccessibleName(text(TextKey::fileList));
    m_table->setFrameShape(QFrame::NoFrame);
    m_iconView = new FileIconView(*m_table, listArea);
    m_iconView->setThumbnails(m_iconThumbnails.get());
    m_iconView->hide();
    connect(m_iconView, &FileIconView::zoomChanged, this, [this](int side) {
        if (!m_applyingView)
            m_store.setView(m_store.current().viewMode, side);
    });
    listLayout->addWidget(m_iconView, 0, 0);
    m_emptyLabel = new QLabel(listArea);
    m_emptyLabel->setAlignment(Qt::AlignCenter);
    m_emptyLabel->setForegroundRole(QPalette::PlaceholderText);
    m_emptyLabel->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_emptyLabel->hide();
    listLayout->addWidget(m_table, 0, 0);
    listLayout->addWidget(m_emptyLabel, 0, 0, Qt::AlignCenter);
    contentLayout->addWidget(listArea, 1);

    auto *statusRow = new QWidget(content);
    auto *statusLayout = new QHBoxLayout(statusRow);
    statusLayout->setContentsMargins(12, 4, 12, 4);
    m_status = DromelTheme::label(QString(), true, statusRow);
    m_status->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    m_spinner = new QProgressBar(statusRow);
    m_spinner->setRange(0, 0);
    m_spinner->setTextVisible(false);
    m_spinner->setFixedSize(72, 8);
    m_spinner->hide();
    statusLayout->addWidget(m_status, 1);
    statusLayout->addWidget(m_spinner);
    contentLayout->addWidget(statusRow);

    // The panels sit on the skin's backing, inset so its rounded edge shows.
    auto *sidebarHost = new MaterialHost(m_sidebarPane, 20, true);
    sidebarHost->setMinimumWidth(kSidebarMinimum);
    sidebarHost->setMaximumWidth(kSidebarMaximum);
    m_splitter->addWidget(sidebarHost);
    m_splitter->addWidget(new MaterialHost(content, 16, false));
    m_splitter->setStretchFactor(0, 0);
    m_splitter->setStretchFactor(1, 1);
    m_splitter->setSizes({kSidebarMinimum, 1000});

    // The tabs have a row of their own under the toolbar, as in browsers and
    // the peers, so the path bar keeps the toolbar's width; it shows once
    // there are two tabs.
    m_tabRow = new QWidget(this);
    auto *tabLayout = new QHBoxLayout(m_tabRow);
    tabLayout->setContentsMargins(8, 2, 8, 0);
    tabLayout->setSpacing(0);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_tabRow);
    layout->addWidget(m_splitter, 1);

    m_tabStrip = new TabStrip(m_tabRow);
    m_tabStrip->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    tabLayout->addWidget(m_tabStrip, 1);
    m_tabRow->hide();
    connect(m_tabStrip, &TabStrip::tabClicked, this, [this](Uuid id) { m_store.switchTab(id); });
    connect(m_tabStrip, &TabStrip::closeClicked, this, &BrowserController::closeTabRemembered);
    connect(m_tabStrip, &TabStrip::menuRequested, this, &BrowserController::showTabMenu);
    connect(m_tabStrip, &TabStrip::moveRequested, this,
            [this](Uuid id, int position) { m_store.moveTab(id, static_cast<std::size_t>(position)); });

    m_pathBar = new PathBar(this);
    connect(m_pathBar, &PathBar::folderClicked, this, [this](const QByteArray &folder) {
        m_store.navigate(folder.toStdString(), BrowserStore::Navigation::visit);
    });
    connect(m_pathBar, &PathBar::pathSubmitted, this, &BrowserController::pathSubmitted);
    connect(m_pathBar, &PathBar::editingCancelled, this, &BrowserController::closePathEditor);

    m_filter = new QLineEdit(this);
    m_filter->setFixedWidth(kFilterWidth);
    m_filter->setClearButtonEnabled(true);
    m_filter->setPlaceholderText(text(TextKey::filter));
    m_filter->setAccessibleName(text(TextKey::filter));
    connect(m_filter, &QLineEdit::textChanged, this, [this](const QString &value) {
        if (!m_updating)
            m_store.filter(value.toStdString());
    });
}

void BrowserController::connectTable() {
    m_table->canRun = &BrowserController::canRun;
    m_table->fillSubmenu = [this](ListCommand command, QMenu *menu) {
        m_desktopCommands->fill(command, menu);
    };
    m_table->onMiddleClickFolder = [this](const std::string &folder) { m_store.addTab(folder); };
    connect(m_table, &FileTable::commandRequested, this, &BrowserController::runCommand);
    connect(m_table, &FileTable::previewVisibilityChanged, m_actions.preview, &QAction::setChecked);
    m_actions.preview->setCheckable(true);
}

void BrowserController::installToolbar(QMainWindow *window) {
    m_toolbar = new QToolBar(window);
    m_toolbar->setObjectName("browserToolbar");
    m_toolbar->setMovable(false);
    m_toolbar->setFloatable(false);
    m_toolbar->toggleViewAction()->setEnabled(false);
    m_toolbar->setContextMenuPolicy(Qt::PreventContextMenu);
    m_toolbar->setIconSize(QSize(Symbols::kSymbolSide, Symbols::kSymbolSide));

    // The toolbar's own buttons name themselves after the button, not the menu item.
    m_toolNewTab = new QAction(text(TextKey::newTab), this);
    connect(m_toolNewTab, &QAction::triggered, this, &BrowserController::newTab);
    m_toolEditPath = new QAction(text(TextKey::editPath), this);
    m_toolEditPath->setToolTip(text(TextKey::editPathShortcut));
    connect(m_toolEditPath, &QAction::triggered, this, &BrowserController::editPath);
    m_toolMore = new QAction(text(TextKey::more), this);
    m_toolSettings = new QAction(text(TextKey::settings), this);
    m_toolViewIcons = new QAction(text(TextKey::viewAsIcons), this);
    m_toolViewIcons->setCheckable(true);
    m_toolViewIcons->setChecked(showsIcons());
    connect(m_toolViewIcons, &QAction::triggered, this, [this](bool checked) { setShowsIcons(checked); });
    connect(m_toolSettings, &QAction::triggered, this, &BrowserController::preferences);

    for (QAction *action : {m_actions.back, m_actions.forward, m_actions.up, m_actions.refresh})
        m_toolbar->addWidget(toolButton(action));
    m_toolbar->addWidget(toolButton(m_toolNewTab));
    m_toolbar->addSeparator();
    m_toolbar->addWidget(m_pathBar);
    m_toolbar->addWidget(toolButton(m_toolEditPath));
    m_toolbar->addWidget(m_filter);
    m_toolbar->addWidget(toolButton(m_actions.search));
    m_toolbar->addWidget(toolButton(m_toolViewIcons));
    m_toolbar->addWidget(toolButton(m_actions.preview));
    m_moreButton = toolButton(m_toolMore);
    connect(m_toolMore, &QAction::triggered, this, &BrowserController::showMoreMenu);
    m_toolbar->addWidget(m_moreButton);
    m_toolbar->addWidget(toolButton(m_toolSettings));
    window->addToolBar(Qt::TopToolBarArea, m_toolbar);
    applySymbols();
}

void BrowserController::applySymbols() {
    using Symbols::Symbol;
    const QPalette &colours = palette();
    m_actions.back->setIcon(Symbols::icon(Symbol::back, colours));
    m_actions.forward->setIcon(Symbols::icon(Symbol::forward, colours));
    m_actions.up->setIcon(Symbols::icon(Symbol::up, colours));
    m_actions.search->setIcon(Symbols::icon(Symbol::search, colours));
    m_actions.refresh->setIcon(Symbols::icon(Symbol::refresh, colours));
    m_actions.preview->setIcon(Symbols::icon(Symbol::preview, colours));
    m_dismissButton->setIcon(Symbols::icon(Symbol::dismiss, colours));
    if (!m_toolbar)
        return;
    m_toolNewTab->setIcon(Symbols::icon(Symbol::newTab, colours));
    m_toolEditPath->setIcon(Symbols::icon(Symbol::editPath, colours));
    m_toolMore->setIcon(Symbols::icon(Symbol::more, colours));
    m_toolSettings->setIcon(Symbols::icon(Symbol::settings, colours));
    m_actions.viewAsIcons->setIcon(Symbols::icon(Symbol::icons, colours));
    m_toolViewIcons->setIcon(m_actions.viewAsIcons->icon());
}

void BrowserController::buildSidebar() {
    m_sidebarReader = std::make_unique<LocalDirectoryReader>();
    m_sidebarOrderer = std::make_unique<ListingOrderer>();
    m_directorySidebar = new DirectorySidebar(m_root, *m_sidebarReader, *m_sidebarOrderer);
    m_directorySidebar->setShowHidden(m_store.showHidden());
    m_directorySidebar->onNavigate = [this](const std::string &folder) {
        m_store.navigate(folder, BrowserStore::Navigation::visit);
    };
    // A volume that came or went may hold a tab's folder.
    m_directorySidebar->onVolumesChanged = [this] {
        std::set<std::string> folders;
        for (const BrowserTab &tab : m_store.tabs())
            folders.insert(tab.url());
        m_store.invalidateDirectories(folders);
    };
    // Folders where a volume is mounted carry the mounted emblem in the list.
    m_directorySidebar->onVolumesListed = [this](const std::vector<MountedVolume> &volumes) {
        std::unordered_set<std::string> mountPoints;
        for (const MountedVolume &volume : volumes)
            if (volume.url != "/")
                mountPoints.insert(Location::standardized(volume.url));
        m_icons->setMountPoints(std::move(mountPoints));
        m_table->viewport()->update();
    };
    setSidebar(m_directorySidebar);
}

void BrowserController::setSidebar(QWidget *sidebar) {
    if (m_sidebar)
        m_sidebar->deleteLater();
    m_sidebar = sidebar;
    // Replaces the stretch below the header.
    delete m_sidebarLayout->takeAt(1);
    m_sidebarLayout->addWidget(sidebar, 1);
}

void BrowserController::showMoreMenu() {
    QMenu *menu = m_table->makeContextMenu(m_moreButton);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(m_moreButton->mapToGlobal(QPoint(0, m_moreButton->height())));
}

// The file commands (clipboard, rename, trash, new folder, operations) come
// with the operation engine's window; until then they are never offered.
bool BrowserController::canRun(ListCommand command) {
    return !isFileCommand(command);
}

void BrowserController::runCommand(ListCommand command) {
    if (m_desktopCommands->handles(command)) {
        m_desktopCommands->run(command);
        return;
    }
    if (!canRun(command))
        return;
    switch (command) {
    case ListCommand::open:
        openSelected();
        break;
    case ListCommand::openInNewTab:
        openInNewTab();
        break;
    case ListCommand::copyPath:
        copyPath();
        break;
    case ListCommand::reveal:
        revealInFinder();
        break;
    case ListCommand::openContainingFolder:
        m_search->openContainingFolder();
        break;
    case ListCommand::refresh:
        refresh();
        break;
    case ListCommand::settings:
        preferences();
        break;
    default:
        m_table->run(command);
        break;
    }
}

// --- Rendering ----------------------------------------------------------------

void BrowserController::render(BrowserStore::Change change) {
    const BrowserTab &tab = m_store.current();

    std::string signature;
    for (const BrowserTab &each : m_store.tabs())
        signature += each.id.text() + ":" + each.url();
    signature += m_store.activeID().text();
    if (signature != m_lastTabSignature) {
        m_tabStrip->showTabs(m_store.tabs(), m_store.activeID());
        m_lastTabSignature = signature;
        m_tabRow->setVisible(m_store.tabs().size() >= 2 || m_alwaysShowTabs);
    }
    applyView(tab);

    m_actions.back->setEnabled(tab.history.back().has_value() || tab.search.has_value());
    m_actions.forward->setEnabled(tab.history.forward().has_value());
    m_actions.up->setEnabled(tab.url() != "/");
    m_actions.preview->setEnabled(!tab.selection.empty());
    m_actions.toggleHidden->setChecked(m_store.showHidden());

    m_pathBar->setFolder(tab.url());
    if (m_filter->text().toStdString() != tab.filter()) {
        m_updating = true;
        m_filter->setText(display(tab.filter()));
        m_updating = false;
    }

    if (change == BrowserStore::Change::content && !tab.loading)
        askFreeSpace(tab);
    renderStatus(tab);
    renderError(tab);
    const bool empty = !tab.error && !tab.loading && tab.visibleEntries().empty();
    m_emptyLabel->setText(text(tab.filter().empty() ? TextKey::emptyFolder : TextKey::noMatches));
    m_emptyLabel->setVisible(empty);

    m_table->render(change);
    m_search->render();
    if (change == BrowserStore::Change::content)
        renderContent(tab);
    if (m_directorySidebar) {
        m_directorySidebar->setShowHidden(m_store.showHidden());
        if (tab.url() != m_lastTreeURL) {
            m_lastTreeURL = tab.url();
            m_directorySidebar->reveal(tab.url());
        }
    }

    if (QWidget *top = window(); top != this)
        top->setWindowTitle(folderTitle(tab.url()) + QStringLiteral(" \u2014 Dromel"));
    updateEditActions();
    if (tab.url() != m_lastShownURL) {
        m_lastShownURL = tab.url();
        emit locationShown();
    }
}

void BrowserController::renderStatus(const BrowserTab &tab) {
    const Localization texts = Localization::current();
    QString line = texts.count(TextKey::items, static_cast<qint64>(tab.visibleEntries().size()));
    if (!tab.filter().empty())
        line = texts.format(TextKey::statusFiltered, line,
                            texts.count(TextKey::items, static_cast<qint64>(tab.entries().size())));
    if (!tab.selection.empty())
        line = texts.format(TextKey::statusSelection, line,
                            texts.count(TextKey::selected, static_cast<qint64>(tab.selection.size())));
    if (!tab.selection.empty()) {
        std::int64_t total = 0;
        for (const FileEntry &entry : m_store.selected())
            total += entry.size().value_or(0);
        line = texts.format(TextKey::selectionSize, line, texts.bytes(total));
    }
    if (m_freeSpace && m_freeSpace->first == tab.url())
        line = texts.format(TextKey::statusSelection, line,
                            texts.format(TextKey::freeSpace, texts.bytes(m_freeSpace->second)));
    if (tab.loading)
        line = texts.format(TextKey::statusLoading, line);
    else if (tab.arranging)
        line = texts.format(TextKey::statusSorting, line);
    m_status->setText(line);
    m_spinner->setVisible(tab.loading || tab.arranging);
}

// Asked again whenever the folder's listing settles, as files come and go.
void BrowserController::askFreeSpace(const BrowserTab &tab) {
    m_desktopCommands->freeSpace(tab.url(), [this](const std::string &folder, std::int64_t bytes) {
        m_freeSpace = {folder, bytes};
        if (folder == m_store.current().url())
            renderStatus(m_store.current());
    });
}

void BrowserController::renderError(const BrowserTab &tab) {
    if (!tab.error) {
        m_errorRow->hide();
        return;
    }
    const Localization texts = Localization::current();
    QString message;
    if (const auto *read = std::get_if<BrowserIssue::DirectoryRead>(&tab.error->value))
        message = texts.format(TextKey::directoryError, display(read->path), display(read->detail));
    else if (const auto *plain = std::get_if<BrowserIssue::Message>(&tab.error->value))
        message = display(plain->text);
    else
        message = texts.text(TextKey::tooManyTabs);
    m_errorLabel->setText(message);
    m_errorLabel->setToolTip(message);
    m_errorRow->show();
}

void BrowserController::renderContent(const BrowserTab &tab) {
    if (m_renderedTab && *m_renderedTab != tab.id)
        closePathEditor();
    m_renderedTab = tab.id;
}

// --- Input --------------------------------------------------------------------

void BrowserController::pathSubmitted(const QString &typed) {
    const QByteArray bytes = typed.toUtf8();
    std::string resolved;
    bool valid = true;
    try {
        resolved =
            PathInput::resolve(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())),
                               StatePaths::homeFolder());
    } catch (const PathInput::PathError &) {
        valid = false;
    }
    closePathEditor();
    if (valid)
        m_store.navigate(resolved, BrowserStore::Navigation::visit);
    else
        m_store.showError(text(TextKey::invalidPath).toStdString());
}

void BrowserController::closePathEditor() {
    const bool wasEditing = m_pathBar->isEditing();
    m_pathBar->endEditing();
    if (wasEditing)
        m_table->setFocus(Qt::OtherFocusReason);
}

void BrowserController::addBanner(QWidget *banner) {
    auto *layout = qobject_cast<QVBoxLayout *>(m_errorRow->parentWidget()->layout());
    if (!banner || !layout)
        return;
    banner->setParent(m_errorRow->parentWidget());
    layout->insertWidget(layout->indexOf(m_errorRow) + 1, banner);
}

void BrowserController::newTab() {
    m_store.addTab();
}

void BrowserController::closeTab() {
    closeTabRemembered(m_store.activeID());
}

void BrowserController::closeTabRemembered(Uuid id) {
    constexpr std::size_t kRemembered = 20;
    const BrowserSession before = m_store.session();
    std::optional<TabSession> closed;
    for (std::size_t i = 0; i < m_store.tabs().size() && i < before.tabs.size(); ++i)
        if (m_store.tabs()[i].id == id)
            closed = before.tabs[i];
    m_store.closeTab(id);
    if (!closed || m_store.tabs().size() == before.tabs.size())
        return;
    m_closedTabs.push_back(std::move(*closed));
    if (m_closedTabs.size() > kRemembered)
        m_closedTabs.erase(m_closedTabs.begin());
    m_actions.reopenTab->setEnabled(true);
}

void BrowserController::reopenClosedTab() {
    if (m_closedTabs.empty())
        return;
    const TabSession saved = m_closedTabs.back();
    m_closedTabs.pop_back();
    m_actions.reopenTab->setEnabled(!m_closedTabs.empty());
    m_store.reopenTab(saved);
}

void BrowserController::showTabMenu(Uuid id, QPoint at) {
    std::vector<Uuid> ids;
    for (const BrowserTab &tab : m_store.tabs())
        ids.push_back(tab.id);
    const auto position = std::find(ids.begin(), ids.end(), id);
    if (position == ids.end())
        return;
    std::string folder;
    for (const BrowserTab &tab : m_store.tabs())
        if (tab.id == id)
            folder = tab.url();
    auto *menu = new QMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    QPointer<BrowserController> self(this);
    const auto closeAll = [self](std::vector<Uuid> doomed) {
        for (const Uuid &each : doomed)
            if (self)
                self->closeTabRemembered(each);
    };
    menu->addAction(text(TextKey::duplicateTab), this, [this, folder] { m_store.addTab(folder); });
    menu->addSeparator();
    menu->addAction(text(TextKey::closeTab), this, [this, id] { closeTabRemembered(id); });
    std::vector<Uuid> others = ids;
    others.erase(others.begin() + (position - ids.begin()));
    QAction *closeOthers =
        menu->addAction(text(TextKey::closeOtherTabs), this, [closeAll, others] { closeAll(others); });
    closeOthers->setEnabled(!others.empty());
    const std::vector<Uuid> right(position + 1, ids.end());
    QAction *closeRight =
        menu->addAction(text(TextKey::closeTabsToRight), this, [closeAll, right] { closeAll(right); });
    closeRight->setEnabled(!right.empty());
    menu->addSeparator();
    menu->addAction(m_actions.reopenTab);
    menu->popup(at);
}

void BrowserController::openSelected() {
    const std::vector<FileEntry> selection = m_store.selected();
    if (selection.empty())
        return;
    const FileEntry &first = selection.front();
    if (first.isNavigable()) {
        m_store.navigate(first.url(), BrowserStore::Navigation::visit);
        return;
    }
    std::vector<std::string> items;
    for (const FileEntry &entry : selection)
        if (!entry.isNavigable())
            items.push_back(entry.url());
    m_desktopCommands->open(std::move(items));
}

void BrowserController::openInNewTab() {
    for (const FileEntry &entry : m_store.selected())
        if (entry.isNavigable()) {
            m_store.addTab(entry.url());
            return;
        }
}

void BrowserController::preview() {
    if (!m_store.selected().empty() || m_table->isPreviewVisible())
        m_table->togglePreview();
}

void BrowserController::revealInFinder() {
    m_desktop->reveal(selectedPaths(), m_store.current().url());
}

void BrowserController::copyPath() {
    std::vector<std::string> paths = selectedPaths();
    if (paths.empty())
        paths.push_back(m_store.current().url());
    DesktopActions::copyPaths(paths);
}

std::vector<std::string> BrowserController::selectedPaths() const {
    std::vector<std::string> paths;
    for (const FileEntry &entry : m_store.selected())
        paths.push_back(entry.url());
    return paths;
}

void BrowserController::back() {
    m_store.goBack();
}

void BrowserController::forward() {
    m_store.goForward();
}

void BrowserController::up() {
    // The folder just left is selected in its parent, as the peers do.
    const std::string child = m_store.current().url();
    const Uuid tab = m_store.activeID();
    m_store.goUp();
    if (m_store.current().url() != child)
        m_table->selectWhenListed(tab, {child});
}

void BrowserController::refresh() {
    m_icons->clear();
    m_store.refresh();
    if (m_directorySidebar)
        m_directorySidebar->refresh();
}

void BrowserController::editPath() {
    m_pathBar->beginEditing();
}

void BrowserController::focusFilter() {
    m_filter->setFocus(Qt::ShortcutFocusReason);
    m_filter->selectAll();
}

void BrowserController::beginSearch() {
    m_search->begin();
}

void BrowserController::toggleHidden() {
    const bool shown = !m_store.showHidden();
    m_store.setShowHidden(shown);
    if (onHiddenToggled)
        onHiddenToggled(shown);
}

void BrowserController::dismissError() {
    m_store.dismissError();
}

void BrowserController::preferences() {
    if (onPreferences)
        onPreferences();
}

void BrowserController::selectAllFiles() {
    m_table->setFocus(Qt::OtherFocusReason);
    m_table->run(ListCommand::selectAll);
}

QLineEdit *BrowserController::focusedLineEdit() const {
    QWidget *focus = QApplication::focusWidget();
    if (!focus || focus->window() != window())
        return nullptr;
    return qobject_cast<QLineEdit *>(focus);
}

bool BrowserController::hasTextFocus() const {
    QWidget *focus = QApplication::focusWidget();
    return qobject_cast<QLineEdit *>(focus) || qobject_cast<QTextEdit *>(focus) ||
           qobject_cast<QPlainTextEdit *>(focus) || qobject_cast<QAbstractSpinBox *>(focus);
}

void BrowserController::setFileCommands(FileCommandController *commands) {
    m_fileCommands = commands;
    updateEditActions();
}

void BrowserController::updateEditActions() {
    // Without the file commands, copy/cut/paste/undo only serve text fields.
    const bool textField = focusedLineEdit() != nullptr;
    for (QAction *action : {m_actions.cut, m_actions.copy, m_actions.paste})
        action->setEnabled(textField || m_fileCommands);
    // With the file commands, undo and redo follow what the service can
    // reverse (FileCommandsBinding).
    if (!m_fileCommands)
        for (QAction *action : {m_actions.undo, m_actions.redo})
            action->setEnabled(textField);
    m_actions.selectAll->setEnabled(textField || m_table->fileModel().rowCount() > 0);
}

bool BrowserController::globalKey(QKeyEvent *event) {
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    if ((modifiers & Qt::ControlModifier) && (modifiers & Qt::AltModifier))
        return false;
    const int key = event->key();
    const bool control = modifiers & Qt::ControlModifier;
    const bool shift = modifiers & Qt::ShiftModifier;
    if (control && shift && (key == Qt::Key_Period || key == Qt::Key_Greater)) {
        toggleHidden();
        return true;
    }
    if (hasTextFocus())
        return false;
    if (control && (key == Qt::Key_Tab || key == Qt::Key_Backtab)) {
        m_store.nextTab(shift || key == Qt::Key_Backtab);
        return true;
    }
    if (control && !shift && (key == Qt::Key_PageDown || key == Qt::Key_PageUp)) {
        m_store.nextTab(key == Qt::Key_PageUp);
        return true;
    }
    if (key == Qt::Key_F5 && modifiers == Qt::NoModifier && m_store.windowsKeys) {
        refresh();
        return true;
    }
    if (key == Qt::Key_Backspace && modifiers == Qt::NoModifier) {
        up();
        return true;
    }
    return false;
}

bool BrowserController::eventFilter(QObject *watched, QEvent *event) {
    if (event->type() == QEvent::KeyPress && watched->isWidgetType() &&
        static_cast<QWidget *>(watched)->window() == window() && window() != this)
        return globalKey(static_cast<QKeyEvent *>(event));
    return QWidget::eventFilter(watched, event);
}

void BrowserController::changeEvent(QEvent *event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange)
        applySymbols();
}

void BrowserController::resizeEvent(QResizeEvent *event) {
    QWidget::resizeEvent(event);
    adaptToWidth();
}

void BrowserController::adaptToWidth() {}

void BrowserController::setThumbnailPolicy(bool enabled, std::int64_t maximumFileSize, bool networkVolumes) {
    for (ThumbnailLoader *loader : {m_thumbnails.get(), m_iconThumbnails.get()}) {
        loader->setLimits(maximumFileSize, networkVolumes);
        loader->setEnabled(enabled);
    }
    m_table->viewport()->update();
    m_iconView->viewport()->update();
}

void BrowserController::setAlwaysShowTabs(bool always) {
    m_alwaysShowTabs = always;
    m_tabRow->setVisible(m_store.tabs().size() >= 2 || always);
}

} // namespace dromel
