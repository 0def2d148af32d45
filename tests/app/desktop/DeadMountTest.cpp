// A network volume whose server stopped answering (the project's own FUSE
// volume, its server stopped): every look at an item under it blocks. The
// real window, on a real store and a private session bus, must keep turning
// while FileManager1 is asked to show such items and while a drag of them
// hovers and drops; once the server answers again, everything asked is done.
#include "commands/FileClipboard.h"
#include "commands/FileCommandController.h"
#include "commands/FileCommandsBinding.h"
#include "commands/FileDragDrop.h"
#include "core/Location.h"
#include "desktop/FileManagerService.h"
#include "support/StoreFixture.h"
#include "table/FileTable.h"
#include "window/BrowserController.h"

#include "../../engine/FuseServer.h"
#include "../shell/PrivateBus.h"

#include <QApplication>
#include <QDBusMessage>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMainWindow>
#include <QTimer>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

using namespace dromel;
using namespace dromel::test;
using namespace std::chrono_literals;

namespace {

QString uri(const std::string &path) {
    return QString::fromLatin1(Location::fileURL(path, false));
}

// Resumes the server when the test ends, or after `bound` if the test is
// stuck, so that a blocked window fails the test instead of hanging it.
class Watchdog {
public:
    Watchdog(FuseServer &server, std::chrono::seconds bound)
        : m_thread([this, &server, bound] {
              std::unique_lock lock(m_mutex);
              if (!m_ended.wait_for(lock, bound, [this] { return m_done; }))
                  m_fired = true;
              server.resumeServer();
          }) {}
    ~Watchdog() {
        {
            std::lock_guard lock(m_mutex);
            m_done = true;
        }
        m_ended.notify_all();
        m_thread.join();
    }
    bool fired() const { return m_fired; }

private:
    std::mutex m_mutex;
    std::condition_variable m_ended;
    bool m_done = false;
    std::atomic<bool> m_fired = false;
    std::thread m_thread; // last: starts once the rest is made
};

// A FileManager1 call by another program, from a thread of its own; the main
// thread's loop keeps serving meanwhile.
class Caller {
public:
    Caller(const QString &address, const char *method, const QStringList &uris)
        : m_thread([this, address, method, uris] {
              const QString name = QStringLiteral("caller-%1").arg(QLatin1String(method));
              {
                  QDBusConnection client = QDBusConnection::connectToBus(address, name);
                  QDBusMessage call = QDBusMessage::createMethodCall(FileManagerService::kServiceName,
                                                                     FileManagerService::kObjectPath,
                                                                     "org.freedesktop.FileManager1", method);
                  call << uris << QString();
                  m_reply = client.call(call, QDBus::Block, 120000);
              }
              QDBusConnection::disconnectFromBus(name);
              m_done = true;
          }) {}
    ~Caller() { m_thread.join(); }
    bool done() const { return m_done; }
    const QDBusMessage &reply() const { return m_reply; }

private:
    QDBusMessage m_reply;
    std::atomic<bool> m_done = false;
    std::thread m_thread;
};

class DeadMount : public ::testing::Test, protected StoreFixture {
protected:
    DeadMount()
        : home("HOME", tree.makeFolder("home")), config("XDG_CONFIG_HOME", tree.makeFolder("config")),
          data("XDG_DATA_HOME", tree.makeFolder("data")),
          fuse(DROMEL_PLAIN_VOLUME, tree.makeFolder("mnt"), {tree.makeFolder("backing"), tree.path("mnt")}) {
        tree.makeFolder("home/dest");
        // Never looked at through the mount before the server stops, so no
        // answer comes from the kernel's cache.
        for (const char *folder : {"backing/shown", "backing/items", "backing/listed", "backing/dragged"})
            tree.makeFolder(folder);
        tree.writeFile("backing/items/a.txt", "a");
        tree.writeFile("backing/listed/b.txt", "b");
        tree.writeFile("backing/dragged/d.txt", "dragged");
    }
    ~DeadMount() override {
        service.reset();
        window.reset();
        store.reset();
    }
    void SetUp() override {
        if (!fuse.mounted())
            GTEST_SKIP() << fuse.why();
        if (!bus.running())
            GTEST_SKIP() << "dbus-daemon could not be started: no private session bus";
        useEnglish();
        makeStore({tree.path("home/dest")});
        window = std::make_unique<QMainWindow>();
        controller = new BrowserController(*store, tree.path("home"), window.get());
        window->setCentralWidget(controller);
        controller->installToolbar(window.get());
        commands = FileCommandsBinding::attach(*controller, *store, tree.path("state/operations.sqlite"));
        window->resize(1000, 700);
        window->show();
        service = std::make_unique<FileManagerService>(bus.connect("dromel"), *store, *controller);
        ASSERT_TRUE(service->registered());
        store->startMonitoring();
        store->refresh();
        ASSERT_TRUE(settled());
        ASSERT_TRUE(waitUntil([&] { return commands->ready(); }));
        QObject::connect(&ticker, &QTimer::timeout, [this] { ++ticks; });
        ticker.start(10);
    }

