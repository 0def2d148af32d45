#pragma once

#include <QDBusConnection>
#include <QDBusMessage>
#include <QObject>

#include <optional>

namespace dromel {

// The desktop's light or dark preference as its settings portal publishes it
// (org.freedesktop.portal.Settings, org.freedesktop.appearance color-scheme:
// 0 no preference, 1 dark, 2 light), read once without blocking and followed
// through SettingChanged. Without a portal nothing is ever reported. Main
// thread only.
class DesktopColorScheme : public QObject {
    Q_OBJECT
public:
    static constexpr const char *kService = "org.freedesktop.portal.Desktop";
    static constexpr const char *kPath = "/org/freedesktop/portal/desktop";
    static constexpr const char *kInterface = "org.freedesktop.portal.Settings";

    explicit DesktopColorScheme(QDBusConnection bus = QDBusConnection::sessionBus(),
                                QObject *parent = nullptr);

    // True for dark, false for light, none without a stated preference.
    std::optional<bool> prefersDark() const { return m_prefersDark; }
    bool answered() const { return m_answered; }

signals:
    void changed(std::optional<bool> prefersDark);

public slots:
    // The portal's SettingChanged signal (D-Bus reaches public slots only).
    void settingChanged(const QDBusMessage &message);

private:
    void take(const QVariant &value);

    QDBusConnection m_bus;
    std::optional<bool> m_prefersDark;
    bool m_answered = false;
};

} // namespace dromel
