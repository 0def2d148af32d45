#pragma once

#include "core/FileOperationTask.h"
#include "core/Uuid.h"

#include <QWidget>

#include <functional>
#include <optional>

class QLabel;
class QPushButton;
class QToolButton;

namespace dromel {

// The row above the file list that tells of a task of this window that
// failed or needs review: its title, its phase and the first reason, with a
// button that opens the task in the operations window and one that closes
// the row. A newer such task takes the row over.
//
// Main thread only.
class TaskBanner : public QWidget {
    Q_OBJECT

public:
    explicit TaskBanner(QWidget *parent = nullptr);

    // Whether `task` is one the banner tells of.
    static bool needsAttention(const FileOperationTask &task);
    void showTask(const FileOperationTask &task);
    // A notice that is not about one task (no button to open it).
    void showNotice(const QString &text);
    // Closes the row if it tells of `id` (the task was dismissed or opened).
    void forget(const Uuid &id);

    std::optional<Uuid> taskID() const { return m_task; }
    QLabel *label() const { return m_label; }
    QPushButton *openButton() const { return m_open; }
    QToolButton *closeButton() const { return m_close; }

    // The open button was pressed for the task.
    std::function<void(const Uuid &id)> onOpen;

private:
    QLabel *m_label = nullptr;
    QPushButton *m_open = nullptr;
    QToolButton *m_close = nullptr;
    std::optional<Uuid> m_task;
};

} // namespace dromel
