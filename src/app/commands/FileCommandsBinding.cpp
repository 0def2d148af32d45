#include "commands/FileCommandsBinding.h"

#include "browser/BrowserStore.h"
#include "commands/FileCommandController.h"
#include "commands/FileDragDrop.h"
#include "commands/InlineRename.h"
#include "commands/UndoMenuText.h"
#include "core/Location.h"
#include "engine/OperationService.h"
#include "presentation/Localization.h"
#include "sidebar/DirectorySidebar.h"
#include "sidebar/SidebarModel.h"
#include "table/FileIconView.h"
#include "table/FileTable.h"
#include "window/BrowserController.h"
#include "window/PlaceTitles.h"
#include "window/TabStrip.h"

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QPointer>
#include <QToolBar>

namespace dromel::FileCommandsBinding {

namespace {

bool textHasFocus() {
    return qobject_cast<QLineEdit *>(QApplication::focusWidget()) != nullptr;
}

// A place such as the Trash is not a folder: nothing is cut from it, renamed
// in it or made or pasted into it (its items have records naming them).
bool writesIntoFolder(ListCommand command) {
    return command == ListCommand::cut || command == ListCommand::rename || command == ListCommand::paste ||
           command == ListCommand::pasteInto || command == ListCommand::newFolder;
}

bool placeShown(const BrowserStore &store) {
    return PlaceTitles::of(store.current().url()).has_value();
}

void run(FileCommandController &commands, const BrowserStore &store, ListCommand command) {
    if (writesIntoFolder(command) && placeShown(store))
        return;
    switch (command) {
    case ListCommand::copy:
        commands.copy();
        break;
    case ListCommand::cut:
        commands.cut();
        break;
    case ListCommand::paste:
        commands.paste();
        break;
    case ListCommand::undo:
        commands.undo();
        break;
    case ListCommand::redo:
        commands.redo();
        break;
    case ListCommand::rename:
        commands.rename();
        break;
    case ListCommand::trash:
        commands.trash();
        break;
    case ListCommand::deletePermanently:
        commands.deletePermanently();
        break;
    case ListCommand::newFolder:
        commands.newFolder();
        break;
    case ListCommand::operations:
        commands.showTasks();
        break;
    case ListCommand::makeLink:
        commands.makeLink();
        break;
    default:
        break;
    }
}

bool canRun(const FileCommandController &commands, const BrowserStore &store, ListCommand command) {
    if (writesIntoFolder(command) && placeShown(store))
        return false;
    switch (command) {
    case ListCommand::copy:
        return true;
    case ListCommand::paste:
    case ListCommand::pasteInto:
        return commands.canPaste();
    case ListCommand::undo:
        return commands.ready() && commands.service().canUndo();
    case ListCommand::redo:
        return commands.ready() && commands.service().canRedo();
    case ListCommand::operations:
        return true;
    default:
        // While another process holds the journal the command stays
        // reachable and is refused with the reason.
        return commands.ready() || commands.journalInUse();
    }
}

// A drop on a tab lands in the folder that tab shows.
std::optional<std::string> tabFolderAt(const TabStrip &tabs, const BrowserStore &store, QPoint point) {
    const int index = tabs.tabAt(point);
    if (index < 0 || index >= tabs.count())
        return std::nullopt;
    const Uuid id = tabs.idAt(index);
    for (const BrowserTab &tab : store.tabs())
        if (tab.id == id && !PlaceTitles::of(tab.url()))
            return tab.url();
    return std::nullopt;
}

// Folder, favourite and volume rows take drops; headers, placeholders and
// error rows do not.
std::optional<std::string> sidebarFolderAt(const DirectorySidebar &sidebar, QPoint point) {
    const SidebarNode *node = sidebar.sidebarModel().nodeAt(sidebar.indexAt(point));
    if (!node || (node->url && PlaceTitles::of(*node->url)))
        return std::nullopt; // a place such as the Trash is not a folder to drop into
    return node->url;
}

} // namespace

FileCommandController *attach(BrowserController &window, BrowserStore &store,
                              const std::string &journalPath) {
    auto *commands = new FileCommandController(store, journalPath, &window);
    commands->setParent(&window);
    window.setFileCommands(commands);
    FileTable *table = window.table();
    const BrowserController::Actions &actions = window.actions();

    auto updateActions = [commands, &actions, &store] {
        const bool ready = commands->ready() || commands->journalInUse();
        actions.trash->setEnabled(ready);
        for (QAction *action : {actions.newFolder, actions.rename})
            action->setEnabled(ready && !placeShown(store));
        actions.operations->setEnabled(true);
    };
    QObject::connect(commands, &FileCommandController::stateChanged, &window, updateActions);
    QObject::connect(&window, &BrowserController::locationShown, commands, updateActions);
    updateActions();
    // The Edit menu names what undo and redo would reverse; a focused text
    // field has them for its own text.
    // The actions go with the window's children, before the commands; focus
    // notices of the closing window may still arrive then.
    auto updateUndo = [commands, undo = QPointer<QAction>(actions.undo),
                       redo = QPointer<QAction>(actions.redo)] {
        if (!undo || !redo)
            return;
        const bool text = textHasFocus();
        const bool ready = commands->ready();
        const Localization l10n = Localization::current();
        undo->setText(ready && !text ? UndoMenuText::undo(commands->service()) : l10n.text(TextKey::undo));
        redo->setText(ready && !text ? UndoMenuText::redo(commands->service()) : l10n.text(TextKey::redo));
        undo->setEnabled(text || (ready && commands->service().canUndo()));
        redo->setEnabled(text || (ready && commands->service().canRedo()));
    };
    QObject::connect(commands, &FileCommandController::stateChanged, &window, updateUndo);
    QObject::connect(qApp, &QApplication::focusChanged, commands, updateUndo);
    updateUndo();
    // A finished task changed these folders: the sidebar's tree reloads them
    // as the store's tabs do.
    commands->onFoldersChanged = [sidebar = QPointer<DirectorySidebar>(window.directorySidebar())](
                                     const std::set<std::string> &folders) {
        if (sidebar)
            sidebar->refresh(folders);
    };
    // What a task made is selected in the active tab when it shows their folder.
    commands->onItemsMade =
        [&store, table = QPointer<FileTable>(window.table())](const std::set<std::string> &paths) {
            if (table && Location::parent(*paths.begin()) == store.current().url())
                table->selectWhenListed(store.activeID(), paths);
        };
    QObject::connect(actions.newFolder, &QAction::triggered, commands,
                     [commands, &store] { run(*commands, store, ListCommand::newFolder); });
    QObject::connect(actions.rename, &QAction::triggered, commands,
                     [commands, &store] { run(*commands, store, ListCommand::rename); });
    QObject::connect(actions.trash, &QAction::triggered, commands, &FileCommandController::trash);
    QObject::connect(actions.operations, &QAction::triggered, commands, &FileCommandController::showTasks);
    // The edit entries serve a focused text field first (the window's own
    // handler), the file list otherwise.
    const std::pair<QAction *, ListCommand> edits[] = {{actions.undo, ListCommand::undo},
                                                       {actions.redo, ListCommand::redo},
                                                       {actions.cut, ListCommand::cut},
                                                       {actions.copy, ListCommand::copy},
                                                       {actions.paste, ListCommand::paste}};
    for (const auto &[action, command] : edits) {
        QObject::connect(action, &QAction::triggered, commands, [commands, &store, command = command] {
            if (!textHasFocus())
                run(*commands, store, command);
        });
    }

    if (table) {
        auto windowRule = table->canRun;
        table->canRun = [commands, &store, windowRule](ListCommand command) {
            if (isFileCommand(command))
                return canRun(*commands, store, command);
            return windowRule ? windowRule(command) : false;
        };
        QObject::connect(table, &FileTable::commandRequested, commands,
                         [commands, &store](ListCommand command) {
                             if (isFileCommand(command))
                                 run(*commands, store, command);
                         });
        commands->onCutChanged = [table](const std::unordered_set<std::string> &paths) {
            table->setCutPaths(paths);
        };
        commands->onRenameReady = [table, &store, commands](const FileEntry &entry,
                                                            const FileCommandController::Versions &versions) {
            QPointer<FileCommandController> alive(commands);
            InlineRename::begin(*table, store, entry, versions,
                                [alive](const std::string &path, const std::string &name,
                                        const FileCommandController::Versions &captured) {
                                    if (alive)
                                        alive->commitRename(path, name, captured);
                                });
        };
        auto *dragDrop = new FileDragDrop(*table, *commands, [&store] { return store.current().url(); });
        dragDrop->addView(window.iconView());
        if (TabStrip *tabs = window.tabStrip())
            dragDrop->addDropTarget(
                tabs, [tabs, &store](QPoint point) { return tabFolderAt(*tabs, store, point); });
        if (DirectorySidebar *sidebar = window.directorySidebar())
            dragDrop->addDropTarget(sidebar->viewport(),
                                    [sidebar](QPoint point) { return sidebarFolderAt(*sidebar, point); });
    }
    if (QToolBar *toolbar = window.toolbar())
        toolbar->addWidget(commands->button());
    window.addBanner(commands->banner());
    return commands;
}

} // namespace dromel::FileCommandsBinding
