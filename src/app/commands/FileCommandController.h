#pragma once

#include "commands/FileClipboard.h"
#include "core/ConflictChoice.h"
#include "core/FileConflict.h"
#include "core/FileEntry.h"
#include "core/FileOperationRequest.h"
#include "core/Uuid.h"
#include "engine/OperationService.h"
#include "operations/OperationsButton.h"
#include "operations/TaskBanner.h"
#include "runtime/Lifetime.h"

#include <QObject>
#include <QPointer>

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <unordered_set>
#include <vector>

#include <QMessageBox>
class QWidget;

namespace dromel {

class BrowserStore;
class ClipboardWatch;
class JournalLock;
class OperationPanel;

// Turns the user's file commands in the browser window into requests for the
// operation service, and answers the service's questions with sheets on the
// window. Owns the service (started here on the journal chosen at launch) and
// the operations window, keeps the clipboard's cut state, and tells the store
// and the sidebar which folders changed after every finished task.
//
// Main thread only. Every command does nothing while the service is not
// ready or the window is gone. Failures never bring up extra dialogs: capture
// failures and refused names go to the store's error row. Questions asked
// while the window is gone are answered no (cancel, not approved). The store
// must outlive the controller; the window is held weakly.
class FileCommandController : public QObject {
    Q_OBJECT

public:
    using Versions = OperationService::Versions;

    FileCommandController(BrowserStore &store, std::string journalPath, QWidget *window);
    ~FileCommandController() override;

    OperationService &service() const { return *m_service; }
    OperationPanel &panel() const { return *m_panel; }
    // The toolbar button that opens the operations window; its badge and
    // tooltip follow the running tasks, then the failed ones not yet seen.
    // Parented to the window; place it anywhere.
    OperationsButton *button() const { return m_button; }
    // The row that tells of a task that failed or needs review, hidden until
    // one does. Parented to the window; the window places it.
    TaskBanner *banner() const { return m_banner; }
    // Another process holds the journal: no task runs from this window, the
    // operations window shows that process's tasks read-only, and every file
    // command is refused with a message.
    bool journalInUse() const;

    // Hooks to the window's pieces, all optional.
    // The paths drawn as cut changed (an empty set clears the marks).
    std::function<void(const std::unordered_set<std::string> &paths)> onCutChanged;
    // Folders changed by a finished task, for the sidebar.
    std::function<void(const std::set<std::string> &folders)> onFoldersChanged;
    // Items a finished task made (a paste, a new folder, a rename), to be
    // selected where they are shown.
    std::function<void(const std::set<std::string> &paths)> onItemsMade;
    // Versions of the item were captured: start the inline editor, which
    // later calls commitRename with them.
    std::function<void(const FileEntry &entry, const Versions &versions)> onRenameReady;

    void cut();
    // Clears the cut, then copies the selected items.
    void copy();
    // Into `folder` when given, else into the shown folder.
    void paste(const std::optional<std::string> &folder = std::nullopt);
    // The selected items' paths, or the folder's, as plain text.
    void copyPath();
    void newFolder();
    void rename();
    void commitRename(const std::string &path, const std::string &name, const Versions &versions);
    void trash();
    // Puts items of the Trash back where their records say they were, or
    // into `folder` (dragged out of the Trash) under the names they had.
    void restore(std::vector<std::string> paths, std::optional<std::string> folder = std::nullopt);
    // The only commands that delete: each asks first in a sheet naming the
    // count and the total size and saying it cannot be undone. The selected
    // items (Shift+Delete), or the given ones (Delete Permanently and Empty
    // Trash in the Trash).
    void deletePermanently();
    void deletePermanently(std::vector<std::string> paths, bool emptying);
    // A symbolic link to each selected item beside it, named "Link to …".
    void makeLink();
    // Sets permission bits of `paths` through the engine (undoable).
    void changePermissions(std::vector<std::string> paths, PermissionChange change);
    void undo();
    // Does again what the last undo reversed.
    void redo();
    void showTasks();

    // Whether commands that start tasks may run, and whether paste has files
    // (also while the journal is in use elsewhere, so that paste is refused
    // with a word rather than greyed without one).
    bool ready() const;
    bool canPaste() const;
    const std::unordered_set<std::string> &cutPaths() const { return m_cutPaths; }

    // Copies or moves `paths` into `folder` as a drop asks: versions are
    // captured first (against `expectedIDs` where given) and the request goes
    // through the service like any other.
    void drop(std::vector<std::string> paths, std::map<std::string, std::string> expectedIDs,
              const std::string &folder, bool move);

    // The quit question while tasks run. True: quit now. False: not now; when
    // the user chose to cancel the tasks, `quitAgain` runs once the service
    // is idle.
    bool requestQuit(std::function<void()> quitAgain);

    // The question sheet open for a waiting task, if any (for tests).
    QMessageBox *openQuestion() const;

signals:
    // The service changed: readiness, tasks or what undo can do.
    void stateChanged();

private:
    struct CutPreparation;

    void installCallbacks();
    // ready(); else, while another process holds the journal, says that the
    // command is refused and why.
    bool readyOrRefuse();
    void submit(FileOperationRequest request);
    void clearCut();
    void setCut(std::vector<std::string> paths, long long change);
    void redrawCut();
    void clipboardChangedElsewhere();
    void captureSelection(const std::vector<FileEntry> &entries,
                          std::function<void(std::optional<Versions>)> done);
    void showProblem(const OperationProblem &problem);
    void showText(const QString &text);
    void askRename(const std::string &path, const std::string &name, const Versions &versions);
    void submitRename(const std::string &path, const std::string &name, const Versions &versions);
    void askTrash(std::vector<std::string> paths, Versions versions);
    void askDelete(std::vector<std::string> paths, Versions versions, bool emptying);
    void moveCut(const std::string &folder);
    void pasteFiles(const FileClipboard::Contents &contents, const std::string &folder);
    void askTextPaste(FileClipboard::Contents contents, const std::string &folder);

    void serviceChanged();
    void renderButton();
    void openTask(const Uuid &id);
    void taskCompleted(const FileOperationTask &task);
    void resolveConflict(const FileConflict &conflict, OperationService::Answer answer);
    void approveLimitedMetadata(const std::string &folder, OperationService::Consent answer);
    // Shows a question for the task now waiting; `answer` gets the button.
    void presentQuestion(QMessageBox *sheet);
    std::optional<Uuid> waitingTask() const;
    std::string currentFolder() const;

    BrowserStore &m_store;
    QPointer<QWidget> m_window;
    std::unique_ptr<JournalLock> m_journalLock;
    std::unique_ptr<OperationService> m_service;
    std::unique_ptr<OperationPanel> m_panel;
    QPointer<OperationsButton> m_button;
    QPointer<TaskBanner> m_banner;
    // Tasks that failed or need review since the operations window was last
    // opened: the toolbar button counts them.
    std::set<Uuid> m_unseenFailures;
    ClipboardWatch *m_clipboard = nullptr;

    // Cut state: the items marked by the last cut, the clipboard's change
    // count when they were cut (-1 for none), and their version capture.
    std::vector<std::string> m_cutURLs;
    std::unordered_set<std::string> m_cutPaths;
    long long m_cutChange = -1;
    std::shared_ptr<CutPreparation> m_cutPreparation;

    // The question sheet open for a waiting task.
    QPointer<QMessageBox> m_operationAlert;
    std::optional<Uuid> m_operationAlertTask;
    // Apply-to-all answers per task, by the conflict's canReplace.
    std::map<Uuid, std::map<bool, ConflictChoice>> m_policies;
    Lifetime m_lifetime;
};

} // namespace dromel