    // The main loop turns: the timer ticks ten more times within the bound.
    bool turns() {
        const int from = ticks;
        return waitUntil([&] { return ticks >= from + 10; }, 5s);
    }
    std::string mnt(const char *relative) const { return tree.path(std::string("mnt/") + relative); }
    bool tabOn(const std::string &folder) const {
        return std::any_of(store->tabs().begin(), store->tabs().end(),
                           [&](const BrowserTab &tab) { return tab.url() == folder; });
    }

    ScopedEnv home;
    ScopedEnv config;
    ScopedEnv data;
    FuseServer fuse; // after the tree is made; destroyed before it is removed
    PrivateBus bus;
    std::unique_ptr<QMainWindow> window;
    BrowserController *controller = nullptr;
    FileCommandController *commands = nullptr;
    std::unique_ptr<FileManagerService> service;
    QTimer ticker;
    int ticks = 0;
};

TEST_F(DeadMount, TheWindowKeepsTurningWhileFileManagerCallsAndADragWaitForIt) {
    fuse.stopServer();
    Watchdog watchdog(fuse, 90s);

    // ShowFolders must know folder from file: its reply waits for the stats,
    // which wait for the volume, and the window goes on meanwhile.
    Caller folders(bus.address(), "ShowFolders", {uri(mnt("shown")), uri(mnt("items/a.txt"))});
    EXPECT_TRUE(turns());
    EXPECT_TRUE(turns());
    EXPECT_FALSE(folders.done()) << "answered without the volume: the test would prove nothing";
    // ShowItems needs no stat: answered at once, its tab reading in the
    // background.
    Caller items(bus.address(), "ShowItems", {uri(mnt("listed/b.txt"))});
    EXPECT_TRUE(waitUntil([&] { return items.done(); }, 20s));
    EXPECT_EQ(items.reply().type(), QDBusMessage::ReplyMessage) << items.reply().errorMessage().toStdString();
    EXPECT_TRUE(tabOn(mnt("listed")));
    EXPECT_TRUE(turns());

    // A drag of an item on the volume over the list of a local folder: the
    // move-or-copy lookup waits for the volume, the events do not.
    store->switchTab(store->tabs().front().id);
    QWidget *viewport = controller->table()->viewport();
    const auto *dragDrop = window->findChild<FileDragDrop *>();
    ASSERT_TRUE(dragDrop);
    const auto mime = FileClipboard::encodeFiles({mnt("dragged/d.txt")}, false);
    const QPoint at(20, 20);
    const auto started = std::chrono::steady_clock::now();
    QDragEnterEvent enter(at, Qt::CopyAction | Qt::MoveAction, mime.get(), Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(viewport, &enter);
    QDragMoveEvent move(at, Qt::CopyAction | Qt::MoveAction, mime.get(), Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(viewport, &move);
    EXPECT_TRUE(move.isAccepted());
    EXPECT_EQ(move.dropAction(), Qt::CopyAction) << "a copy until the answer is known";
    EXPECT_TRUE(turns());
    EXPECT_FALSE(dragDrop->hoverSettled()) << "the lookup is still waiting for the volume";
    QDropEvent dropped(QPointF(at), Qt::CopyAction | Qt::MoveAction, mime.get(), Qt::LeftButton,
                       Qt::NoModifier);
    QApplication::sendEvent(viewport, &dropped);
    EXPECT_TRUE(dropped.isAccepted());
    EXPECT_LT(std::chrono::steady_clock::now() - started, 10s) << "the events waited for the volume";
    EXPECT_TRUE(turns());
    EXPECT_FALSE(folders.done());

    // The volume answers again: what was asked is done.
    fuse.resumeServer();
    ASSERT_TRUE(waitUntil([&] { return folders.done(); }, 60s));
    EXPECT_EQ(folders.reply().type(), QDBusMessage::ReplyMessage)
        << folders.reply().errorMessage().toStdString();
    EXPECT_TRUE(tabOn(mnt("shown")));
    EXPECT_TRUE(tabOn(mnt("items")));
    ASSERT_TRUE(
        waitUntil([&] { return !commands->service().tasks().empty() && !commands->service().busy(); }, 60s));
    EXPECT_EQ(commands->service().tasks().front().phase, OperationPhase::completed);
    EXPECT_EQ(tree.readFile("home/dest/d.txt"), "dragged");
    EXPECT_FALSE(watchdog.fired()) << "the test was stuck until the watchdog resumed the server";
}

} // namespace
