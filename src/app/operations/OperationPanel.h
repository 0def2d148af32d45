#pragma once

#include "core/Uuid.h"

#include <QObject>
#include <QPointer>
#include <QSize>
#include <QWidget>

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

class QComboBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QTextBrowser;
class QUrl;

namespace dromel {

class OperationService;

// The operations window: every task of the service in a picker, the chosen
// one in detail (summary, byte progress, per-item results, the paths left
// for review) and the cancel, retry, undo and clean-up buttons. It keeps no copy of
// the tasks: every update reads the service again.
//
// Main thread only. Built hidden; closing hides it, show() brings it back.
// A task being retried cannot be retried again until its retry has ended.
// The service must outlive the panel.
class OperationPanel : public QObject {
    Q_OBJECT

public:
    static constexpr QSize kInitialSize{740, 440};
    static constexpr QSize kMinimumSize{640, 400};

    // `owner` (the main window) keeps the window above it and destroys it.
    explicit OperationPanel(OperationService &service, QWidget *owner = nullptr);
    ~OperationPanel() override;

    // Shows a task that is still running if there is one, else the newest
    // task, and brings the window to the front.
    void show();
    // Shows the task `id` (when it is still listed) and brings the window up.
    void showTask(const Uuid &id);
    // Re-reads the service; the picker is rebuilt only when the tasks changed.
    void update();

    // A recovery path clicked in the detail text; the file commands open its
    // folder in the file list with the item selected.
    std::function<void(const std::string &path)> onOpenPath;

    std::optional<Uuid> selectedID() const { return m_selectedID; }
    QWidget *window() const { return m_window; }
    QComboBox *picker() const { return m_picker; }
    QTextBrowser *detail() const { return m_detail; }
    QProgressBar *progress() const { return m_progress; }
    QLabel *summary() const { return m_summary; }
    // Says that another process holds the journal; shown only then.
    QLabel *notice() const { return m_notice; }
    QLabel *bytes() const { return m_bytes; }
    QPushButton *cancelButton() const { return m_cancelButton; }
    QPushButton *retryButton() const { return m_retryButton; }
    QPushButton *undoButton() const { return m_undoButton; }
    QPushButton *cleanUpButton() const { return m_cleanUpButton; }
    QPushButton *dismissButton() const { return m_dismissButton; }

private:
    void build();
    void render();
    void renderDetail();
    void selected(int index);
    void cancel();
    void retry();
    void undoFile();
    void cleanUp();
    void dismiss();
    void bringUp();
    bool retrying(const Uuid &id) const;
    void linkClicked(const QUrl &link);

    OperationService &m_service;
    QPointer<QWidget> m_window;
    QLabel *m_notice = nullptr;
    QComboBox *m_picker = nullptr;
    QLabel *m_summary = nullptr;
    QProgressBar *m_progress = nullptr;
    QLabel *m_bytes = nullptr;
    QTextBrowser *m_detail = nullptr;
    QPushButton *m_cancelButton = nullptr;
    QPushButton *m_retryButton = nullptr;
    QPushButton *m_undoButton = nullptr;
    QPushButton *m_cleanUpButton = nullptr; // removes the stages a crash left
    QPushButton *m_dismissButton = nullptr;
    std::optional<Uuid> m_selectedID;
    // Tasks retried in this window: the retry's task once admitted, nothing
    // while its admission is pending.
    std::map<Uuid, std::optional<Uuid>> m_retries;
    // The recovery paths linked in the detail text, by link number, so that
    // names that are not UTF-8 open exactly.
    std::vector<std::string> m_links;
    bool m_centred = false;
};

} // namespace dromel
