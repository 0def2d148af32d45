#include "engine/OperationTrash.h"
#include "core/Location.h"
#include "core/OperationProblem.h"
#include "engine/OperationTestSupport.h"
#include "support/Checks.h"
#include "support/ScopedEnv.h"
#include "support/TempTree.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <sstream>
#include <vector>

using namespace dromel;
using test::existsAt;
using test::problemOf;
using Code = OperationProblem::Code;

namespace {

// The record the desktop's trash view reads, by line.
std::string infoLine(const test::TempTree &tree, const std::string &info, const std::string &key) {
    const std::string text = tree.readFile(info);
    const auto start = text.find("\n" + key + "=");
    if (start == std::string::npos)
        return {};
    const auto from = start + key.size() + 2;
    return text.substr(from, text.find('\n', from) - from);
}

class OperationTrashTest : public ::testing::Test {
protected:
    std::string trash(const std::string &relative) {
        const std::string trashed = OperationTrash::trashItem(tree.path(relative));
        return trashed.starts_with(tree.root()) ? trashed.substr(tree.root().size() + 1) : trashed;
    }

    test::TempTree tree;
    test::ScopedEnv dataHome{"XDG_DATA_HOME", tree.path("data")};
};

} // namespace

TEST_F(OperationTrashTest, HomeTrashKeepsARestorableRecordAndUniqueExactNames) {
    tree.makeFolder("docs");
    const std::string file = tree.writeFile("docs/a b%.txt", "first");
    const ino_t inode = OperationFS::stamp(file).inode;
    EXPECT_EQ(trash("docs/a b%.txt"), "data/Trash/files/a b%.txt");
    EXPECT_FALSE(existsAt(file));
    EXPECT_EQ(OperationFS::stamp(tree.path("data/Trash/files/a b%.txt")).inode, inode)
        << "renamed, not copied";
    const std::string info = "data/Trash/info/a b%.txt.trashinfo";
    EXPECT_EQ(tree.readFile(info).rfind("[Trash Info]\n", 0), 0u);
    EXPECT_EQ(infoLine(tree, info, "Path"), tree.root() + "/docs/a%20b%25.txt");
    EXPECT_EQ(infoLine(tree, info, "DeletionDate").size(), 19u);

    tree.writeFile("docs/a b%.txt", "second");
    EXPECT_EQ(trash("docs/a b%.txt"), "data/Trash/files/a b%.txt.2");
    EXPECT_EQ(tree.readFile("data/Trash/files/a b%.txt"), "first");
    // A stray item without a record holds a name: it is not replaced.
    tree.writeFile("data/Trash/files/c", "stray");
    tree.writeFile("docs/c", "mine");
    EXPECT_EQ(trash("docs/c"), "data/Trash/files/c.2");
    EXPECT_EQ(tree.readFile("data/Trash/files/c"), "stray");

    tree.writeFile("\xFF\xFE", "bytes");
    EXPECT_EQ(trash("\xFF\xFE"), "data/Trash/files/\xFF\xFE");
    EXPECT_EQ(infoLine(tree, "data/Trash/info/\xFF\xFE.trashinfo", "Path"), tree.root() + "/%FF%FE");
    tree.makeFolder("folder/inside");
    EXPECT_TRUE(existsAt(tree.path(trash("folder") + "/inside")));
    tree.makeSymlink("loop", "loop");
    EXPECT_TRUE(OperationFS::stamp(tree.path(trash("loop"))).isSymbolicLink())
        << "the link, never its target";
    EXPECT_EQ(problemOf([&] { trash("missing"); }), Code::system);

    // Long names keep a visible name with room for the record's suffix, and
    // are never cut inside a character.
    const std::string bytes(255, '\x80');
    tree.writeFile(bytes, "bytes");
    EXPECT_EQ(Location::lastComponent(trash(bytes)), bytes.substr(0, 255 - 10));
    std::string accents;
    while (accents.size() < 254)
        accents += "\xC3\xA9";
    accents += "a";
    tree.writeFile(accents, "accents");
    const std::string name = Location::lastComponent(trash(accents));
    EXPECT_EQ(name.size() % 2, 0u);
    EXPECT_EQ(name, accents.substr(0, name.size()));
    EXPECT_GE(name.size(), 255u - 10 - 1);
}

