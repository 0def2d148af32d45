#include "table/FileContextMenu.h"

#include "presentation/Localization.h"

#include <QMenu>

namespace dromel {

QMenu *FileContextMenu::build(QWidget *parent, const Selection &selection,
                              const std::function<bool(ListCommand)> &enabled,
                              const std::function<void(ListCommand)> &run) {
    const Localization texts = Localization::current();
    auto *menu = new QMenu(parent);
    menu->setAccessibleName(texts.text(TextKey::more));
    const auto add = [&](TextKey key, ListCommand command, bool condition = true) {
        QAction *action = menu->addAction(texts.text(key));
        action->setEnabled(condition && enabled(command));
        QObject::connect(action, &QAction::triggered, menu, [run, command] { run(command); });
    };
    if (selection.count > 0) {
        add(TextKey::open, ListCommand::open);
        if (selection.searchResults)
            add(TextKey::openContainingFolder, ListCommand::openContainingFolder, selection.count == 1);
        if (selection.singleFolder)
            add(TextKey::openInNewTab, ListCommand::openInNewTab);
        add(TextKey::preview, ListCommand::preview);
        add(TextKey::copy, ListCommand::copy);
        add(TextKey::cut, ListCommand::cut);
        add(TextKey::rename, ListCommand::rename, selection.count == 1);
        add(TextKey::trash, ListCommand::trash);
        menu->addSeparator();
    }
    add(TextKey::newFolder, ListCommand::newFolder);
    add(TextKey::paste, ListCommand::paste);
    add(TextKey::operations, ListCommand::operations);
    add(TextKey::copyPath, ListCommand::copyPath);
    add(TextKey::finder, ListCommand::reveal);
    add(TextKey::selectAll, ListCommand::selectAll, selection.rows > 0);
    menu->addSeparator();
    add(TextKey::refresh, ListCommand::refresh);
    add(TextKey::settingsMenu, ListCommand::settings);
    return menu;
}

} // namespace dromel
