// Notices of long tasks, received by a small notification server of the
// test's own on a private session bus, for tasks run by the real file
// commands on real folders.
#include "desktop/TaskNotifier.h"

#include "operations/OperationText.h"
#include "operations/TaskTitle.h"

#include "../commands/CommandFixture.h"
#include "../shell/PrivateBus.h"

#include <QDBusConnectionInterface>
#include <QTest>

#include <memory>
#include <vector>

using namespace dromel;
using namespace dromel::test;

class FakeNotifications : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

public:
    struct Notice {
        QString application, icon, summary, body;
        QVariantMap hints;
        int timeout = 0;
    };
    std::vector<Notice> notices;

public slots:
    Q_SCRIPTABLE uint Notify(const QString &application, uint, const QString &icon, const QString &summary,
                             const QString &body, const QStringList &, const QVariantMap &hints,
                             int timeout) {
        notices.push_back(Notice{application, icon, summary, body, hints, timeout});
        return static_cast<uint>(notices.size());
    }
};

namespace {

class TaskNotices : public ::testing::Test, protected CommandFixture {
protected:
    void SetUp() override {
        if (!bus.running())
            GTEST_SKIP() << "dbus-daemon could not be started: no private session bus";
        QDBusConnection desktop = bus.connect("notification-server");
        ASSERT_TRUE(desktop.registerObject("/org/freedesktop/Notifications", &server,
                                           QDBusConnection::ExportScriptableSlots));
        ASSERT_TRUE(desktop.registerService("org.freedesktop.Notifications"));
        tree.makeFolder("from");
        tree.writeFile("from/a.txt", "a");
        tree.writeFile("from/b.txt", "b");
        tree.writeFile("from/c.txt", "c");
        tree.makeFolder("to");
        open(tree.path("from"));
        notifier = std::make_unique<TaskNotifier>(bus.connect("dromel"), *commands, window.get());
        other.resize(200, 100);
    }
    void TearDown() override { notifier.reset(); }

    void activate(QWidget &widget) {
        widget.show();
        widget.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&widget));
    }
    // Copies one file into "to" and waits until the task is done.
    void copy(const char *name, std::size_t tasks) {
        commands->drop({tree.path(std::string("from/") + name)}, {}, tree.path("to"), false);
        ASSERT_TRUE(allFinished(tasks));
    }

    PrivateBus bus;
    FakeNotifications server;
    std::unique_ptr<TaskNotifier> notifier;
    QWidget other;
};

TEST_F(TaskNotices, ALongTaskEndingWhileTheWindowIsInactiveIsAnnounced) {
    // Short tasks stay silent, and so does any task while the window is active.
    activate(other);
    ASSERT_FALSE(window->isActiveWindow());
    notifier->setLongTaskForTesting(std::chrono::hours(1));
    copy("a.txt", 1);
    activate(*window);
    notifier->setLongTaskForTesting(std::chrono::milliseconds(0));
    copy("b.txt", 2);

    // The notice speaks the interface language.
    Localization::setCurrent(Localization(AppLanguage::simplifiedChinese, {}, QLocale(QLocale::Chinese)));
    activate(other);
    copy("c.txt", 3);
    // The server hears calls in the order they were sent: had either earlier
    // task been announced, its notice would come first.
    ASSERT_TRUE(waitUntil([&] { return !server.notices.empty(); }));
    ASSERT_EQ(server.notices.size(), 1u);
    const FakeNotifications::Notice &notice = server.notices.front();
    EXPECT_EQ(notice.application, "Dromel");
    EXPECT_EQ(notice.icon, "org.dromel.Dromel");
    // Titled as the operations window titles the task: verb, item, where to.
    EXPECT_EQ(notice.summary, "\u5C06\u201C"
                              "c.txt\u201D\u590D\u5236\u5230\u201Cto\u201D");
    EXPECT_EQ(notice.summary, TaskTitle::of(newest()));
    EXPECT_EQ(notice.body, OperationText::summary(newest()));
    EXPECT_EQ(notice.hints.value("desktop-entry").toString(), "org.dromel.Dromel");
    EXPECT_EQ(notice.timeout, -1);
    EXPECT_TRUE(exists(tree.path("to/c.txt")));
    useEnglish();
    EXPECT_NE(notice.body, OperationText::summary(newest()));
}

TEST_F(TaskNotices, NoServerLosesNothing) {
    QDBusConnection("notification-server").unregisterService("org.freedesktop.Notifications");
    activate(other);
    notifier->setLongTaskForTesting(std::chrono::milliseconds(0));
    copy("a.txt", 1);
    copy("b.txt", 2);
    EXPECT_TRUE(exists(tree.path("to/b.txt")));
    EXPECT_TRUE(server.notices.empty());
}

} // namespace

#include "TaskNotifierTest.moc"
