#include "table/FileTable.h"

#include "core/Location.h"
#include "look/DromelTheme.h"
#include "look/Icons.h"
#include "look/ThumbnailLoader.h"
#include "presentation/Localization.h"
#include "table/FileCellDelegate.h"
#include "table/FileContextMenu.h"
#include "table/FileTableModel.h"
#include "table/ListKeys.h"
#include "table/QuickLook.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QMenu>
#include <QPainter>
#include <QScopedValueRollback>
#include <QScrollBar>

#include <algorithm>
#include <cmath>

namespace dromel {

namespace {

constexpr SortColumn kColumnSorts[] = {SortColumn::name, SortColumn::kind, SortColumn::size,
                                       SortColumn::modified, SortColumn::location};

int sectionOf(SortColumn column) {
    const auto *found = std::find(std::begin(kColumnSorts), std::end(kColumnSorts), column);
    return static_cast<int>(found - std::begin(kColumnSorts));
}

bool isAscii(const QString &text) {
    return std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x80; });
}

char lowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// An ASCII prefix is compared on the raw bytes, so type-ahead in a large
// folder converts no names.
bool startsWithAscii(const std::string &name, const QByteArray &prefix) {
    if (name.size() < static_cast<std::size_t>(prefix.size()))
        return false;
    for (qsizetype i = 0; i < prefix.size(); ++i)
        if (lowerAscii(name[static_cast<std::size_t>(i)]) != lowerAscii(prefix[i]))
            return false;
    return true;
}

} // namespace

FileTable::FileTable(BrowserStore &store, Icons &icons, QWidget *parent)
    : QTableView(parent), m_store(store), m_icons(icons), m_model(new FileTableModel(icons, this)) {
    {
        // Attaching the model announces an empty selection; it must not reach
        // the store, where it would drop a tab's restored selection.
        QScopedValueRollback updating(m_updating, true);
        setModel(m_model);
    }
    setItemDelegate(new FileCellDelegate(this));
    setFont(DromelTheme::body());
    setAccessibleName(Localization::current().text(TextKey::fileList));
    setSelectionBehavior(SelectRows);
    setSelectionMode(ExtendedSelection);
    setAlternatingRowColors(true);
    setShowGrid(false);
    setWordWrap(false);
    setTextElideMode(Qt::ElideMiddle);
    setIconSize(QSize(FileCellDelegate::kIconSide, FileCellDelegate::kIconSide));
    setEditTriggers(NoEditTriggers);
    setVerticalScrollMode(ScrollPerPixel);
    setHorizontalScrollMode(ScrollPerPixel);
    setSortingEnabled(false); // the store sorts; the header only shows it
    setTabKeyNavigation(false);
    verticalHeader()->hide();
    // Uniform rows let the view place 100,000 rows without measuring any.
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setMinimumSectionSize(FileCellDelegate::kRowHeight);
    verticalHeader()->setDefaultSectionSize(FileCellDelegate::kRowHeight);
    configureHeader();

    connect(verticalScrollBar(), &QScrollBar::valueChanged, this, &FileTable::scrolled);
    connect(verticalScrollBar(), &QScrollBar::rangeChanged, this, [this] { applyPendingScroll(); });
    connect(this, &QTableView::doubleClicked, this, [this](const QModelIndex &index) {
        if (index.isValid())
            run(ListCommand::open);
    });
}

FileTable::~FileTable() = default;

void FileTable::configureHeader() {
    QHeaderView *header = horizontalHeader();
    header->setSectionsClickable(true);
    header->setSectionsMovable(false);
    header->setHighlightSections(false);
    header->setStretchLastSection(false);
    header->setSortIndicatorShown(true);
    header->setMinimumSectionSize(kColumnMinimum);
    header->setDefaultAlignment(Qt::AlignLeading | Qt::AlignVCenter);
    header->setSectionResizeMode(QHeaderView::Interactive);
    header->resizeSection(FileTableModel::nameColumn, kNameWidth);
    header->resizeSection(FileTableModel::kindColumn, kKindWidth);
    header->resizeSection(FileTableModel::sizeColumn, kSizeWidth);
    header->resizeSection(FileTableModel::modifiedColumn, kModifiedWidth);
    showSortIndicator();
    connect(header, &QHeaderView::sectionClicked, this, &FileTable::headerClicked);
    header->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(header, &QHeaderView::customContextMenuRequested, this, [this](QPoint at) {
        QMenu *menu = makeColumnsMenu(this);
        menu->setAttribute(Qt::WA_DeleteOnClose);
        menu->popup(horizontalHeader()->mapToGlobal(at));
    });
    connect(header, &QHeaderView::sectionResized, this, &FileTable::sectionResized);
}

