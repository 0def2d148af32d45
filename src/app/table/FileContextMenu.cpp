#include "table/FileContextMenu.h"

#include "presentation/Localization.h"

#include <QMenu>

namespace dromel {

QMenu *FileContextMenu::build(QWidget *parent, const Selection &selection,
                              const std::function<bool(ListCommand)> &enabled,
                              const std::function<void(ListCommand)> &run,
                              const std::function<void(ListCommand, QMenu *)> &fill) {
    const Localization texts = Localization::current();
    auto *menu = new QMenu(parent);
    menu->setAccessibleName(texts.text(TextKey::more));
    const auto add = [&](TextKey key, ListCommand command, bool condition = true) {
        QAction *action = menu->addAction(texts.text(key));
        action->setEnabled(condition && enabled(command));
        QObject::connect(action, &QAction::triggered, menu, [run, command] { run(command); });
        return action;
    };
    const auto submenu = [&](TextKey key, ListCommand command) {
        QMenu *inner = menu->addMenu(texts.text(key));
        inner->setAccessibleName(texts.text(key));
        inner->menuAction()->setEnabled(enabled(command) && fill);
        if (fill)
            fill(command, inner);
    };
    if (selection.count > 0) {
        add(TextKey::open, ListCommand::open);
        if (selection.searchResults)
            add(TextKey::openContainingFolder, ListCommand::openContainingFolder, selection.count == 1);
        if (!selection.onlyFolders)
            submenu(TextKey::openWith, ListCommand::openWith);
        if (selection.singleFolder) {
            add(TextKey::openInNewTab, ListCommand::openInNewTab);
            add(TextKey::openInTerminal, ListCommand::openInTerminal);
        }
        add(TextKey::preview, ListCommand::preview);
        menu->addSeparator();
        add(TextKey::cut, ListCommand::cut);
        add(TextKey::copy, ListCommand::copy);
        if (selection.singleFolder)
            add(TextKey::pasteInto, ListCommand::pasteInto);
        add(TextKey::copyTo, ListCommand::copyTo);
        add(TextKey::moveTo, ListCommand::moveTo);
        add(TextKey::makeLink, ListCommand::makeLink);
        menu->addSeparator();
        add(TextKey::rename, ListCommand::rename, selection.count == 1);
        add(TextKey::trash, ListCommand::trash);
        menu->addSeparator();
        add(TextKey::copyPath, ListCommand::copyPath);
        add(TextKey::finder, ListCommand::reveal);
        menu->addSeparator();
        add(TextKey::properties, ListCommand::properties);
        return menu;
    }
    add(TextKey::newFolder, ListCommand::newFolder);
    submenu(TextKey::newDocument, ListCommand::newDocument);
    menu->addSeparator();
    add(TextKey::paste, ListCommand::paste);
    add(TextKey::selectAll, ListCommand::selectAll, selection.rows > 0);
    menu->addSeparator();
    add(TextKey::openInTerminal, ListCommand::openInTerminal);
    add(TextKey::copyPath, ListCommand::copyPath);
    add(TextKey::operations, ListCommand::operations);
    menu->addSeparator();
    QAction *hidden = add(TextKey::showHiddenFiles, ListCommand::toggleHidden);
    hidden->setCheckable(true);
    hidden->setChecked(selection.hiddenShown);
    submenu(TextKey::sortBy, ListCommand::sortBy);
    add(TextKey::refresh, ListCommand::refresh);
    menu->addSeparator();
    add(TextKey::properties, ListCommand::properties);
    add(TextKey::settingsMenu, ListCommand::settings);
    return menu;
}

} // namespace dromel
