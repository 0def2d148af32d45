#pragma once

#include "commands/FileCommandController.h"
#include "support/StoreFixture.h"

#include <QAbstractButton>
#include <QMessageBox>
#include <QWidget>

namespace dromel::test {

// A shown window, a real store on real folders and the file commands with a
// real service, journal and trash (under the fixture's temporary folders).
struct CommandFixture : StoreFixture {
    ScopedEnv dataHome{"XDG_DATA_HOME", tree.makeFolder("data")};
    ScopedEnv stateHome{"XDG_STATE_HOME", tree.makeFolder("state")};
    std::unique_ptr<QWidget> window;
    std::unique_ptr<FileCommandController> commands;

    void open(const std::string &folder) {
        useEnglish();
        makeStore({folder});
        window = std::make_unique<QWidget>();
        window->resize(800, 600);
        window->show();
        commands = std::make_unique<FileCommandController>(*store, tree.path("state/operations.sqlite"),
                                                           window.get());
        store->startMonitoring();
        store->refresh();
        ASSERT_TRUE(waitUntil([&] { return commands->ready() && !store->current().loading; }));
    }
    OperationService &service() const { return commands->service(); }

    std::string errorText() const {
        const auto &error = store->current().error;
        if (!error)
            return {};
        if (auto *message = std::get_if<BrowserIssue::Message>(&error->value))
            return message->text;
        return "(other issue)";
    }
    // The open sheet on the window, if any.
    QMessageBox *sheet() const {
        for (QMessageBox *box : window->findChildren<QMessageBox *>())
            if (box->isVisible())
                return box;
        return nullptr;
    }
    QMessageBox *waitForSheet() const {
        QMessageBox *found = nullptr;
        waitUntil([&] { return (found = sheet()) != nullptr; });
        return found;
    }
    static QStringList buttonTexts(QMessageBox *box) {
        QStringList texts;
        for (QAbstractButton *button : box->buttons())
            texts << button->text();
        return texts;
    }
    static void press(QMessageBox *box, TextKey key) {
        for (QAbstractButton *button : box->buttons())
            if (button->text() == text(key)) {
                button->click();
                return;
            }
        ADD_FAILURE() << "no button " << rawValue(key);
    }
    bool allFinished(std::size_t count) const {
        return waitUntil([&] { return service().tasks().size() == count && !service().busy(); },
                         std::chrono::seconds(10));
    }
    const FileOperationTask &newest() const { return service().tasks().front(); }
};

} // namespace dromel::test