void FileTable::setThumbnails(ThumbnailLoader *thumbnails) {
    if (m_thumbnails)
        disconnect(m_thumbnails, nullptr, this, nullptr);
    m_thumbnails = thumbnails;
    m_model->setThumbnails(thumbnails);
    if (thumbnails)
        connect(thumbnails, &ThumbnailLoader::ready, viewport(), qOverload<>(&QWidget::update));
    viewport()->update();
}

void FileTable::keepVisibleThumbnails() {
    if (!m_thumbnails)
        return;
    std::unordered_set<std::string> shown;
    const int rows = m_model->rowCount();
    const int first = std::max(0, rowAt(0));
    const int below = rowAt(viewport()->height() - 1);
    const int last = below < 0 ? rows - 1 : below;
    for (int row = first; row <= last && row < rows; ++row)
        shown.insert(m_model->entryAt(row)->url());
    m_thumbnails->keepOnly(shown);
}

void FileTable::render(BrowserStore::Change change) {
    if (change == BrowserStore::Change::content)
        showContent();
    else
        showSortIndicator();
}

void FileTable::showContent() {
    const BrowserTab &tab = m_store.current();
    QScopedValueRollback updating(m_updating, true);
    m_model->setPlace(placeOf ? placeOf(tab.url()) : nullptr);
    const bool hadLocation = m_model->showsSearch();
    m_model->setSearch(tab.search ? std::optional(tab.search->startFolder) : std::nullopt, tab.searchDetails);
    m_model->setEntries(tab.visibleEntries());
    if (m_model->showsSearch() && !hadLocation) {
        setColumnWidth(FileTableModel::locationColumn, kLocationWidth);
        layoutColumns();
    }
    showSortIndicator();
    restoreSelection(tab.selection);
    m_pendingScroll = tab.scrollOffset;
    updateGeometries();
    applyPendingScroll();
    applyPendingSelection(true);
    followSelectionInPreview();
    keepVisibleThumbnails();
}

void FileTable::selectWhenListed(Uuid tab, std::set<std::string> paths) {
    if (paths.empty())
        return;
    m_pendingSelection = PendingSelection{tab, std::move(paths)};
    applyPendingSelection(false);
}

// Applied while the pending tab shows the items' folder: at once when every
// item is listed; with what is listed when the listing settles without some
// (they may come with the next reload, which then completes the selection).
// The wait ends with all of them, another folder, or the user's own selection.
void FileTable::applyPendingSelection(bool settledCounts) {
    if (!m_pendingSelection || m_store.activeID() != m_pendingSelection->tab)
        return;
    const BrowserTab &tab = m_store.current();
    if (tab.url() != Location::parent(*m_pendingSelection->paths.begin())) {
        if (!tab.loading)
            m_pendingSelection.reset();
        return;
    }
    QItemSelection selection;
    int first = -1;
    std::size_t found = 0;
    const int rows = m_model->rowCount();
    for (int row = 0; row < rows && found < m_pendingSelection->paths.size(); ++row) {
        if (!m_pendingSelection->paths.contains(m_model->entryAt(row)->url()))
            continue;
        ++found;
        selection.select(m_model->index(row, 0), m_model->index(row, FileTableModel::kColumns - 1));
        if (first < 0)
            first = row;
    }
    const bool all = found == m_pendingSelection->paths.size();
    if (!all && (!settledCounts || tab.loading || tab.arranging || found == 0))
        return;
    if (all)
        m_pendingSelection.reset();
    selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
    selectionModel()->setCurrentIndex(m_model->index(first, FileTableModel::nameColumn),
                                      QItemSelectionModel::NoUpdate);
    scrollTo(m_model->index(first, FileTableModel::nameColumn));
    // The user's selection, as a click's is; told after the store's notice
    // that brought the rows has finished.
    QMetaObject::invokeMethod(this, &FileTable::pushSelection, Qt::QueuedConnection);
}

void FileTable::showSortIndicator() {
    QScopedValueRollback updating(m_updating, true);
    const FileSort &sort = m_store.current().sort;
    horizontalHeader()->setSortIndicator(sectionOf(sort.column),
                                         sort.ascending ? Qt::AscendingOrder : Qt::DescendingOrder);
}

