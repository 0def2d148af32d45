// A task that fails or needs review is told of in the window it came from,
// without opening the operations window first.
#include "app/commands/CommandFixture.h"
#include "engine/ScratchVolume.h"
#include "operations/OperationPanel.h"
#include "operations/OperationText.h"
#include "operations/TaskBanner.h"
#include "operations/TaskTitle.h"

#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QPushButton>
#include <QToolButton>
#include <gtest/gtest.h>

#include <sys/mount.h>

#include <algorithm>
#include <cstdio>

using namespace dromel;
using namespace dromel::test;

namespace {

class FailureBannerTest : public ::testing::Test, protected CommandFixture {
protected:
    void SetUp() override {
        tree.makeFolder("a");
        tree.writeFile("a/one.txt", "1");
        tree.makeFolder("a/folder");
        tree.writeSizedFile("a/big.bin", 1 << 20);
        tree.makeFifo("a/pipe");
        open(tree.path("a"));
        ASSERT_TRUE(shows({"one.txt", "folder", "big.bin", "pipe"}));
    }
    void TearDown() override {
        commands.reset();
        QApplication::clipboard()->clear();
    }
    TaskBanner &banner() const { return *commands->banner(); }

    // Copies `names` of folder a into `folder`; the task that results.
    const FileOperationTask &copyInto(const std::set<std::string> &names, const std::string &folder) {
        const std::size_t before = service().tasks().size();
        EXPECT_TRUE(visit(tree.path("a")));
        select(names);
        commands->copy();
        EXPECT_TRUE(visit(folder));
        commands->paste();
        EXPECT_TRUE(allFinished(before + 1));
        return newest();
    }
    // The banner tells of the newest task, which failed, and the button counts it.
    void expectToldOf(const FileOperationTask &task, std::size_t unseen) {
        EXPECT_TRUE(TaskBanner::needsAttention(task)) << OperationText::phase(task.phase).toStdString();
        ASSERT_TRUE(waitUntil([&] { return banner().isVisible(); }));
        EXPECT_EQ(banner().taskID(), task.id());
        EXPECT_TRUE(banner().label()->text().startsWith(TaskTitle::of(task)));
        EXPECT_TRUE(banner().label()->text().contains(OperationText::phase(task.phase)));
        EXPECT_TRUE(commands->button()->toolTip().endsWith(
            Localization::current().count(TextKey::failedTasks, qint64(unseen))));
        EXPECT_EQ(commands->button()->badge(), OperationsButton::Badge::failed);
        EXPECT_EQ(commands->button()->badgeCount(), int(unseen));
        expectFixedButton();
    }
    // The toolbar does not reflow: whatever it tells, the button keeps one size.
    void expectFixedButton() const {
        const OperationsButton &button = *commands->button();
        EXPECT_EQ(button.minimumSize(), button.maximumSize());
        EXPECT_EQ(button.size(), button.minimumSize()) << button.toolTip().toStdString();
    }
};

} // namespace

TEST_F(FailureBannerTest, EachFailureShowsInTheWindowAndOpensItsTask) {
    // A folder pasted into itself.
    const FileOperationTask &into = copyInto({"folder"}, tree.path("a/folder"));
    expectToldOf(into, 1);
    // A fifo cannot be copied.
    expectToldOf(copyInto({"pipe"}, tree.makeFolder("b")), 2);

    // A read-only volume.
    const std::string readOnly = tree.makeFolder("readonly");
    ScratchVolume roVolume(ScratchVolume::Kind::tmpfs, readOnly, "", 0, "", "size=1m");
    if (!roVolume.mounted())
        GTEST_SKIP() << roVolume.why();
    ASSERT_EQ(::mount(nullptr, readOnly.c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr), 0);
    expectToldOf(copyInto({"one.txt"}, readOnly), 3);
    // A full volume.
    const std::string full = tree.makeFolder("full");
    ScratchVolume small(ScratchVolume::Kind::tmpfs, full, "", 0, "", "size=64k");
    ASSERT_TRUE(small.mounted()) << small.why();
    tree.writeFile("full/keep.txt", "k");
    expectToldOf(copyInto({"big.bin"}, full), 4);

    // Trash on the full volume.
    ASSERT_TRUE(visit(full));
    // Fill what is left, a block at a time, until the volume says it is full.
    if (FILE *fill = std::fopen((full + "/fill").c_str(), "wb")) {
        const std::string block(4096, 'f');
        for (int i = 0; i < 1024 && std::fwrite(block.data(), 1, block.size(), fill) == block.size(); ++i)
            std::fflush(fill);
        std::fclose(fill);
    }
    ASSERT_TRUE(waitUntil([&] {
        return std::any_of(store->current().visibleEntries().begin(), store->current().visibleEntries().end(),
                           [](const FileEntry &entry) { return entry.name() == "fill"; });
    }));
    select({"keep.txt"});
    commands->trash();
    QMessageBox *ask = waitForSheet();
    ASSERT_TRUE(ask);
    press(ask, TextKey::trash);
    ASSERT_TRUE(allFinished(5));
    if (TaskBanner::needsAttention(newest()))
        expectToldOf(newest(), 5);

    // Show Task opens the window on it; the marks go once it is seen.
    banner().openButton()->click();
    EXPECT_FALSE(banner().isVisible());
    EXPECT_TRUE(commands->panel().window()->isVisible());
    EXPECT_EQ(commands->panel().selectedID(), newest().id());
    EXPECT_EQ(commands->button()->toolTip(), text(TextKey::operations));
    EXPECT_EQ(commands->button()->badge(), OperationsButton::Badge::none);
    expectFixedButton();
}
