// The file-manager service on a private session bus, called by another
// connection as a browser's "Show in folder" would, against the real window
// on a real store over real folders.
#include "desktop/FileManagerService.h"

#include "core/Location.h"
#include "support/StoreFixture.h"
#include "table/FileTable.h"
#include "table/FileTableModel.h"
#include "window/BrowserController.h"
#include "window/TabStrip.h"

#include "../shell/PrivateBus.h"

#include <QDBusConnectionInterface>
#include <QDBusInterface>
#include <QDBusReply>
#include <QMainWindow>
#include <QTest>

using namespace dromel;
using namespace dromel::test;

namespace {

QString uri(const std::string &path) {
    return QString::fromLatin1(Location::fileURL(path, false));
}

class FileManagerBus : public ::testing::Test, protected StoreFixture {
protected:
    FileManagerBus() {
        if (!bus.running())
            return;
        tree.makeFolder("start");
        tree.makeFolder("one");
        tree.makeFolder(std::string("caf\xe9"));
        tree.writeFile("one/a.txt", "a");
        tree.writeFile("one/b.txt", "b");
        tree.writeFile("one/c.txt", "c");
        tree.writeFile(std::string("caf\xe9/r\xe9sum\xe9.txt"), "r");
        makeStore({tree.path("start")});
        window = std::make_unique<QMainWindow>();
        controller = new BrowserController(*store, tree.root(), window.get());
        window->setCentralWidget(controller);
        controller->installToolbar(window.get());
        window->resize(1000, 700);
        store->refresh();
        EXPECT_TRUE(settled());
    }
    ~FileManagerBus() override {
        service.reset();
        window.reset();
        store.reset();
    }
    void SetUp() override {
        if (!bus.running())
            GTEST_SKIP() << "dbus-daemon could not be started: no private session bus";
    }

    void offer(const QString &connection = "dromel") {
        service = std::make_unique<FileManagerService>(bus.connect(connection), *store, *controller);
    }

    QDBusMessage call(const char *method, const QStringList &uris) {
        return bus.callElsewhere(FileManagerService::kServiceName, FileManagerService::kObjectPath,
                                 "org.freedesktop.FileManager1", method, {uris, QString("startup-token")});
    }

    std::vector<std::string> tabFolders() const {
        std::vector<std::string> folders;
        for (const BrowserTab &tab : store->tabs())
            folders.push_back(tab.url());
        return folders;
    }
    std::set<std::string> selectedPaths() const {
        std::set<std::string> paths;
        for (const FileEntry &entry : controller->table()->selectedEntries())
            paths.insert(entry.url());
        return paths;
    }

