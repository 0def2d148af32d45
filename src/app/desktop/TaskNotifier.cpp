#include "desktop/TaskNotifier.h"

#include "commands/FileCommandController.h"
#include "core/Version.h"
#include "operations/OperationText.h"
#include "operations/TaskTitle.h"

#include <QDBusMessage>
#include <QVariantMap>
#include <QWidget>

#include <set>

namespace dromel {

TaskNotifier::TaskNotifier(QDBusConnection bus, FileCommandController &commands, QWidget *window,
                           QObject *parent)
    : QObject(parent), m_bus(std::move(bus)), m_commands(commands), m_window(window) {
    connect(&m_commands, &FileCommandController::stateChanged, this, &TaskNotifier::tasksChanged);
    tasksChanged();
}

void TaskNotifier::tasksChanged() {
    if (m_commands.journalInUse())
        return; // the tasks shown are another process's, which tells of them
    const auto now = std::chrono::steady_clock::now();
    std::set<Uuid> listed;
    for (const FileOperationTask &task : m_commands.service().tasks()) {
        listed.insert(task.id());
        const auto started = m_started.find(task.id());
        if (!isTerminal(task.phase)) {
            if (started == m_started.end())
                m_started.emplace(task.id(), now);
            continue;
        }
        if (started == m_started.end())
            continue;
        const bool longTask = now - started->second >= m_longTask;
        m_started.erase(started);
        if (longTask && m_window && !m_window->isActiveWindow())
            notify(task);
    }
    std::erase_if(m_started, [&](const auto &entry) { return listed.count(entry.first) == 0; });
}

void TaskNotifier::notify(const FileOperationTask &task) {
    if (!m_bus.isConnected())
        return;
    QDBusMessage call =
        QDBusMessage::createMethodCall("org.freedesktop.Notifications", "/org/freedesktop/Notifications",
                                       "org.freedesktop.Notifications", "Notify");
    QVariantMap hints;
    hints.insert("desktop-entry", QString::fromLatin1(kApplicationIdentifier));
    call << QString::fromLatin1(kApplicationName) << uint(0) << QString::fromLatin1(kApplicationIdentifier)
         << TaskTitle::of(task) << OperationText::summary(task) << QStringList() << hints << int(-1);
    // No reply is awaited: the window must not wait for the desktop.
    m_bus.send(call);
}

} // namespace dromel
