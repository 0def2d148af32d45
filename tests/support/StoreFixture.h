#pragma once

// A real store over a temporary tree, shared by the window tests. Header only:
// the plain support library stays free of Qt and the browser.
#include "browser/BrowserStore.h"
#include "directory/ListingOrderer.h"
#include "directory/LocalDirectoryReader.h"
#include "presentation/Localization.h"
#include "support/ScopedEnv.h"
#include "support/TempTree.h"
#include "support/WaitUntil.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <chrono>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace dromel::test {

inline bool exists(const std::string &path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0;
}

inline QString text(TextKey key) {
    return Localization::current().text(key);
}

inline void useEnglish() {
    Localization::setCurrent(Localization(AppLanguage::english, {}, QLocale(QLocale::English)));
}

struct StoreFixture {
    TempTree tree;
    LocalDirectoryReader reader;
    ListingOrderer orderer;
    std::unique_ptr<BrowserStore> store;

    void makeStore(std::vector<std::string> folders) {
        store = std::make_unique<BrowserStore>(std::move(folders), 0, reader, orderer);
    }
    // Generous: the first listing of a process loads the MIME database, which
    // takes seconds under the sanitizers.
    bool settled() const {
        return waitUntil([&] { return !store->current().loading && !store->current().arranging; },
                         std::chrono::seconds(60));
    }
    bool visit(const std::string &folder) {
        store->navigate(folder, BrowserStore::Navigation::visit);
        return waitUntil([&] { return store->current().url() == folder && !store->current().loading; },
                         std::chrono::seconds(10));
    }
    // Waits until the listing shows exactly `names` (in any order).
    bool shows(const std::set<std::string> &names) const {
        return waitUntil([&] {
            std::set<std::string> listed;
            for (const FileEntry &entry : store->current().visibleEntries())
                listed.insert(entry.name());
            return listed == names;
        });
    }
    void select(const std::set<std::string> &names) {
        std::set<std::string> ids;
        for (const FileEntry &entry : store->current().visibleEntries())
            if (names.count(entry.name()))
                ids.insert(entry.id());
        ASSERT_EQ(ids.size(), names.size());
        store->select(ids);
    }
    std::set<std::string> selectedNames() const {
        std::set<std::string> names;
        for (const FileEntry &entry : store->selected())
            names.insert(entry.name());
        return names;
    }
};

} // namespace dromel::test
