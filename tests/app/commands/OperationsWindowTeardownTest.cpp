// The main window torn down while the operations window is open and active:
// that window is closed as one of the main window's children, and the focus
// change it causes must not reach the half-destroyed browser controller.
#include "commands/FileCommandController.h"
#include "commands/FileCommandsBinding.h"
#include "operations/OperationPanel.h"
#include "support/StoreFixture.h"
#include "window/BrowserController.h"

#include <QApplication>
#include <QComboBox>
#include <QMainWindow>
#include <QPointer>
#include <QTest>

using namespace dromel;
using namespace dromel::test;

namespace {

struct OperationsWindowTeardown : ::testing::Test, StoreFixture {};

TEST_F(OperationsWindowTeardown, MainWindowGoesWhileTheOperationsWindowIsActive) {
    ScopedEnv data("XDG_DATA_HOME", tree.makeFolder("data"));
    tree.makeFolder("files");
    tree.writeFile("files/a.txt", "a");
    makeStore({tree.path("files")});
    auto window = std::make_unique<QMainWindow>();
    auto *controller = new BrowserController(*store, tree.root(), window.get());
    window->setCentralWidget(controller);
    controller->installToolbar(window.get());
    FileCommandController *commands =
        FileCommandsBinding::attach(*controller, *store, tree.path("state/operations.sqlite"));
    window->resize(1000, 700);
    window->show();
    store->refresh();
    ASSERT_TRUE(settled());
    ASSERT_TRUE(waitUntil([&] { return commands->ready(); }));

    commands->showTasks();
    QPointer<QWidget> panel = commands->panel().window();
    ASSERT_TRUE(panel && panel->isVisible());
    panel->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(panel));
    // A widget of the operations window holds the focus, as after a click in it.
    panel->findChild<QComboBox *>()->setFocus(Qt::MouseFocusReason);
    ASSERT_TRUE(waitUntil(
        [&] { return QApplication::focusWidget() && panel->isAncestorOf(QApplication::focusWidget()); }));

    window.reset();
    EXPECT_TRUE(panel.isNull());
    store.reset();
}

} // namespace