TEST_F(OperationTrashTest, TrashedFoldersHaveTheirSizeRecorded) {
    tree.makeFolder("photos 1/raw");
    tree.writeSizedFile("photos 1/raw/a.raw", 100000);
    tree.writeSizedFile("photos 1/b.jpg", 20000);
    trash("photos 1");
    tree.makeFolder("empty");
    trash("empty");
    tree.writeFile("file", "files have no line");
    trash("file");

    std::istringstream lines(tree.readFile("data/Trash/directorysizes"));
    std::vector<std::string> names;
    for (std::string line; std::getline(lines, line);) {
        std::istringstream fields(line);
        std::int64_t size = 0, modified = 0;
        std::string name;
        ASSERT_TRUE(fields >> size >> modified >> name) << line;
        names.push_back(name);
        const std::string decoded = name == "photos%201" ? "photos 1" : name;
        EXPECT_EQ(modified,
                  OperationFS::stamp(tree.path("data/Trash/info/" + decoded + ".trashinfo")).modified);
        EXPECT_GE(size, name == "photos%201" ? 120000 : 0);
    }
    EXPECT_EQ(names, (std::vector<std::string>{"photos%201", "empty"}));
}

TEST_F(OperationTrashTest, ItemsOnAnotherVolumeGoToThatVolumesTrashNeverThroughALink) {
    if (!test::canMountTmpfs())
        GTEST_SKIP() << "cannot mount tmpfs here: volume trashes are not checked";
    const std::string volume = tree.makeFolder("volume");
    test::ScopedTmpfs mounted(volume, 4 << 20);
    ASSERT_TRUE(mounted.mounted());
    const std::string user = "volume/.Trash-" + std::to_string(::geteuid());
    tree.makeFolder("volume/photos");
    tree.writeFile("volume/photos/cat.jpg", "meow");
    EXPECT_EQ(trash("volume/photos/cat.jpg"), user + "/files/cat.jpg");
    EXPECT_EQ(infoLine(tree, user + "/info/cat.jpg.trashinfo", "Path"), "photos/cat.jpg")
        << "relative to the volume's top";
    EXPECT_FALSE(existsAt(tree.path("data/Trash"))) << "never through the home trash";
    // Reached through a link from another volume: still relative to the real top.
    tree.makeSymlink("shortcut", "volume/photos");
    tree.writeFile("volume/photos/bird.jpg", "tweet");
    EXPECT_EQ(trash("shortcut/bird.jpg"), user + "/files/bird.jpg");
    EXPECT_EQ(infoLine(tree, user + "/info/bird.jpg.trashinfo", "Path"), "photos/bird.jpg");

    // A shared .Trash with the sticky bit is preferred; without it, ignored.
    const std::string shared = "volume/.Trash/" + std::to_string(::geteuid());
    tree.makeFolder("volume/.Trash", 01777);
    tree.writeFile("volume/dog.jpg", "woof");
    EXPECT_EQ(trash("volume/dog.jpg"), shared + "/files/dog.jpg");
    ASSERT_EQ(::chmod(tree.path("volume/.Trash").c_str(), 0777), 0);
    tree.writeFile("volume/owl.jpg", "hoot");
    EXPECT_EQ(trash("volume/owl.jpg"), user + "/files/owl.jpg");

    // A crafted trash whose folders are links cannot send the item elsewhere.
    const std::string elsewhere = tree.makeFolder("volume/elsewhere");
    ASSERT_EQ(::chmod(tree.path("volume/.Trash").c_str(), 01777), 0);
    test::TempTree::removeAll(tree.path(shared));
    tree.makeFolder(shared, 0700);
    tree.makeSymlink(shared + "/files", elsewhere);
    tree.writeFile("volume/first", "1");
    EXPECT_EQ(trash("volume/first"), user + "/files/first") << "the shared trash is skipped";
    test::TempTree::removeAll(tree.path(user + "/info"));
    tree.makeSymlink(user + "/info", elsewhere);
    tree.writeFile("volume/second", "2");
    std::string path;
    EXPECT_EQ(problemOf([&] { trash("volume/second"); }, &path), Code::system);
    EXPECT_EQ(path, tree.path(user + "/info"));
    test::TempTree::removeAll(tree.path(user));
    tree.makeSymlink(user, elsewhere);
    EXPECT_EQ(problemOf([&] { trash("volume/second"); }), Code::system);
    EXPECT_EQ(tree.readFile("volume/second"), "2") << "left where it was";
    EXPECT_TRUE(test::namesIn(elsewhere).empty()) << "nothing went through a link";

    // A mount root is refused before anything is made.
    test::ScopedEnv otherHome("XDG_DATA_HOME", tree.path("volume/data"));
    EXPECT_EQ(problemOf([&] { OperationTrash::trashItem(volume); }), Code::unsupported);
    EXPECT_FALSE(existsAt(tree.path("volume/data/Trash")));
    // $XDG_DATA_HOME a link on another device to a folder on this one: the
    // home trash is on the item's device.
    tree.makeFolder("volume/share");
    test::ScopedEnv linkedHome("XDG_DATA_HOME", tree.makeSymlink("share-link", volume + "/share"));
    tree.writeFile("volume/item", "x");
    EXPECT_EQ(trash("volume/item"), "volume/share/Trash/files/item");
}