void FileTable::restoreSelection(const std::set<std::string> &ids) {
    QItemSelection selection;
    int first = -1;
    const int rows = m_model->rowCount();
    // The store keeps a tab's selection within its visible entries, so as many
    // ids as rows is every row: no id of a large folder needs to be made.
    if (rows > 0 && ids.size() == static_cast<std::size_t>(rows)) {
        selection.select(m_model->index(0, 0), m_model->index(rows - 1, FileTableModel::kColumns - 1));
        selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
        selectionModel()->setCurrentIndex(m_model->index(0, 0), QItemSelectionModel::NoUpdate);
        return;
    }
    // Contiguous runs become one range each (a select-all is one range, not one
    // per row); the scan stops once every id was found.
    std::size_t found = 0;
    int runStart = -1;
    for (int row = 0; row <= rows && (runStart >= 0 || found < ids.size()); ++row) {
        const bool selected = row < rows && found < ids.size() && ids.contains(m_model->entryAt(row)->id());
        if (selected) {
            ++found;
            if (runStart < 0)
                runStart = row;
        } else if (runStart >= 0) {
            selection.select(m_model->index(runStart, 0),
                             m_model->index(row - 1, FileTableModel::kColumns - 1));
            if (first < 0)
                first = runStart;
            runStart = -1;
        }
    }
    selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
    if (first >= 0)
        selectionModel()->setCurrentIndex(m_model->index(first, 0), QItemSelectionModel::NoUpdate);
}

void FileTable::applyPendingScroll() {
    if (!m_pendingScroll)
        return;
    QScopedValueRollback updating(m_updating, true);
    QScrollBar *bar = verticalScrollBar();
    const int wanted = static_cast<int>(std::lround(std::max(0.0, *m_pendingScroll)));
    bar->setValue(std::min(wanted, bar->maximum()));
    if (bar->maximum() >= wanted)
        m_pendingScroll.reset();
}

void FileTable::scrolled(int value) {
    keepVisibleThumbnails();
    if (m_updating)
        return;
    m_pendingScroll.reset();
    m_store.saveScroll(value);
}

void FileTable::headerClicked(int section) {
    if (section < 0 || section >= m_model->columnCount())
        return;
    const FileSort current = m_store.current().sort;
    const SortColumn column = kColumnSorts[section];
    // The same column again flips the direction; another column starts ascending.
    const FileSort wanted{column, column == current.column ? !current.ascending : true};
    showSortIndicator();
    m_store.sort(wanted);
    showSortIndicator();
}

void FileTable::layoutColumns() {
    QScopedValueRollback fitting(m_fittingColumns, true);
    const QWidget *top = window();
    for (int column = FileTableModel::kindColumn; column < FileTableModel::kColumns; ++column)
        setColumnHidden(column, !isColumnChosen(column));
    if (top && top->width() < kNarrowWindow)
        setColumnHidden(FileTableModel::kindColumn, true);
    int others = 0;
    for (int column = FileTableModel::kindColumn; column < m_model->columnCount(); ++column)
        if (!isColumnHidden(column))
            others += columnWidth(column);
    const int available = viewport()->width();
    if (available <= 0)
        return;
    const int name = std::max(kNameMinimum, available - others);
    if (name != columnWidth(FileTableModel::nameColumn))
        setColumnWidth(FileTableModel::nameColumn, name);
}

QMenu *FileTable::makeColumnsMenu(QWidget *parent) {
    auto *menu = new QMenu(parent);
    menu->setTitle(Localization::current().text(TextKey::columnsMenu));
    for (int column = FileTableModel::nameColumn; column < FileTableModel::kColumns; ++column) {
        QAction *action =
            menu->addAction(m_model->headerData(column, Qt::Horizontal, Qt::DisplayRole).toString());
        action->setCheckable(true);
        action->setChecked(isColumnChosen(column));
        action->setEnabled(column != FileTableModel::nameColumn);
        connect(action, &QAction::toggled, this,
                [this, column](bool shown) { setColumnChosen(column, shown); });
    }
    return menu;
}

void FileTable::setColumnChosen(int column, bool shown) {
    if (column <= FileTableModel::nameColumn || column >= FileTableModel::kColumns)
        return;
    m_chosenColumns[static_cast<std::size_t>(column)] = shown;
    layoutColumns();
}

namespace {

const char *const kColumnNames[] = {"name", "kind", "size", "modified"};

} // namespace

