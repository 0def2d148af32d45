#pragma once

// A session bus of the test's own (a dbus-daemon child), so D-Bus services
// are offered and called for real without reaching the user's desktop.
#include "support/WaitUntil.h"

#include <QDBusConnection>
#include <QDBusInterface>
#include <QDBusMessage>
#include <QProcess>
#include <QStandardPaths>
#include <QString>

#include <atomic>
#include <thread>

namespace dromel::test {

class PrivateBus {
public:
    PrivateBus() {
        if (QStandardPaths::findExecutable("dbus-daemon").isEmpty())
            return;
        m_daemon.start("dbus-daemon", {"--session", "--nofork", "--nopidfile", "--print-address=1"});
        if (!m_daemon.waitForStarted(10000))
            return;
        while (!m_daemon.canReadLine() && m_daemon.waitForReadyRead(10000)) {
        }
        m_address = QString::fromUtf8(m_daemon.readLine()).trimmed();
    }
    ~PrivateBus() {
        for (const QString &name : m_names)
            QDBusConnection::disconnectFromBus(name);
        if (m_daemon.state() != QProcess::NotRunning) {
            m_daemon.terminate();
            if (!m_daemon.waitForFinished(5000)) {
                m_daemon.kill();
                m_daemon.waitForFinished(5000);
            }
        }
    }
    PrivateBus(const PrivateBus &) = delete;
    PrivateBus &operator=(const PrivateBus &) = delete;

    bool running() const { return !m_address.isEmpty(); }
    const QString &address() const { return m_address; }

    // A new connection to the bus, as another program would have.
    QDBusConnection connect(const QString &name) {
        m_names << name;
        return QDBusConnection::connectToBus(m_address, name);
    }

    // Calls a method from another thread with a connection of its own, as
    // another program would (through QDBusInterface, which introspects the
    // object first); this thread's event loop keeps serving meanwhile.
    QDBusMessage callElsewhere(const QString &service, const QString &path, const QString &interface,
                               const QString &method, const QVariantList &arguments) {
        QDBusMessage reply;
        std::atomic<bool> done = false;
        const QString address = m_address;
        std::thread caller([&] {
            {
                QDBusConnection client = QDBusConnection::connectToBus(address, "other-program");
                QDBusInterface remote(service, path, interface, client);
                reply = remote.callWithArgumentList(QDBus::Block, method, arguments);
            }
            QDBusConnection::disconnectFromBus("other-program");
            done = true;
        });
        waitUntil([&] { return done.load(); }, std::chrono::seconds(60));
        caller.join();
        return reply;
    }

private:
    QProcess m_daemon;
    QString m_address;
    QStringList m_names;
};

} // namespace dromel::test
