// Make Link and permission changes of the file commands.
#include "commands/FileCommandController.h"

#include "browser/BrowserStore.h"
#include "core/Location.h"
#include "presentation/Localization.h"

namespace dromel {

namespace {

// "Link to %1" around the name's own bytes, which need not be UTF-8.
std::string linkNameOf(const std::string &name) {
    const QString pattern = Localization::current().text(TextKey::linkName);
    const qsizetype at = pattern.indexOf(QLatin1String("%1"));
    if (at < 0)
        return name;
    return pattern.left(at).toStdString() + name + pattern.mid(at + 2).toStdString();
}

} // namespace

void FileCommandController::makeLink() {
    if (!ready())
        return;
    const std::vector<FileEntry> entries = m_store.selected();
    if (entries.empty())
        return;
    // One task a link, each beside its item, as the peers make them; a
    // taken name is put to the user like any clash.
    captureSelection(entries, [this, entries](std::optional<Versions> versions) {
        if (!versions || !ready())
            return;
        for (const FileEntry &entry : entries) {
            const std::string path = entry.url();
            Versions own;
            if (const auto version = versions->find(path); version != versions->end())
                own.insert(*version);
            submit(FileOperationRequest(FileOperationKind::makeLink, {path}, Location::parent(path),
                                        linkNameOf(Location::lastComponent(path)), false, std::move(own),
                                        std::nullopt));
        }
    });
}

void FileCommandController::changePermissions(std::vector<std::string> paths, PermissionChange change) {
    if (!ready() || paths.empty())
        return;
    OperationService::captureVersions(
        paths, {},
        m_lifetime.guard(
            [this, paths, change = std::move(change)](OperationService::VersionsOutcome outcome) {
                if (auto *problem = std::get_if<OperationProblem>(&outcome)) {
                    showProblem(*problem);
                    return;
                }
                FileOperationRequest request(FileOperationKind::changePermissions, paths, std::nullopt,
                                             std::nullopt, false, std::get<Versions>(std::move(outcome)),
                                             std::nullopt);
                request.setPermissions(change);
                submit(std::move(request));
            }));
}

} // namespace dromel