// "kind=170,size=0,modified=150": a width per column, 0 for a hidden one.
QString FileTable::columnState() const {
    // A chosen column hidden by a narrow window keeps its default width.
    static constexpr int defaults[] = {kNameWidth, kKindWidth, kSizeWidth, kModifiedWidth};
    QStringList parts;
    for (int column = FileTableModel::kindColumn; column < FileTableModel::kColumns; ++column) {
        const int width = !isColumnChosen(column)  ? 0
                          : isColumnHidden(column) ? defaults[column]
                                                   : columnWidth(column);
        parts << QStringLiteral("%1=%2").arg(QLatin1String(kColumnNames[column])).arg(width);
    }
    return parts.join(u',');
}

void FileTable::restoreColumnState(const QString &state) {
    for (const QString &part : state.split(u',', Qt::SkipEmptyParts)) {
        const QStringList pair = part.split(u'=');
        bool ok = false;
        const int width = pair.size() == 2 ? pair[1].toInt(&ok) : -1;
        if (!ok || width < 0 || width > 2000)
            continue;
        for (int column = FileTableModel::kindColumn; column < FileTableModel::kColumns; ++column) {
            if (pair[0] != QLatin1String(kColumnNames[column]))
                continue;
            m_chosenColumns[static_cast<std::size_t>(column)] = width > 0;
            if (width > 0) {
                QScopedValueRollback fitting(m_fittingColumns, true);
                setColumnWidth(column, std::max(width, kColumnMinimum));
            }
        }
    }
    layoutColumns();
}

void FileTable::sectionResized(int section, int, int newSize) {
    if (m_fittingColumns)
        return;
    if (section == FileTableModel::nameColumn) {
        if (newSize < kNameMinimum) {
            QScopedValueRollback fitting(m_fittingColumns, true);
            setColumnWidth(section, kNameMinimum);
        }
        return;
    }
    layoutColumns();
}

void FileTable::resizeEvent(QResizeEvent *event) {
    QTableView::resizeEvent(event);
    layoutColumns();
}

void FileTable::showEvent(QShowEvent *event) {
    QTableView::showEvent(event);
    layoutColumns();
    applyPendingScroll();
}

bool FileTable::editorHasFocus() const {
    const QWidget *focus = QApplication::focusWidget();
    return focus && focus != this && isAncestorOf(focus);
}

bool FileTable::event(QEvent *event) {
    // Keys the list handles win over window shortcuts while it has the focus:
    // Ctrl+C here copies files, not whatever the Edit menu would copy.
    if (event->type() == QEvent::ShortcutOverride && !editorHasFocus()) {
        if (ListKeys::command(*static_cast<QKeyEvent *>(event), m_store.windowsKeys)) {
            event->accept();
            return true;
        }
    }
    return QTableView::event(event);
}

void FileTable::keyPressEvent(QKeyEvent *event) {
    // Keys an editor inside the list (the inline rename field) left alone are
    // not list keys: its Return must not open the item as well.
    if (editorHasFocus()) {
        event->ignore();
        return;
    }
    if (const auto command = ListKeys::command(*event, m_store.windowsKeys)) {
        event->accept();
        run(*command);
        return;
    }
    QTableView::keyPressEvent(event);
}

void FileTable::run(ListCommand command) {
    switch (command) {
    case ListCommand::selectAll:
        setFocus(Qt::ShortcutFocusReason);
        selectAll();
        return;
    case ListCommand::deselectAll:
        clearSelection();
        return;
    case ListCommand::preview:
        togglePreview();
        return;
    default:
        emit commandRequested(command);
        return;
    }
}

void FileTable::keyboardSearch(const QString &search) {
    const int rows = m_model->rowCount();
    if (search.isEmpty() || rows == 0)
        return;
    if (!m_typedAt.isValid() || m_typedAt.elapsed() >= QApplication::keyboardInputInterval())
        m_typedPrefix.clear();
    m_typedAt.start();
    m_typedPrefix += search;

    // Repeating one letter steps through the names starting with it; a longer
    // prefix refines the search from the current row.
    const bool oneLetter = std::all_of(m_typedPrefix.begin(), m_typedPrefix.end(),
                                       [&](QChar c) { return c == m_typedPrefix.front(); });
    const QString prefix = oneLetter ? m_typedPrefix.left(1) : m_typedPrefix;
    const int current = currentIndex().isValid() ? currentIndex().row() : -1;
    const int start = oneLetter ? current + 1 : std::max(current, 0);
    const bool ascii = isAscii(prefix);
    const QByteArray asciiPrefix = prefix.toLatin1();
    for (int step = 0; step < rows; ++step) {
        const int row = (start + step) % rows;
        const std::string &name = m_model->entryAt(row)->name();
        const bool matches = ascii
                                 ? startsWithAscii(name, asciiPrefix)
                                 : FileTableModel::displayName(name).startsWith(prefix, Qt::CaseInsensitive);
        if (matches) {
            const QModelIndex index = m_model->index(row, FileTableModel::nameColumn);
            selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect |
                                                         QItemSelectionModel::Rows);
            scrollTo(index);
            return;
        }
    }
}

