#pragma once

#include "app/operations/ServiceFixture.h"
#include "browser/BrowserStore.h"
#include "commands/FileCommandController.h"
#include "directory/ListingOrderer.h"
#include "directory/LocalDirectoryReader.h"
#include "presentation/Localization.h"

#include <QAbstractButton>
#include <QMessageBox>
#include <QWidget>

#include <memory>
#include <set>
#include <string>
#include <vector>

namespace dromel::test {

// A shown window, a real store on real folders and the file commands with a
// real service, journal and trash (under the fixture's temporary folders).
struct CommandFixture {
    TempTree tree;
    ScopedEnv dataHome{"XDG_DATA_HOME", tree.makeFolder("data")};
    ScopedEnv stateHome{"XDG_STATE_HOME", tree.makeFolder("state")};
    LocalDirectoryReader reader;
    ListingOrderer orderer;
    std::unique_ptr<BrowserStore> store;
    std::unique_ptr<QWidget> window;
    std::unique_ptr<FileCommandController> commands;

    void open(const std::string &folder) {
        Localization::setCurrent(Localization(AppLanguage::english, {}, QLocale(QLocale::English)));
        store = std::make_unique<BrowserStore>(std::vector<std::string>{folder}, 0, reader, orderer);
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

    void visit(const std::string &folder) {
        store->navigate(folder, BrowserStore::Navigation::visit);
        ASSERT_TRUE(waitUntil([&] { return store->current().url() == folder && !store->current().loading; }));
    }
    // Waits until the listing shows exactly `names` (in any order).
    bool shows(std::set<std::string> names) {
        return waitUntil([&] {
            std::set<std::string> listed;
            const auto &entries = store->current().visibleEntries();
            for (std::size_t i = 0; i < entries.size(); ++i)
                listed.insert(entries[i].name());
            return listed == names;
        });
    }
    void select(const std::set<std::string> &names) {
        std::set<std::string> ids;
        const auto &entries = store->current().visibleEntries();
        for (std::size_t i = 0; i < entries.size(); ++i)
            if (names.count(entries[i].name()))
                ids.insert(entries[i].id());
        ASSERT_EQ(ids.size(), names.size());
        store->select(ids);
    }
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
            if (button->text() == Localization::current().text(key)) {
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
