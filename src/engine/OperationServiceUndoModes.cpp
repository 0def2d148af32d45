// Undo of permission changes and made links.
#include "engine/OperationService.h"
#include "runtime/MainThread.h"

namespace dromel {

// A link goes to the trash while it is still the one made; a permission
// change puts back the old modes of every item of the task that nothing
// changed since. Those come from the task itself, so a dismissed one has
// nothing left to undo with.
void OperationService::undoModesOrLink(const FileUndoRelocation &receipt, FileOperationKind kind,
                                       Submitted done) {
    if (kind == FileOperationKind::makeLink) {
        submit(FileOperationRequest(FileOperationKind::trash, {receipt.current}, std::nullopt, std::nullopt,
                                    false, {}, receipt),
               std::move(done));
        return;
    }
    const FileOperationTask *changed = task(receipt.operationID);
    if (!changed) {
        if (done)
            MainThread::post(m_lifetime.guard([done] { done(std::nullopt); }));
        return;
    }
    PermissionChange back;
    for (const FileOperationResult &result : changed->results)
        back.restores.insert(back.restores.end(), result.modes.begin(), result.modes.end());
    FileOperationRequest request(FileOperationKind::changePermissions, {receipt.current}, std::nullopt,
                                 std::nullopt, false, {}, receipt);
    request.setPermissions(std::move(back));
    submit(std::move(request), std::move(done));
}

} // namespace dromel
