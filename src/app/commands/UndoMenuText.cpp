#include "commands/UndoMenuText.h"

#include "presentation/Localization.h"

namespace dromel::UndoMenuText {

QString command(const UndoEntry &entry) {
    const Localization l10n = Localization::current();
    const auto count = qint64(entry.count);
    switch (entry.command) {
    case FileOperationKind::createDirectory:
        return l10n.text(TextKey::commandNewFolder);
    case FileOperationKind::rename:
        return count == 1 ? l10n.text(TextKey::commandRename) : l10n.count(TextKey::commandMove, count);
    case FileOperationKind::copy:
        return l10n.count(TextKey::commandCopy, count);
    case FileOperationKind::move:
        return l10n.count(TextKey::commandMove, count);
    case FileOperationKind::trash:
        return l10n.count(TextKey::commandTrash, count);
    case FileOperationKind::restore:
        return l10n.count(TextKey::commandRestore, count);
    case FileOperationKind::changePermissions:
        return l10n.text(TextKey::commandPermissions);
    case FileOperationKind::makeLink:
        return l10n.count(TextKey::commandMakeLink, count);
    case FileOperationKind::deletePermanently:
        break;
    }
    return {};
}

QString undo(const OperationService &service) {
    const Localization l10n = Localization::current();
    const UndoEntry *entry = service.nextUndo();
    return entry ? l10n.format(TextKey::undoNamed, command(*entry)) : l10n.text(TextKey::undo);
}

QString redo(const OperationService &service) {
    const Localization l10n = Localization::current();
    const UndoEntry *entry = service.nextRedo();
    return entry ? l10n.format(TextKey::redoNamed, command(*entry)) : l10n.text(TextKey::redo);
}

} // namespace dromel::UndoMenuText
