#include "operations/TaskTitle.h"

#include "core/Location.h"
#include "operations/OperationText.h"
#include "presentation/Localization.h"

namespace dromel::TaskTitle {

QString of(const FileOperationTask &task) {
    const FileOperationRequest &request = task.request;
    if (request.undo())
        return OperationText::label(task);
    const Localization l10n = Localization::current();
    const std::vector<std::string> &sources = request.sources();
    const bool one = sources.size() == 1;
    const QString items = one ? OperationText::path(Location::lastComponent(sources.front()))
                              : l10n.count(TextKey::items, qint64(sources.size()));
    const QString destination =
        OperationText::path(Location::lastComponent(request.destination().value_or("")));
    const QString name = OperationText::path(request.name().value_or(""));
    switch (request.kind()) {
    case FileOperationKind::createDirectory:
        return l10n.format(TextKey::taskNewFolder, name);
    case FileOperationKind::rename:
        return l10n.format(TextKey::taskRename, items, name);
    case FileOperationKind::copy:
        return l10n.format(one ? TextKey::taskCopyOne : TextKey::taskCopy, items, destination);
    case FileOperationKind::move:
        return l10n.format(one ? TextKey::taskMoveOne : TextKey::taskMove, items, destination);
    case FileOperationKind::trash:
        return l10n.format(one ? TextKey::taskTrashOne : TextKey::taskTrash, items);
    case FileOperationKind::restore:
        return l10n.format(one ? TextKey::taskRestoreOne : TextKey::taskRestore, items);
    case FileOperationKind::deletePermanently:
        return l10n.format(one ? TextKey::taskDeleteOne : TextKey::taskDelete, items);
    case FileOperationKind::changePermissions:
        return l10n.format(one ? TextKey::taskPermissionsOne : TextKey::taskPermissions, items);
    case FileOperationKind::makeLink:
        return l10n.format(one ? TextKey::taskLinkOne : TextKey::taskLink, items, destination);
    }
    return OperationText::label(task);
}

} // namespace dromel::TaskTitle