bool FileTable::toggleClick(QMouseEvent *event) {
    const Qt::KeyboardModifiers modifiers = event->modifiers();
    if (!m_store.windowsKeys || event->button() != Qt::LeftButton ||
        !modifiers.testFlag(Qt::ControlModifier) || modifiers.testFlag(Qt::AltModifier))
        return false;
    if (m_lastControlClickTimestamp == event->timestamp())
        return true;
    m_lastControlClickTimestamp = event->timestamp();
    const int row = rowAt(event->position().toPoint().y());
    if (row < 0)
        return true;
    setFocus(Qt::MouseFocusReason);
    selectionModel()->setCurrentIndex(m_model->index(row, FileTableModel::nameColumn),
                                      QItemSelectionModel::Toggle | QItemSelectionModel::Rows);
    return true;
}

void FileTable::mousePressEvent(QMouseEvent *event) {
    if (event->button() == Qt::MiddleButton && onMiddleClickFolder) {
        const int row = rowAt(event->position().toPoint().y());
        if (const FileEntry *entry = row < 0 ? nullptr : m_model->entryAt(row);
            entry && entry->isNavigable()) {
            event->accept();
            onMiddleClickFolder(entry->url());
            return;
        }
    }
    m_swallowingClick = toggleClick(event);
    if (m_swallowingClick)
        event->accept();
    else
        QTableView::mousePressEvent(event);
}

void FileTable::mouseDoubleClickEvent(QMouseEvent *event) {
    m_swallowingClick = toggleClick(event);
    if (m_swallowingClick)
        event->accept();
    else
        QTableView::mouseDoubleClickEvent(event);
}

void FileTable::mouseMoveEvent(QMouseEvent *event) {
    if (!m_swallowingClick)
        QTableView::mouseMoveEvent(event);
}

void FileTable::mouseReleaseEvent(QMouseEvent *event) {
    if (std::exchange(m_swallowingClick, false))
        event->accept();
    else
        QTableView::mouseReleaseEvent(event);
}

void FileTable::contextMenuEvent(QContextMenuEvent *event) {
    QPoint at = event->globalPos();
    if (event->reason() == QContextMenuEvent::Mouse) {
        // A row outside the selection becomes the selection; a selected row
        // keeps it (the menu acts on all of it); empty space clears it.
        const int row = rowAt(event->pos().y());
        if (row < 0)
            clearSelection();
        else if (!selectionModel()->isRowSelected(row, {}))
            selectionModel()->setCurrentIndex(m_model->index(row, FileTableModel::nameColumn),
                                              QItemSelectionModel::ClearAndSelect |
                                                  QItemSelectionModel::Rows);
    } else if (currentIndex().isValid()) {
        at = viewport()->mapToGlobal(visualRect(currentIndex()).bottomLeft());
    }
    setFocus(Qt::PopupFocusReason);
    QMenu *menu = makeContextMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(at);
    event->accept();
}

// Home and End go to the first and last row (a row is the unit here, not a
// cell); Shift extends the selection and Ctrl moves without selecting, as
// for the arrows.
QModelIndex FileTable::moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) {
    if (action == MoveHome || action == MoveEnd)
        modifiers |= Qt::ControlModifier;
    return QTableView::moveCursor(action, modifiers);
}

// The keyboard's row wears a frame, so the cursor shows where Ctrl+arrows
// left it and on a selected row alike.
void FileTable::paintEvent(QPaintEvent *event) {
    QTableView::paintEvent(event);
    const QModelIndex current = currentIndex();
    if (!current.isValid() || !hasFocus())
        return;
    QRect row = visualRect(m_model->index(current.row(), FileTableModel::nameColumn));
    if (!row.isValid())
        return;
    row.setLeft(0);
    row.setRight(viewport()->width() - 1);
    QPainter painter(viewport());
    painter.setRenderHint(QPainter::Antialiasing);
    const bool selected = selectionModel()->isRowSelected(current.row(), {});
    QPen pen(palette().color(selected ? QPalette::HighlightedText : QPalette::Highlight));
    pen.setWidthF(1.5);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(QRectF(row).adjusted(1.5, 1.5, -1.5, -1.5), 4, 4);
}

