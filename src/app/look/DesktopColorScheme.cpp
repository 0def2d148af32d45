#include "look/DesktopColorScheme.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

namespace dromel {

namespace {

const QString kGroup = QStringLiteral("org.freedesktop.appearance");
const QString kKey = QStringLiteral("color-scheme");

// Read answers a variant that older portals wrap once more.
QVariant unwrapped(QVariant value) {
    for (int depth = 0; depth < 3 && value.canConvert<QDBusVariant>(); ++depth)
        value = value.value<QDBusVariant>().variant();
    if (value.userType() == qMetaTypeId<QDBusArgument>()) {
        QDBusVariant inner;
        value.value<QDBusArgument>() >> inner;
        value = inner.variant();
    }
    return value;
}

} // namespace

DesktopColorScheme::DesktopColorScheme(QDBusConnection bus, QObject *parent)
    : QObject(parent), m_bus(std::move(bus)) {
    if (!m_bus.isConnected())
        return;
    // Any sender: the portal's unique name is not known until it answers.
    m_bus.connect(QString(), QString::fromLatin1(kPath), QString::fromLatin1(kInterface),
                  QStringLiteral("SettingChanged"), this, SLOT(settingChanged(QDBusMessage)));
    QDBusMessage read =
        QDBusMessage::createMethodCall(QString::fromLatin1(kService), QString::fromLatin1(kPath),
                                       QString::fromLatin1(kInterface), QStringLiteral("Read"));
    read << kGroup << kKey;
    auto *watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(read), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher *call) {
        call->deleteLater();
        const QDBusMessage reply = call->reply();
        if (reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty())
            take(unwrapped(reply.arguments().constFirst()));
    });
}

void DesktopColorScheme::settingChanged(const QDBusMessage &message) {
    const QList<QVariant> arguments = message.arguments();
    if (arguments.size() == 3 && arguments[0].toString() == kGroup && arguments[1].toString() == kKey)
        take(unwrapped(arguments[2]));
}

void DesktopColorScheme::take(const QVariant &value) {
    bool ok = false;
    const uint scheme = value.toUInt(&ok);
    const std::optional<bool> preference =
        !ok || scheme == 0 ? std::nullopt : std::optional<bool>(scheme == 1);
    m_answered = true;
    if (preference == m_prefersDark)
        return;
    m_prefersDark = preference;
    emit changed(preference);
}

} // namespace dromel
