#pragma once

#include "core/FileOperationTask.h"
#include "core/Uuid.h"

#include <QDBusConnection>
#include <QObject>
#include <QPointer>

#include <chrono>
#include <map>

class QWidget;

namespace dromel {

class FileCommandController;

// Tells the desktop (org.freedesktop.Notifications) when a long task ends
// while the window is not active, titled as the operations window titles it, so a copy left to run in the
// background is not forgotten. A task counts from the first time it is seen unfinished; tasks brought back
// finished from the journal never notify. The call is fire-and-forget: a desktop without a notification
// server loses nothing.
//
// Main thread only. The file commands must outlive the notifier; the window
// is held weakly.
class TaskNotifier : public QObject {
    Q_OBJECT

public:
    static constexpr std::chrono::milliseconds kLongTask{5000};

    TaskNotifier(QDBusConnection bus, FileCommandController &commands, QWidget *window,
                 QObject *parent = nullptr);

    void setLongTaskForTesting(std::chrono::milliseconds duration) { m_longTask = duration; }

private:
    void tasksChanged();
    void notify(const FileOperationTask &task);

    QDBusConnection m_bus;
    FileCommandController &m_commands;
    QPointer<QWidget> m_window;
    std::chrono::milliseconds m_longTask = kLongTask;
    // When each unfinished task was first seen.
    std::map<Uuid, std::chrono::steady_clock::time_point> m_started;
};

} // namespace dromel
