#include "shell/SingleInstance.h"

#include "core/Location.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>
#include <QLocalServer>
#include <QLocalSocket>

#include <cstdio>

namespace dromel {

namespace {

constexpr int kHandOffMilliseconds = 5000;

std::vector<std::string> pathsOf(const QStringList &uris) {
    std::vector<std::string> paths;
    for (const QString &uri : uris)
        if (auto path = Location::pathFromFileURL(uri.toStdString()))
            paths.push_back(std::move(*path));
    return paths;
}

QStringList urisOf(const std::vector<std::string> &folders) {
    QStringList uris;
    for (const std::string &folder : folders)
        uris << QString::fromLatin1(Location::fileURL(folder, true));
    return uris;
}

} // namespace

SingleInstance::SingleInstance(QDBusConnection bus, std::string runtimeFolder, QObject *parent)
    : QObject(parent), m_bus(std::move(bus)), m_runtimeFolder(std::move(runtimeFolder)) {}

SingleInstance::~SingleInstance() {
    if (m_onBus && m_bus.isConnected()) {
        m_bus.unregisterObject(kObjectPath);
        m_bus.unregisterService(kServiceName);
    }
    if (m_server) {
        m_server->close(); // removes the socket file
        delete m_server;
    }
}

std::string SingleInstance::socketPath() const {
    return Location::appending(m_runtimeFolder, kSocketName);
}

bool SingleInstance::claim() {
    if (m_bus.isConnected() && m_bus.interface()) {
        if (!m_bus.registerObject(kObjectPath, this, QDBusConnection::ExportScriptableSlots))
            return false;
        const QDBusReply<QDBusConnectionInterface::RegisterServiceReply> reply =
            m_bus.interface()->registerService(kServiceName, QDBusConnectionInterface::DontQueueService,
                                               QDBusConnectionInterface::DontAllowReplacement);
        if (reply.isValid() && reply.value() == QDBusConnectionInterface::ServiceRegistered) {
            m_onBus = m_primary = true;
            return true;
        }
        m_bus.unregisterObject(kObjectPath);
        return false;
    }
    m_primary = listen();
    return m_primary;
}

// The socket is claimed by whoever listens on it; one that nobody answers
// is a leftover of a crash and is taken over.
bool SingleInstance::listen() {
    if (m_runtimeFolder.empty())
        return true; // nowhere to meet: every launch is on its own
    const QString path = QString::fromLocal8Bit(socketPath().c_str());
    QLocalSocket probe;
    probe.connectToServer(path);
    if (probe.waitForConnected(kHandOffMilliseconds))
        return false;
    QLocalServer::removeServer(path);
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server->listen(path)) {
        std::fprintf(stderr, "Dromel: %s could not be offered: %s\n", kSocketName,
                     qPrintable(m_server->errorString()));
        return true;
    }
    connect(m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket *client = m_server->nextPendingConnection()) {
            client->setParent(this);
            connect(client, &QLocalSocket::readyRead, this, &SingleInstance::readClient);
            connect(client, &QLocalSocket::disconnected, client, &QObject::deleteLater);
        }
    });
    return true;
}

void SingleInstance::readClient() {
    auto *client = qobject_cast<QLocalSocket *>(sender());
    if (!client)
        return;
    // The request ends with the line after the empty line.
    const QByteArray request = client->property("request").toByteArray() + client->readAll();
    client->setProperty("request", request);
    const qsizetype end = request.indexOf("\n\n");
    if (end < 0 || !request.endsWith('\n') || request.size() <= end + 2)
        return;
    QStringList uris;
    for (const QByteArray &line : request.left(end).split('\n'))
        if (!line.isEmpty())
            uris << QString::fromUtf8(line);
    const QString startupId = QString::fromUtf8(request.mid(end + 2).trimmed());
    client->write("ok\n");
    client->flush();
    client->disconnectFromServer();
    deliver(pathsOf(uris), startupId);
}

bool SingleInstance::handOff(const std::vector<std::string> &folders, const QString &startupId) {
    if (m_bus.isConnected() && m_bus.interface()) {
        QDBusMessage call = QDBusMessage::createMethodCall(kServiceName, kObjectPath, kServiceName, "Open");
        call << urisOf(folders) << startupId;
        const QDBusMessage reply = m_bus.call(call, QDBus::Block, kHandOffMilliseconds);
        return reply.type() == QDBusMessage::ReplyMessage;
    }
    if (m_runtimeFolder.empty())
        return false;
    QLocalSocket socket;
    socket.connectToServer(QString::fromLocal8Bit(socketPath().c_str()));
    if (!socket.waitForConnected(kHandOffMilliseconds))
        return false;
    QByteArray request = urisOf(folders).join('\n').toUtf8();
    request += "\n\n" + startupId.toUtf8() + "\n";
    socket.write(request);
    if (!socket.waitForBytesWritten(kHandOffMilliseconds))
        return false;
    QByteArray answer;
    while (!answer.contains('\n') && socket.waitForReadyRead(kHandOffMilliseconds))
        answer += socket.readAll();
    return answer.startsWith("ok\n");
}

void SingleInstance::Open(const QStringList &uris, const QString &startupId) {
    deliver(pathsOf(uris), startupId);
}

void SingleInstance::setOnOpen(std::function<void(const std::vector<std::string> &, const QString &)> open) {
    onOpen = std::move(open);
    for (auto &[folders, startupId] : std::exchange(m_waiting, {}))
        deliver(std::move(folders), startupId);
}

void SingleInstance::deliver(std::vector<std::string> folders, const QString &startupId) {
    if (onOpen)
        onOpen(folders, startupId);
    else
        m_waiting.emplace_back(std::move(folders), startupId);
}

} // namespace dromel