    PrivateBus bus;
    std::unique_ptr<QMainWindow> window;
    BrowserController *controller = nullptr;
    std::unique_ptr<FileManagerService> service;
};

TEST(FileManagerUris, KeepTheExactBytesAndRefuseWhatIsNotLocal) {
    EXPECT_EQ(FileManagerService::pathFromUri("file:///tmp/caf%E9/a%20b"), std::string("/tmp/caf\xe9/a b"));
    EXPECT_EQ(FileManagerService::pathFromUri("file://localhost/tmp/x/"), "/tmp/x");
    EXPECT_EQ(FileManagerService::pathFromUri(QString::fromUtf8("file:///tmp/caf\xc3\xa9")),
              std::string("/tmp/caf\xc3\xa9"));
    EXPECT_EQ(FileManagerService::pathFromUri("/tmp/./y/../z"), "/tmp/z");
    EXPECT_EQ(FileManagerService::pathFromUri("file:/tmp/x"), "/tmp/x");
    for (const char *refused :
         {"http://example.org/a", "file://server/share/a", "relative/path", "a.txt", "file:///tmp/bad%zz",
          "file:///tmp/nul%00", "", "trash:///a", "file:///tmp/a%2F..%2F..%2Fetc", "file:///tmp/a%2fb"})
        EXPECT_EQ(FileManagerService::pathFromUri(refused), std::nullopt) << refused;
}

TEST_F(FileManagerBus, ShowFoldersOpensEachFolderInATab) {
    offer();
    ASSERT_TRUE(service->registered());
    const std::string cafe = tree.path(std::string("caf\xe9"));
    const QDBusMessage reply = call("ShowFolders", {uri(tree.path("one")), uri(cafe)});
    EXPECT_EQ(reply.type(), QDBusMessage::ReplyMessage) << reply.errorMessage().toStdString();
    EXPECT_EQ(tabFolders(), (std::vector<std::string>{tree.path("start"), tree.path("one"), cafe}));
    EXPECT_EQ(store->current().url(), cafe);
    EXPECT_TRUE(window->isVisible());
    ASSERT_TRUE(settled());
    EXPECT_EQ(controller->tabStrip()->count(), 3);
    EXPECT_EQ(controller->tabStrip()->currentIndex(), 2);
    EXPECT_EQ(controller->table()->fileModel().rowCount(), 1);

    // A file given as a folder is shown in its folder, selected.
    call("ShowFolders", {uri(tree.path("one/b.txt"))});
    EXPECT_TRUE(waitUntil([&] { return selectedPaths() == std::set{tree.path("one/b.txt")}; }));
    EXPECT_EQ(store->tabs().size(), 4u);
}

TEST_F(FileManagerBus, ShowItemsSelectsTheItemsInTheirFolders) {
    offer();
    const std::string resume = tree.path(std::string("caf\xe9/r\xe9sum\xe9.txt"));
    const QDBusMessage reply =
        call("ShowItems", {uri(tree.path("one/a.txt")), uri(resume), uri(tree.path("one/c.txt"))});
    EXPECT_EQ(reply.type(), QDBusMessage::ReplyMessage) << reply.errorMessage().toStdString();
    // One tab per holding folder, in the order given; the last one is shown.
    EXPECT_EQ(tabFolders(), (std::vector<std::string>{tree.path("start"), tree.path("one"),
                                                      tree.path(std::string("caf\xe9"))}));
    EXPECT_TRUE(waitUntil([&] { return selectedPaths() == std::set{resume}; }));
    // The list told the store, as a click does.
    ASSERT_EQ(store->selected().size(), 1u);
    EXPECT_EQ(store->selected().front().url(), resume);
    // The first folder's items are selected when its tab is shown.
    store->switchTab(store->tabs()[1].id);
    EXPECT_TRUE(waitUntil([&] {
        return selectedPaths() == std::set{tree.path("one/a.txt"), tree.path("one/c.txt")};
    }));

    // Properties have no window here: the item is shown like ShowItems does.
    call("ShowItemProperties", {uri(tree.path("one/b.txt"))});
    EXPECT_EQ(store->tabs().size(), 4u);
    EXPECT_TRUE(waitUntil([&] { return selectedPaths() == std::set{tree.path("one/b.txt")}; }));
    // A folder given as an item is selected in its parent.
    call("ShowItems", {uri(tree.path("one"))});
    EXPECT_EQ(store->current().url(), tree.root());
    EXPECT_TRUE(waitUntil([&] { return selectedPaths() == std::set{tree.path("one")}; }));
}

TEST_F(FileManagerBus, RefusesWhatIsNotALocalAbsolutePath) {
    offer();
    QDBusMessage reply = call("ShowFolders", {"https://example.org/", "relative/folder", "sftp://host/tmp"});
    EXPECT_EQ(reply.type(), QDBusMessage::ErrorMessage);
    EXPECT_EQ(reply.errorName(), "org.freedesktop.DBus.Error.InvalidArgs");
    reply = call("ShowItems", {"some/file.txt"});
    EXPECT_EQ(reply.type(), QDBusMessage::ErrorMessage);
    EXPECT_EQ(store->tabs().size(), 1u);
    EXPECT_FALSE(window->isVisible()) << "nothing to show, so the window stays where it was";
    // The local ones among others are shown.
    reply = call("ShowFolders", {"ftp://example.org/pub", uri(tree.path("one"))});
    EXPECT_EQ(reply.type(), QDBusMessage::ReplyMessage);
    EXPECT_EQ(tabFolders(), (std::vector<std::string>{tree.path("start"), tree.path("one")}));
    EXPECT_TRUE(window->isVisible());
}

// One call is bounded: past the cap nothing is shown and the caller is told.
TEST_F(FileManagerBus, ACallOfTooManyItemsIsRefused) {
    offer();
    QStringList many;
    for (qsizetype i = 0; i <= FileManagerService::kMaxItems; ++i)
        many << uri(tree.path("one/item-" + std::to_string(i)));
    const QDBusMessage reply = call("ShowItems", many);
    EXPECT_EQ(reply.type(), QDBusMessage::ErrorMessage);
    EXPECT_EQ(reply.errorName(), "org.freedesktop.DBus.Error.InvalidArgs");
    EXPECT_EQ(store->tabs().size(), 1u);
    many.removeLast();
    EXPECT_EQ(call("ShowItems", many).type(), QDBusMessage::ReplyMessage);
    EXPECT_EQ(tabFolders(), (std::vector<std::string>{tree.path("start"), tree.path("one")}));
}

TEST_F(FileManagerBus, LeavesTheNameToAFileManagerThatOwnsIt) {
    QDBusConnection other = bus.connect("other-file-manager");
    ASSERT_EQ(other.interface()->registerService(FileManagerService::kServiceName).value(),
              QDBusConnectionInterface::ServiceRegistered);
    offer();
    EXPECT_FALSE(service->registered());
    QDBusConnection dromel = QDBusConnection::connectToBus(bus.address(), "dromel");
    EXPECT_EQ(dromel.interface()->serviceOwner(FileManagerService::kServiceName).value(),
              other.baseService());
    // Calls go to the owner, not here.
    const QDBusMessage reply = call("ShowFolders", {uri(tree.path("one"))});
    EXPECT_EQ(reply.type(), QDBusMessage::ErrorMessage);
    EXPECT_EQ(store->tabs().size(), 1u);

    // Once it has quit, a newly started service offers it.
    other.interface()->unregisterService(FileManagerService::kServiceName);
    service.reset();
    offer("dromel-again");
    EXPECT_TRUE(service->registered());
    call("ShowFolders", {uri(tree.path("one"))});
    EXPECT_EQ(store->tabs().size(), 2u);
}

TEST_F(FileManagerBus, GivesTheNameBackWhenItGoes) {
    offer();
    ASSERT_TRUE(service->registered());
    QDBusConnection watcher = bus.connect("watcher");
    EXPECT_TRUE(watcher.interface()->isServiceRegistered(FileManagerService::kServiceName).value());
    // Gone while a selection still waits for its listing: the store's later
    // notices reach the window only.
    call("ShowItems", {uri(tree.path("one/a.txt"))});
    const bool waiting = store->current().loading; // the listing may have come in during the call
    service.reset();
    EXPECT_TRUE(settled());
    EXPECT_EQ(store->current().url(), tree.path("one"));
    if (waiting) {
        EXPECT_TRUE(controller->table()->selectedEntries().empty());
    }
    EXPECT_TRUE(waitUntil(
        [&] { return !watcher.interface()->isServiceRegistered(FileManagerService::kServiceName).value(); }));
}

} // namespace
