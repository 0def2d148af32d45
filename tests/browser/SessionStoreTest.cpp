#include "browser/SessionStore.h"

#include "support/ScopedEnv.h"
#include "support/TempTree.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <sys/stat.h>
#include <system_error>

using dromel::BrowserSession;
using dromel::FileSort;
using dromel::SessionStore;
using dromel::SortColumn;
using dromel::TabSession;
using dromel::test::ScopedEnv;
using dromel::test::TempTree;

namespace {

BrowserSession twoTabs(const std::string &filter = "report") {
    TabSession first({"/home/user", "/home/user/docs"}, 1, filter, FileSort{SortColumn::size, false},
                     {"/home/user/docs/a.txt", "/home/user/docs/b.txt"}, 240.5);
    TabSession second({"/tmp"}, 0, "", FileSort{}, {}, 0);
    return BrowserSession({first, second}, 1);
}

unsigned modeOf(const std::string &path) {
    struct stat info {};
    EXPECT_EQ(::stat(path.c_str(), &info), 0) << path;
    return info.st_mode & 07777;
}

class ScopedUmask {
public:
    explicit ScopedUmask(mode_t mask) : m_previous(::umask(mask)) {}
    ~ScopedUmask() { ::umask(m_previous); }

private:
    mode_t m_previous;
};

} // namespace

TEST(SessionStore, DefaultPathFollowsTheStateHome) {
    TempTree tree;
    {
        ScopedEnv state("XDG_STATE_HOME", tree.path("state"));
        EXPECT_EQ(SessionStore::defaultPath(), tree.path("state/Dromel/session.json"));
    }
    ScopedEnv home("HOME", tree.root());
    for (std::optional<std::string> value :
         {std::optional<std::string>{}, std::optional<std::string>("relative")}) {
        ScopedEnv state("XDG_STATE_HOME", value);
        EXPECT_EQ(SessionStore::defaultPath(), tree.path(".local/state/Dromel/session.json"));
    }
}

TEST(SessionStore, SavesAndLoadsWithOwnerOnlyModes) {
    TempTree tree;
    ScopedEnv state("XDG_STATE_HOME", tree.path("state"));
    ScopedUmask loose(0);
    SessionStore store(SessionStore::defaultPath());
    EXPECT_EQ(store.load(), std::nullopt);

    store.save(twoTabs());
    EXPECT_EQ(store.load(), twoTabs());
    EXPECT_EQ(tree.readFile("state/Dromel/session.json"), twoTabs().encoded());
    EXPECT_EQ(modeOf(tree.path("state")), 0700u);
    EXPECT_EQ(modeOf(tree.path("state/Dromel")), 0700u);
    EXPECT_EQ(modeOf(store.path()), 0600u);

    store.save(twoTabs("other"));
    EXPECT_EQ(store.load(), twoTabs("other"));
}

TEST(SessionStore, CorruptOrInvalidFileYieldsNothingAndIsReplacedByTheNextSave) {
    TempTree tree;
    SessionStore store(tree.path("Dromel/session.json"));
    tree.makeFolder("Dromel", 0700);
    const std::string corrupt[] = {
        "{\"schemaVersion\":2,\"tabs\":[", // torn
        "not json", "{\"schemaVersion\":3,\"tabs\":[],\"activeIndex\":0}",
        "{\"schemaVersion\":2,\"tabs\":[{\"history\":[\"/a\"],\"historyIndex\":0,\"filter\":\"\","
        "\"sort\":{\"column\":\"name\",\"ascending\":true},\"selection\":[],\"scrollOffset\":0}],"
        "\"activeIndex\":1}", // index out of range
    };
    for (const auto &content : corrupt) {
        tree.writeFile("Dromel/session.json", content, 0600);
        EXPECT_EQ(store.load(), std::nullopt) << content;
        EXPECT_EQ(tree.readFile("Dromel/session.json"), content) << "load must not touch the file";
    }
    store.save(twoTabs());
    EXPECT_EQ(store.load(), twoTabs());
}

TEST(SessionStore, AnInvalidSessionIsAFailureAndIsNotWritten) {
    TempTree tree;
    SessionStore store(tree.path("Dromel/session.json"));
    BrowserSession outOfRange = twoTabs();
    outOfRange.activeIndex = 2;
    BrowserSession relative = twoTabs();
    relative.tabs[1].history = {"relative/folder"};
    for (const BrowserSession &invalid : {outOfRange, relative})
        EXPECT_THROW(store.save(invalid), std::invalid_argument)
            << "a skipped save must not look like success";
    struct stat info {};
    EXPECT_NE(::stat(tree.path("Dromel").c_str(), &info), 0) << "nothing is created for an invalid session";
}

TEST(SessionStore, FailuresThrowAndKeepThePreviousFile) {
    TempTree tree;
    // Failures that root cannot bypass: a file where the folder should be, and
    // a folder where the file should be.
    tree.writeFile("Blocked", "a file");
    EXPECT_THROW(SessionStore(tree.path("Blocked/session.json")).save(twoTabs()), std::system_error);

    tree.makeFolder("Dromel/session.json");
    try {
        SessionStore(tree.path("Dromel/session.json")).save(twoTabs());
        FAIL() << "expected a failure";
    } catch (const std::system_error &error) {
        EXPECT_NE(std::string(error.what()).find(tree.path("Dromel/session.json")), std::string::npos)
            << error.what();
    }

    SessionStore store(tree.path("ok/session.json"));
    store.save(twoTabs());
    TempTree::removeAll(tree.path("ok"));
    tree.writeFile("ok", "now a file");
    EXPECT_THROW(store.save(twoTabs("newer")), std::system_error);
    EXPECT_EQ(tree.readFile("ok"), "now a file");
}
