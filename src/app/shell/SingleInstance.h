#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>
#include <string>
#include <vector>

class QLocalServer;

namespace dromel {

// One Dromel per user session. The first process claims org.dromel.Dromel on
// the session bus (or, where no bus runs, listens on a socket in
// $XDG_RUNTIME_DIR); a later launch hands its folders to it and ends.
//
// On the bus: object /org/dromel/Dromel, interface org.dromel.Dromel, method
// Open(as uris, s startupId). On the socket: the URIs one per line, then the
// startup id on a line of its own after an empty line; the answer "ok\n".
// URIs are file URIs whose escapes carry the exact path bytes.
//
// Main thread only. Folders that arrive before `onOpen` is set wait for it.
class SingleInstance : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.dromel.Dromel")

public:
    static constexpr const char *kServiceName = "org.dromel.Dromel";
    static constexpr const char *kObjectPath = "/org/dromel/Dromel";
    static constexpr const char *kSocketName = "org.dromel.Dromel.socket";

    // `bus` may be disconnected (then the socket in `runtimeFolder` serves).
    SingleInstance(QDBusConnection bus, std::string runtimeFolder, QObject *parent = nullptr);
    ~SingleInstance() override;

    // Becomes the session's instance. False: another one holds it.
    bool claim();
    // Gives `folders` to the instance that holds the claim; true when it
    // took them. Bounded wait: a stuck instance is given up on.
    bool handOff(const std::vector<std::string> &folders, const QString &startupId);

    bool primary() const { return m_primary; }

    // Folders to open, each in a tab, then the window raised.
    std::function<void(const std::vector<std::string> &folders, const QString &startupId)> onOpen;
    void setOnOpen(std::function<void(const std::vector<std::string> &, const QString &)> open);

public slots:
    Q_SCRIPTABLE void Open(const QStringList &uris, const QString &startupId);

private:
    std::string socketPath() const;
    bool listen();
    void readClient();
    void deliver(std::vector<std::string> folders, const QString &startupId);

    QDBusConnection m_bus;
    std::string m_runtimeFolder;
    QPointer<QLocalServer> m_server;
    bool m_primary = false;
    bool m_onBus = false;
    // What arrived before anyone could open it.
    std::vector<std::pair<std::vector<std::string>, QString>> m_waiting;
};

} // namespace dromel
