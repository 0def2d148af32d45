// The desktop's light/dark preference through a settings portal served on a
// private session bus, as xdg-desktop-portal serves it.
#include "look/DesktopColorScheme.h"

#include "app/shell/PrivateBus.h"
#include "look/Appearance.h"
#include "support/WaitUntil.h"

#include <QApplication>
#include <QDBusMessage>

#include <gtest/gtest.h>

using namespace dromel;
using namespace dromel::test;

class Portal : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Settings")
public:
    uint scheme = 1;

public slots:
    Q_SCRIPTABLE QDBusVariant Read(const QString &group, const QString &key) {
        // Portals before version 2 wrap the value in a second variant.
        if (group == "org.freedesktop.appearance" && key == "color-scheme")
            return QDBusVariant(QVariant::fromValue(QDBusVariant(scheme)));
        return QDBusVariant(QString());
    }
};

TEST(DesktopColorSchemeTest, FollowsThePortalsPreferenceAndItsChanges) {
    PrivateBus bus;
    if (!bus.running())
        GTEST_SKIP() << "no dbus-daemon";
    QDBusConnection server = bus.connect("portal");
    Portal portal;
    ASSERT_TRUE(
        server.registerObject(DesktopColorScheme::kPath, &portal, QDBusConnection::ExportScriptableSlots));
    ASSERT_TRUE(server.registerService(DesktopColorScheme::kService));

    Appearance::apply(AppAppearance::light);
    Appearance::apply(AppAppearance::system);
    DesktopColorScheme scheme(bus.connect("program"));
    QObject::connect(&scheme, &DesktopColorScheme::changed,
                     [](std::optional<bool> dark) { Appearance::setDesktopPreference(dark); });
    ASSERT_TRUE(waitUntil([&] { return scheme.answered(); }));
    EXPECT_EQ(scheme.prefersDark(), std::optional<bool>(true));
    EXPECT_TRUE(Appearance::isDark()) << "the system appearance turns dark with the desktop";

    QDBusMessage changed = QDBusMessage::createSignal(DesktopColorScheme::kPath,
                                                      DesktopColorScheme::kInterface, "SettingChanged");
    changed << QString("org.freedesktop.appearance") << QString("color-scheme")
            << QVariant::fromValue(QDBusVariant(uint(2)));
    ASSERT_TRUE(server.send(changed));
    ASSERT_TRUE(waitUntil([&] { return scheme.prefersDark() == std::optional<bool>(false); }));
    EXPECT_FALSE(Appearance::isDark());

    Appearance::apply(AppAppearance::dark);
    Appearance::setDesktopPreference(false);
    EXPECT_TRUE(Appearance::isDark()) << "an explicit choice wins over the desktop's";
    Appearance::setDesktopPreference(std::nullopt);
    Appearance::apply(AppAppearance::system);
}

#include "DesktopColorSchemeTest.moc"
