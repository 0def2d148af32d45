#include "commands/FileCommandController.h"

#include "browser/BrowserStore.h"
#include "commands/ClipboardWatch.h"
#include "commands/FileClipboard.h"
#include "commands/NewFolderDialog.h"
#include "commands/Sheet.h"
#include "commands/detail/JournalLock.h"
#include "core/FileName.h"
#include "core/Location.h"
#include "engine/FileOperationWorker.h"
#include "engine/OperationFS.h"
#include "operations/OperationPanel.h"
#include "operations/OperationText.h"
#include "operations/TaskBanner.h"
#include "presentation/Localization.h"

#include <QMessageBox>
#include <QWidget>

#include <algorithm>

namespace dromel {

namespace {

const QString kNone = QStringLiteral("\u2014");

std::vector<std::string> pathsOf(const std::vector<FileEntry> &entries) {
    std::vector<std::string> paths;
    paths.reserve(entries.size());
    for (const FileEntry &entry : entries)
        paths.push_back(entry.url());
    return paths;
}

std::map<std::string, std::string> identitiesOf(const std::vector<FileEntry> &entries) {
    std::map<std::string, std::string> ids;
    for (const FileEntry &entry : entries)
        ids[entry.url()] = entry.id();
    return ids;
}

// The part after the last dot; a leading dot marks a hidden name, not an
// extension.
std::string_view extensionOf(std::string_view name) {
    const std::size_t dot = name.rfind('.');
    if (dot == std::string_view::npos || dot == 0)
        return {};
    return name.substr(dot + 1);
}

std::string utf8(const QString &text) {
    return text.toStdString();
}

// A name for a sheet's sentence: a long one keeps its start and its end (the
// extension), so the sheet stays narrower than the screen.
QString shortName(const std::string &name) {
    constexpr qsizetype kKept = 28;
    const QString text = OperationText::path(name);
    if (text.size() <= 2 * kKept + 1)
        return text;
    return text.left(kKept) + QStringLiteral("\u2026") + text.right(kKept);
}

} // namespace

// The version capture started by a cut; a paste that comes before it ends
// waits for it. Dropped (and its late result ignored) when the cut is cleared.
struct FileCommandController::CutPreparation {
    bool done = false;
    std::optional<Versions> versions;
    std::vector<std::function<void()>> waiters;
};

FileCommandController::FileCommandController(BrowserStore &store, std::string journalPath, QWidget *window)
    : m_store(store), m_window(window), m_journalLock(std::make_unique<JournalLock>(journalPath)),
      m_service(std::make_unique<OperationService>(std::move(journalPath))) {
    const Localization l10n = Localization::current();
    m_panel = std::make_unique<OperationPanel>(*m_service, window);
    m_panel->onOpenPath = [this](const std::string &path) {
        m_store.navigate(Location::parent(path), BrowserStore::Navigation::visit);
    };
    m_button = new OperationsButton(window);
    m_button->setAccessibleName(l10n.text(TextKey::operations));
    m_button->setFocusPolicy(Qt::NoFocus);
    connect(m_button, &QToolButton::clicked, this, &FileCommandController::showTasks);
    renderButton();
    m_banner = new TaskBanner(window);
    m_banner->onOpen = m_lifetime.guard([this](const Uuid &id) { openTask(id); });

    m_clipboard = new ClipboardWatch(this);
    connect(m_clipboard, &ClipboardWatch::changedElsewhere, this,
            &FileCommandController::clipboardChangedElsewhere);

    installCallbacks();
    // Without the lock the service only reads: it lists the other process's
    // tasks and never writes the journal nor runs anything.
    if (m_journalLock->held()) {
        m_service->start();
    } else {
        m_service->startReadOnly();
        m_banner->showNotice(l10n.text(TextKey::journalInUse));
    }
}

FileCommandController::~FileCommandController() {
    // The service may still call back while it winds down; nothing may reach us.
    m_service->onChange = nullptr;
    m_service->onCompletion = nullptr;
    m_service->resolveConflict = nullptr;
    m_service->approveLimitedMetadata = nullptr;
    if (m_operationAlert)
        Sheet::dismiss(m_operationAlert);
}

void FileCommandController::installCallbacks() {
    m_service->onChange = m_lifetime.guard([this] { serviceChanged(); });
    m_service->onCompletion =
        m_lifetime.guard([this](const FileOperationTask &task) { taskCompleted(task); });
    m_service->resolveConflict = [this, alive = m_lifetime.weak()](const FileConflict &conflict,
                                                                   OperationService::Answer answer) {
        if (alive.expired())
            answer(ConflictChoice::cancel);
        else
            resolveConflict(conflict, std::move(answer));
    };
    m_service->approveLimitedMetadata = [this, alive = m_lifetime.weak()](const std::string &folder,
                                                                          OperationService::Consent answer) {
        if (alive.expired())
            answer(false);
        else
            approveLimitedMetadata(folder, std::move(answer));
    };
}

bool FileCommandController::ready() const {
    return m_window && m_service->ready();
}

bool FileCommandController::journalInUse() const {
    return !m_journalLock->held();
}

bool FileCommandController::readyOrRefuse() {
    if (ready())
        return true;
    if (m_window && journalInUse()) {
        // Said every time, in the error row and in the notice row, which the
        // user may have closed: a command must never vanish without a word.
        const Localization l10n = Localization::current();
        showText(l10n.text(TextKey::journalInUseRefused));
        if (m_banner)
            m_banner->showNotice(l10n.text(TextKey::journalInUse));
    }
    return false;
}

bool FileCommandController::canPaste() const {
    return (ready() || journalInUse()) && m_clipboard->files().has_value();
}

std::string FileCommandController::currentFolder() const {
    return m_store.current().url();
}

// ---- Clipboard ----------------------------------------------------------

void FileCommandController::cut() {
    if (!readyOrRefuse())
        return;
    const std::vector<FileEntry> entries = m_store.selected();
    if (entries.empty())
        return;
    std::vector<std::string> paths = pathsOf(entries);
    const long long change = m_clipboard->write(FileClipboard::encodeFiles(paths, true));
    setCut(paths, change);

    auto preparation = std::make_shared<CutPreparation>();
    m_cutPreparation = preparation;
    OperationService::captureVersions(
        std::move(paths), identitiesOf(entries),
        m_lifetime.guard([this, preparation, change](OperationService::VersionsOutcome outcome) {
            if (m_cutPreparation != preparation)
                return; // the cut was cleared meanwhile
            preparation->done = true;
            if (auto *versions = std::get_if<Versions>(&outcome)) {
                if (m_clipboard->changeCount() == change)
                    preparation->versions = std::move(*versions);
            } else {
                showProblem(std::get<OperationProblem>(outcome));
            }
            for (auto &waiter : std::exchange(preparation->waiters, {}))
                waiter();
        }));
}

void FileCommandController::copy() {
    clearCut();
    const std::vector<FileEntry> entries = m_store.selected();
    if (!m_window || entries.empty())
        return;
    m_clipboard->write(FileClipboard::encodeFiles(pathsOf(entries), false));
}

void FileCommandController::copyPath() {
    if (!m_window)
        return;
    std::vector<std::string> paths = pathsOf(m_store.selected());
    if (paths.empty())
        paths.push_back(currentFolder());
    clearCut();
    m_clipboard->write(FileClipboard::encodeText(paths));
}

void FileCommandController::paste(const std::optional<std::string> &into) {
    if (!readyOrRefuse())
        return;
    if (m_cutChange != -1 && m_clipboard->changeCount() != m_cutChange)
        clearCut();
    const auto contents = m_clipboard->files();
    if (!contents)
        return;
    const std::string folder = into.value_or(currentFolder());
    if (m_cutChange == m_clipboard->changeCount() && !m_cutURLs.empty()) {
        moveCut(folder);
        return;
    }
    if (contents->fromText)
        askTextPaste(*contents, folder);
    else
        pasteFiles(*contents, folder);
}

void FileCommandController::pasteFiles(const FileClipboard::Contents &contents, const std::string &folder) {
    if (contents.cut) {
        // Cut in another file manager: a move, its versions taken now.
        drop(contents.paths, {}, folder, true);
        return;
    }
    submit(FileOperationRequest(FileOperationKind::copy, contents.paths, folder, std::nullopt, false, {},
                                std::nullopt));
}

// Text that looks like Nautilus's clipboard may come from anywhere: the
// sheet names the items and their folders before anything is copied or moved.
void FileCommandController::askTextPaste(FileClipboard::Contents contents, const std::string &folder) {
    constexpr std::size_t kNamesShown = 10;
    const Localization l10n = Localization::current();
    QStringList names;
    QStringList folders;
    for (const std::string &path : contents.paths) {
        if (names.size() < qsizetype(kNamesShown))
            names << OperationText::path(Location::lastComponent(path));
        const QString parent = OperationText::path(Location::parent(path));
        if (!folders.contains(parent))
            folders << parent;
    }
    if (contents.paths.size() > kNamesShown)
        names << l10n.count(TextKey::moreItems, qint64(contents.paths.size() - kNamesShown));
    const QString body = l10n.format(contents.cut ? TextKey::plainPasteMoveBody : TextKey::plainPasteCopyBody,
                                     l10n.count(TextKey::items, qint64(contents.paths.size())),
                                     folders.join(QStringLiteral(", ")), names.join('\n'),
                                     OperationText::path(Location::lastComponent(folder)));
    Sheet::ask(m_window, l10n.text(TextKey::plainPasteTitle), body,
               {l10n.text(TextKey::cancel), l10n.text(TextKey::pasteAnyway)}, 0,
               m_lifetime.guard([this, contents = std::move(contents), folder](int button, bool) {
                   if (button == 1 && ready())
                       pasteFiles(contents, folder);
               }));
}

void FileCommandController::moveCut(const std::string &folder) {
    const std::shared_ptr<CutPreparation> preparation = m_cutPreparation;
    if (!preparation)
        return;
    const long long change = m_cutChange;
    // Moving an item into the folder it is in changes nothing, as for a drop.
    if (std::all_of(m_cutURLs.begin(), m_cutURLs.end(),
                    [&](const std::string &path) { return Location::parent(path) == folder; }))
        return;
    auto submitMove = [this, preparation, change, folder] {
        if (m_cutPreparation != preparation || m_cutChange != change || m_clipboard->changeCount() != change)
            return;
        if (!preparation->versions)
            return; // the capture failed and said so in the error row
        std::vector<std::string> sources = m_cutURLs;
        std::erase_if(sources, [&](const std::string &path) { return Location::parent(path) == folder; });
        submit(FileOperationRequest(FileOperationKind::move, std::move(sources), folder, std::nullopt, false,
                                    *preparation->versions, std::nullopt));
    };
    if (preparation->done)
        submitMove();
    else
        preparation->waiters.push_back(std::move(submitMove));
}

void FileCommandController::setCut(std::vector<std::string> paths, long long change) {
    m_cutURLs = std::move(paths);
    m_cutPaths = std::unordered_set<std::string>(m_cutURLs.begin(), m_cutURLs.end());
    m_cutChange = change;
    redrawCut();
}

void FileCommandController::clearCut() {
    if (m_cutChange == -1 && m_cutURLs.empty() && !m_cutPreparation)
        return;
    m_cutURLs.clear();
    m_cutPaths.clear();
    m_cutChange = -1;
    m_cutPreparation.reset();
    redrawCut();
}

void FileCommandController::redrawCut() {
    if (onCutChanged)
        onCutChanged(m_cutPaths);
}

void FileCommandController::clipboardChangedElsewhere() {
    if (m_cutChange != -1 && m_clipboard->changeCount() != m_cutChange)
        clearCut();
}

// ---- Folder, rename, trash, undo ----------------------------------------

void FileCommandController::newFolder() {
    if (!readyOrRefuse())
        return;
    const std::string folder = currentFolder();
    NewFolderDialog::ask(m_window, [this, alive = m_lifetime.weak(), folder](const QString &text) {
        if (alive.expired() || !ready())
            return;
        const std::string name = utf8(text);
        try {
            FileName::validate(name, false);
        } catch (const OperationProblem &problem) {
            showProblem(problem);
            return;
        }
        submit(FileOperationRequest(FileOperationKind::createDirectory, {}, folder, name, false, {},
                                    std::nullopt));
    });
}

void FileCommandController::rename() {
    if (!readyOrRefuse())
        return;
    const std::vector<FileEntry> entries = m_store.selected();
    if (entries.size() != 1)
        return;
    const FileEntry entry = entries.front();
    captureSelection(entries, [this, entry](std::optional<Versions> versions) {
        if (versions && onRenameReady)
            onRenameReady(entry, *versions);
    });
}

void FileCommandController::commitRename(const std::string &path, const std::string &name,
                                         const Versions &versions) {
    if (!ready() || name == Location::lastComponent(path))
        return;
    try {
        FileName::validate(name, false);
    } catch (const OperationProblem &problem) {
        showProblem(problem);
        return;
    }
    const std::string current = Location::lastComponent(path);
    if (extensionOf(current) != extensionOf(name))
        askRename(path, name, versions);
    else
        submitRename(path, name, versions);
}

void FileCommandController::askRename(const std::string &path, const std::string &name,
                                      const Versions &versions) {
    const Localization l10n = Localization::current();
    Sheet::ask(m_window, l10n.text(TextKey::extensionTitle),
               l10n.format(TextKey::extensionBody, shortName(Location::lastComponent(path)), shortName(name)),
               {l10n.text(TextKey::cancel), l10n.text(TextKey::continueOperation)}, 0,
               m_lifetime.guard([this, path, name, versions](int button, bool) {
                   if (button == 1)
                       submitRename(path, name, versions);
               }));
}

void FileCommandController::submitRename(const std::string &path, const std::string &name,
                                         const Versions &versions) {
    submit(FileOperationRequest(FileOperationKind::rename, {path}, std::nullopt, name, false, versions,
                                std::nullopt));
}

void FileCommandController::trash() {
    if (!readyOrRefuse())
        return;
    const std::vector<FileEntry> entries = m_store.selected();
    if (entries.empty())
        return;
    captureSelection(entries, [this, paths = pathsOf(entries)](std::optional<Versions> versions) {
        if (versions)
            askTrash(paths, std::move(*versions));
    });
}

void FileCommandController::restore(std::vector<std::string> paths, std::optional<std::string> folder) {
    if (paths.empty() || !readyOrRefuse())
        return;
    submit(FileOperationRequest(FileOperationKind::restore, std::move(paths), std::move(folder), std::nullopt,
                                false, {}, std::nullopt));
}

void FileCommandController::deletePermanently() {
    if (!readyOrRefuse())
        return;
    const std::vector<FileEntry> entries = m_store.selected();
    if (entries.empty())
        return;
    captureSelection(entries, [this, paths = pathsOf(entries)](std::optional<Versions> versions) {
        if (versions)
            askDelete(paths, std::move(*versions), false);
    });
}

void FileCommandController::deletePermanently(std::vector<std::string> paths, bool emptying) {
    if (!paths.empty() && readyOrRefuse())
        askDelete(std::move(paths), {}, emptying);
}

namespace {

// Bytes of the files under `paths`, links not followed; what cannot be read
// counts nothing. Blocking: on the inspection queue.
std::int64_t totalSize(const std::vector<std::string> &paths) {
    std::int64_t total = 0;
    OperationCancellation never;
    for (const std::string &path : paths) {
        try {
            for (const TreeRecord &record : OperationFS::manifest(path, never, false))
                if (record.stamp.isRegular())
                    total += record.stamp.size;
        } catch (const std::exception &) {
        }
    }
    return total;
}

} // namespace

namespace {

bool isTrashRecord(const std::string &path) {
    return path.ends_with(".trashinfo") && Location::lastComponent(Location::parent(path)) == "info";
}

} // namespace

void FileCommandController::askDelete(std::vector<std::string> paths, Versions versions, bool emptying) {
    FileOperationWorker::inspect<std::int64_t>(
        [paths] { return totalSize(paths); },
        m_lifetime.guard([this, paths, versions,
                          emptying](FileOperationWorker::Outcome<std::int64_t> outcome) {
            const auto *bytes = std::get_if<std::int64_t>(&outcome);
            const Localization l10n = Localization::current();
            // Records whose item is gone are named apart from the items.
            const auto orphans = emptying ? std::count_if(paths.begin(), paths.end(), isTrashRecord) : 0;
            QString body =
                l10n.format(TextKey::deleteBody, l10n.count(TextKey::items, qint64(paths.size()) - orphans),
                            l10n.bytes(bytes ? *bytes : 0));
            if (orphans > 0)
                body += "\n\n" + l10n.format(TextKey::emptyTrashOrphans, qint64(orphans));
            Sheet::ask(m_window, l10n.text(emptying ? TextKey::emptyTrashTitle : TextKey::deleteTitle), body,
                       {l10n.text(TextKey::cancel),
                        l10n.text(emptying ? TextKey::trashEmpty : TextKey::trashDeletePermanently)},
                       0, m_lifetime.guard([this, paths, versions](int button, bool) {
                           if (button == 1 && ready())
                               submit(FileOperationRequest(FileOperationKind::deletePermanently, paths,
                                                           std::nullopt, std::nullopt, false, versions,
                                                           std::nullopt));
                       }));
        }));
}

void FileCommandController::askTrash(std::vector<std::string> paths, Versions versions) {
    const Localization l10n = Localization::current();
    Sheet::ask(m_window, l10n.text(TextKey::trashTitle),
               l10n.format(TextKey::trashBody, l10n.count(TextKey::items, qint64(paths.size()))),
               {l10n.text(TextKey::cancel), l10n.text(TextKey::trash)}, 0,
               m_lifetime.guard([this, paths, versions](int button, bool) {
                   if (button == 1 && ready())
                       submit(FileOperationRequest(FileOperationKind::trash, paths, std::nullopt,
                                                   std::nullopt, false, versions, std::nullopt));
               }));
}

void FileCommandController::undo() {
    if (!readyOrRefuse())
        return;
    if (m_service->canUndo()) {
        m_service->undoLast();
        return;
    }
    const Localization l10n = Localization::current();
    if (m_service->busy())
        showText(l10n.text(TextKey::undoBusy));
    else if (m_service->hasUndoHistory())
        showText(l10n.text(TextKey::undoUnavailable));
    else
        showText(l10n.text(TextKey::undoEmpty));
}

void FileCommandController::redo() {
    if (!ready())
        return;
    if (m_service->canRedo()) {
        m_service->redoLast();
        return;
    }
    const Localization l10n = Localization::current();
    showText(l10n.text(m_service->busy() ? TextKey::undoBusy : TextKey::redoEmpty));
}

void FileCommandController::showTasks() {
    if (journalInUse())
        m_service->startReadOnly(); // the other process's tasks as they are now
    m_unseenFailures.clear();
    renderButton();
    if (m_banner && m_banner->taskID())
        m_banner->forget(*m_banner->taskID());
    m_panel->show();
}

void FileCommandController::openTask(const Uuid &id) {
    m_unseenFailures.clear();
    renderButton();
    m_panel->showTask(id);
}

void FileCommandController::drop(std::vector<std::string> paths,
                                 std::map<std::string, std::string> expectedIDs, const std::string &folder,
                                 bool move) {
    if (!readyOrRefuse())
        return;
    if (move) {
        // Moving an item into the folder it is in changes nothing.
        std::erase_if(paths, [&](const std::string &path) { return Location::parent(path) == folder; });
    }
    if (paths.empty())
        return;
    const FileOperationKind kind = move ? FileOperationKind::move : FileOperationKind::copy;
    std::vector<std::string> sources = paths;
    OperationService::captureVersions(
        std::move(paths), std::move(expectedIDs),
        m_lifetime.guard([this, kind, sources, folder](OperationService::VersionsOutcome outcome) {
            if (auto *problem = std::get_if<OperationProblem>(&outcome)) {
                showProblem(*problem);
                return;
            }
            submit(FileOperationRequest(kind, sources, folder, std::nullopt, false,
                                        std::get<Versions>(std::move(outcome)), std::nullopt));
        }));
}

bool FileCommandController::requestQuit(std::function<void()> quitAgain) {
    if (!m_service->busy())
        return true;
    const Localization l10n = Localization::current();
    Sheet::ask(m_window, l10n.text(TextKey::quitTasksTitle), l10n.text(TextKey::quitTasksBody),
               {l10n.text(TextKey::cancel), l10n.text(TextKey::quitAfterCancel)}, 0,
               m_lifetime.guard([this, quitAgain = std::move(quitAgain)](int button, bool) {
                   if (button != 1)
                       return;
                   std::vector<Uuid> running;
                   for (const FileOperationTask &task : m_service->tasks())
                       if (!isTerminal(task.phase))
                           running.push_back(task.id());
                   for (const Uuid &id : running)
                       m_service->cancel(id);
                   m_service->waitUntilIdle(quitAgain);
               }));
    return false;
}

// ---- Helpers --------------------------------------------------------------

void FileCommandController::submit(FileOperationRequest request) {
    const Uuid id = request.id();
    m_service->submit(std::move(request), m_lifetime.guard([this, id](std::optional<Uuid> admitted) {
        if (admitted != id)
            m_panel->update();
    }));
}

void FileCommandController::captureSelection(const std::vector<FileEntry> &entries,
                                             std::function<void(std::optional<Versions>)> done) {
    OperationService::captureVersions(
        pathsOf(entries), identitiesOf(entries),
        m_lifetime.guard([this, done = std::move(done)](OperationService::VersionsOutcome outcome) {
            if (auto *problem = std::get_if<OperationProblem>(&outcome)) {
                showProblem(*problem);
                done(std::nullopt);
                return;
            }
            done(std::get<Versions>(std::move(outcome)));
        }));
}

void FileCommandController::showProblem(const OperationProblem &problem) {
    if (problem.code() == OperationProblem::Code::invalidName &&
        problem.path().size() > FileName::kMaxBytes) {
        const Localization l10n = Localization::current();
        showText(
            l10n.format(TextKey::nameTooLong, qint64(problem.path().size()), qint64(FileName::kMaxBytes)));
        return;
    }
    showText(OperationText::problem(problem));
}

void FileCommandController::showText(const QString &text) {
    if (m_window)
        m_store.showError(text.toStdString());
}

// ---- The service's callbacks ------------------------------------------------

void FileCommandController::serviceChanged() {
    if (m_operationAlert && m_operationAlertTask) {
        const FileOperationTask *task = m_service->task(*m_operationAlertTask);
        if (task && task->phase == OperationPhase::cancelling) {
            QPointer<QMessageBox> sheet = m_operationAlert;
            m_operationAlert = nullptr;
            m_operationAlertTask.reset();
            Sheet::dismiss(sheet);
        }
    }
    m_panel->update();
    // A dismissed or cleaned-up task is no longer told of.
    const auto settled = [&](const Uuid &id) {
        const FileOperationTask *task = m_service->task(id);
        return !task || !TaskBanner::needsAttention(*task);
    };
    std::erase_if(m_unseenFailures, settled);
    if (m_banner && m_banner->taskID() && settled(*m_banner->taskID()))
        m_banner->forget(*m_banner->taskID());
    renderButton();
    emit stateChanged();
}

// The running tasks, counted, with the first one's phase; else, while failed
// tasks wait to be seen, their count.
void FileCommandController::renderButton() {
    if (!m_button)
        return;
    const Localization l10n = Localization::current();
    QString detail = l10n.text(TextKey::operations);
    const auto &tasks = m_service->tasks();
    const auto isRunning = [](const FileOperationTask &task) { return !isTerminal(task.phase); };
    const auto running = std::find_if(tasks.begin(), tasks.end(), isRunning);
    const auto separator = QStringLiteral(" \u00B7 ");
    if (running != tasks.end()) {
        detail += separator + OperationText::phase(running->phase);
        m_button->showState(OperationsButton::Badge::running,
                            int(std::count_if(tasks.begin(), tasks.end(), isRunning)), detail);
    } else if (!m_unseenFailures.empty()) {
        const auto failed = qint64(m_unseenFailures.size());
        detail += separator + l10n.count(TextKey::failedTasks, failed);
        m_button->showState(OperationsButton::Badge::failed, int(failed), detail);
    } else {
        m_button->showState(OperationsButton::Badge::none, 0, detail);
    }
}

void FileCommandController::taskCompleted(const FileOperationTask &task) {
    if (TaskBanner::needsAttention(task)) {
        m_unseenFailures.insert(task.id());
        if (m_banner)
            m_banner->showTask(task);
        renderButton();
    }
    std::set<std::string> folders;
    for (const FileOperationResult &result : task.results) {
        if (result.source)
            folders.insert(Location::parent(*result.source));
        if (result.destination)
            folders.insert(Location::parent(*result.destination));
    }
    if (!folders.empty()) {
        m_store.invalidateDirectories(folders);
        if (onFoldersChanged)
            onFoldersChanged(folders);
    }
    if (task.request.kind() != FileOperationKind::trash && onItemsMade) {
        std::set<std::string> made;
        for (const FileOperationResult &result : task.results)
            if (result.destination && result.outcome == ItemOutcome::succeeded)
                made.insert(*result.destination);
        if (!made.empty())
            onItemsMade(made);
    }
    if (task.request.kind() == FileOperationKind::move && !m_cutURLs.empty()) {
        std::set<std::string> moved;
        for (const FileOperationResult &result : task.results)
            if (result.source && result.outcome == ItemOutcome::succeeded)
                moved.insert(*result.source);
        const auto before = m_cutURLs.size();
        std::erase_if(m_cutURLs, [&](const std::string &path) { return moved.count(path) > 0; });
        if (m_cutURLs.size() != before) {
            m_cutPaths = std::unordered_set<std::string>(m_cutURLs.begin(), m_cutURLs.end());
            redrawCut();
        }
    }
}

std::optional<Uuid> FileCommandController::waitingTask() const {
    for (const FileOperationTask &task : m_service->tasks())
        if (task.phase == OperationPhase::waiting)
            return task.id();
    return std::nullopt;
}

QMessageBox *FileCommandController::openQuestion() const {
    return m_operationAlert;
}

void FileCommandController::presentQuestion(QMessageBox *sheet) {
    if (!sheet)
        return;
    m_operationAlert = sheet;
    m_operationAlertTask = waitingTask();
}

void FileCommandController::resolveConflict(const FileConflict &conflict, OperationService::Answer answer) {
    const std::optional<Uuid> task = waitingTask();
    if (task) {
        const auto policy = m_policies.find(*task);
        if (policy != m_policies.end()) {
            const auto choice = policy->second.find(conflict.canReplace);
            if (choice != policy->second.end()) {
                answer(choice->second);
                return;
            }
        }
    }

    const Localization l10n = Localization::current();
    auto size = [&](std::int64_t bytes, bool folder) { return folder ? kNone : l10n.bytes(bytes); };
    const QString details =
        l10n.format(TextKey::conflictDetails, OperationText::path(conflict.source),
                    size(conflict.sourceSize, conflict.sourceIsDirectory), l10n.date(conflict.sourceModified),
                    OperationText::path(conflict.destination),
                    size(conflict.destinationSize, conflict.destinationIsDirectory),
                    l10n.date(conflict.destinationModified)) +
        "\n\n" + l10n.text(conflict.canReplace ? TextKey::replaceNote : TextKey::replaceFolderNote);

    std::vector<ConflictChoice> choices{ConflictChoice::keepBoth, ConflictChoice::skip};
    QStringList buttons{l10n.text(TextKey::keepBoth), l10n.text(TextKey::skip)};
    if (conflict.canReplace) {
        choices.push_back(ConflictChoice::replace);
        buttons << l10n.text(TextKey::replace);
    }
    choices.push_back(ConflictChoice::cancel);
    buttons << l10n.text(TextKey::cancel);

    const bool canReplace = conflict.canReplace;
    QMessageBox *sheet = Sheet::ask(
        m_window, l10n.text(TextKey::conflictTitle), details, buttons, int(buttons.size()) - 1,
        [this, alive = m_lifetime.weak(), task, canReplace, choices, answer](int button, bool checked) {
            const ConflictChoice choice = button >= 0 && button < int(choices.size())
                                              ? choices[size_t(button)]
                                              : ConflictChoice::cancel;
            if (!alive.expired()) {
                if (checked && button >= 0 && task)
                    m_policies[*task][canReplace] = choice;
                m_operationAlertTask.reset();
                m_operationAlert = nullptr;
            }
            answer(choice);
        },
        l10n.text(TextKey::applyConflicts));
    presentQuestion(sheet);
}

void FileCommandController::approveLimitedMetadata(const std::string &folder,
                                                   OperationService::Consent answer) {
    const Localization l10n = Localization::current();
    QMessageBox *sheet = Sheet::ask(m_window, l10n.text(TextKey::limitedTitle),
                                    l10n.format(TextKey::limitedBody, OperationText::path(folder)),
                                    {l10n.text(TextKey::cancel), l10n.text(TextKey::continueOperation)}, 0,
                                    [this, alive = m_lifetime.weak(), answer](int button, bool) {
                                        if (!alive.expired()) {
                                            m_operationAlertTask.reset();
                                            m_operationAlert = nullptr;
                                        }
                                        answer(button == 1);
                                    });
    presentQuestion(sheet);
}

} // namespace dromel