QMenu *FileTable::makeContextMenu(QWidget *parent) {
    const std::vector<FileEntry> selected = selectedEntries();
    FileContextMenu::Selection selection;
    selection.count = static_cast<int>(selected.size());
    selection.singleFolder = selected.size() == 1 && selected.front().isNavigable();
    selection.onlyFolders = std::all_of(selected.begin(), selected.end(),
                                        [](const FileEntry &entry) { return entry.isNavigable(); });
    selection.rows = m_model->rowCount();
    selection.hiddenShown = m_store.showHidden();
    selection.searchResults = m_model->showsSearch();
    const auto enabled = [this](ListCommand command) {
        if (command == ListCommand::preview || command == ListCommand::selectAll)
            return true;
        return canRun && canRun(command);
    };
    QPointer<FileTable> table(this);
    QMenu *menu = FileContextMenu::build(
        parent, selection, enabled,
        [table](ListCommand command) {
            if (table)
                table->run(command);
        },
        fillSubmenu);
    if (const FileTableModel::Place *place = m_model->place(); place && place->extendMenu)
        place->extendMenu(menu, selected);
    return menu;
}

void FileTable::selectionChanged(const QItemSelection &selected, const QItemSelection &deselected) {
    QTableView::selectionChanged(selected, deselected);
    if (m_updating)
        return;
    m_pendingSelection.reset();
    pushSelection();
    followSelectionInPreview();
}

std::vector<int> FileTable::selectedRowNumbers() const {
    std::vector<int> rows;
    for (const QItemSelectionRange &range : selectionModel()->selection())
        for (int row = range.top(); row <= range.bottom(); ++row)
            rows.push_back(row);
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    return rows;
}

std::vector<FileEntry> FileTable::selectedEntries() const {
    std::vector<FileEntry> entries;
    for (int row : selectedRowNumbers())
        if (const FileEntry *entry = m_model->entryAt(row))
            entries.push_back(*entry);
    return entries;
}

void FileTable::pushSelection() {
    std::set<std::string> ids;
    for (int row : selectedRowNumbers())
        if (const FileEntry *entry = m_model->entryAt(row))
            ids.insert(entry->id());
    m_store.select(std::move(ids));
}

void FileTable::setCutPaths(std::unordered_set<std::string> paths) {
    m_model->setCutPaths(std::move(paths));
}

std::optional<FileEntry> FileTable::previewedEntry() const {
    // The row the keyboard is on when it is selected, else the first selected.
    const QModelIndex current = currentIndex();
    if (current.isValid() && selectionModel()->isRowSelected(current.row(), {}))
        if (const FileEntry *entry = m_model->entryAt(current.row()))
            return *entry;
    const std::vector<int> rows = selectedRowNumbers();
    if (rows.empty())
        return std::nullopt;
    return *m_model->entryAt(rows.front());
}

void FileTable::togglePreview() {
    if (isPreviewVisible()) {
        m_quickLook->hide();
        setFocus(Qt::OtherFocusReason);
        return;
    }
    const auto entry = previewedEntry();
    if (!entry)
        return;
    if (!m_quickLook) {
        m_quickLook = new QuickLook(m_icons, this);
        connect(m_quickLook, &QuickLook::visibilityChanged, this, &FileTable::previewVisibilityChanged);
        // First shown over the middle of the list; later where the user left it.
        const QPoint middle = mapToGlobal(rect().center());
        m_quickLook->move(middle - QPoint(m_quickLook->width() / 2, m_quickLook->height() / 2));
    }
    m_quickLook->showEntry(*entry, m_model->kindText(*entry));
    m_quickLook->show();
    m_quickLook->raise();
    // The list keeps the keyboard: arrows move the selection and the preview follows.
    if (window())
        window()->activateWindow();
    setFocus(Qt::OtherFocusReason);
}

bool FileTable::isPreviewVisible() const {
    return m_quickLook && m_quickLook->isVisible();
}

void FileTable::followSelectionInPreview() {
    if (!isPreviewVisible())
        return;
    if (const auto entry = previewedEntry()) {
        m_quickLook->showEntry(*entry, m_model->kindText(*entry));
    } else {
        m_quickLook->hide();
    }
}

} // namespace dromel
