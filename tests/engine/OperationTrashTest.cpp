#include "engine/OperationTrash.h"
#include "core/Location.h"
#include "core/OperationProblem.h"
#include "support/Checks.h"
#include "support/ScopedEnv.h"
#include "support/TempTree.h"

#include <gtest/gtest.h>

#include <cstring>
#include <dirent.h>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

using namespace dromel;

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

std::string relativeTo(const test::TempTree &tree, const std::string &path) {
    return path.substr(tree.root().size() + 1);
}

} // namespace

TEST(OperationTrashTest, HomeTrashKeepsARestorableRecordAndUniqueNames) {
    test::TempTree tree;
    test::ScopedEnv dataHome("XDG_DATA_HOME", tree.path("data"));
    tree.makeFolder("docs");
    const std::string file = tree.writeFile("docs/a b%.txt", "first");
    const struct stat before = [&] {
        struct stat info {};
        ::lstat(file.c_str(), &info);
        return info;
    }();

    const std::string trashed = OperationTrash::trashItem(file);
    EXPECT_EQ(trashed, tree.path("data/Trash/files/a b%.txt"));
    EXPECT_NE(::access(file.c_str(), F_OK), 0);
    struct stat after {};
    ASSERT_EQ(::lstat(trashed.c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino) << "renamed, not copied";
    const std::string info = "data/Trash/info/a b%.txt.trashinfo";
    EXPECT_EQ(tree.readFile(info).rfind("[Trash Info]\n", 0), 0u);
    EXPECT_EQ(infoLine(tree, info, "Path"), tree.root() + "/docs/a%20b%25.txt");
    EXPECT_EQ(infoLine(tree, info, "DeletionDate").size(), 19u);

    tree.writeFile("docs/a b%.txt", "second");
    EXPECT_EQ(relativeTo(tree, OperationTrash::trashItem(file)), "data/Trash/files/a b%.txt.2");
    EXPECT_EQ(tree.readFile("data/Trash/files/a b%.txt"), "first");

    // A stray item without a record holds a name: it is not replaced.
    tree.writeFile("data/Trash/files/c", "stray");
    tree.writeFile("docs/c", "mine");
    EXPECT_EQ(relativeTo(tree, OperationTrash::trashItem(tree.path("docs/c"))), "data/Trash/files/c.2");
    EXPECT_EQ(tree.readFile("data/Trash/files/c"), "stray");
    EXPECT_NE(::access(tree.path("data/Trash/info/c.trashinfo").c_str(), F_OK), 0);
}

TEST(OperationTrashTest, OddNamesFoldersAndLinksAreTrashedExactly) {
    test::TempTree tree;
    test::ScopedEnv dataHome("XDG_DATA_HOME", tree.path("data"));
    const std::string longName(255, 'x');
    tree.writeFile(longName, "long");
    const std::string trashed = OperationTrash::trashItem(tree.path(longName));
    EXPECT_EQ(tree.readFile(relativeTo(tree, trashed)), "long");
    EXPECT_LE(Location::lastComponent(trashed).size() + 10, 255u) << "room for the record's name";

    tree.writeFile("\xFF\xFE", "bytes");
    const std::string odd = OperationTrash::trashItem(tree.path("\xFF\xFE"));
    EXPECT_EQ(Location::lastComponent(odd), "\xFF\xFE");
    EXPECT_EQ(infoLine(tree, "data/Trash/info/\xFF\xFE.trashinfo", "Path"), tree.root() + "/%FF%FE");

    tree.makeFolder("folder/inside");
    tree.makeSymlink("loop", "loop");
    EXPECT_EQ(::access(OperationTrash::trashItem(tree.path("folder")).append("/inside").c_str(), F_OK), 0);
    const std::string link = OperationTrash::trashItem(tree.path("loop"));
    struct stat info {};
    ASSERT_EQ(::lstat(link.c_str(), &info), 0);
    EXPECT_TRUE(S_ISLNK(info.st_mode)) << "the link itself, never its target";

    try {
        OperationTrash::trashItem(tree.path("missing"));
        ADD_FAILURE() << "a missing item cannot be trashed";
    } catch (const OperationProblem &problem) {
        EXPECT_EQ(problem.code(), OperationProblem::Code::system);
        EXPECT_EQ(problem.detail(), std::strerror(ENOENT));
    }
}

TEST(OperationTrashTest, ItemsOnAnotherVolumeGoToThatVolumesTrash) {
    if (!test::canMountTmpfs())
        GTEST_SKIP() << "cannot mount tmpfs here: the volume trash is not checked";
    test::TempTree tree;
    test::ScopedEnv dataHome("XDG_DATA_HOME", tree.path("data"));
    const std::string volume = tree.makeFolder("volume");
    test::ScopedTmpfs mounted(volume, 4 << 20);
    ASSERT_TRUE(mounted.mounted());
    const std::string uid = std::to_string(::geteuid());

    tree.makeFolder("volume/photos");
    tree.writeFile("volume/photos/cat.jpg", "meow");
    const std::string trashed = OperationTrash::trashItem(tree.path("volume/photos/cat.jpg"));
    EXPECT_EQ(trashed, volume + "/.Trash-" + uid + "/files/cat.jpg");
    EXPECT_EQ(infoLine(tree, "volume/.Trash-" + uid + "/info/cat.jpg.trashinfo", "Path"), "photos/cat.jpg")
        << "relative to the volume's top";
    EXPECT_NE(::access(tree.path("data/Trash").c_str(), F_OK), 0) << "never through the home trash";

    // Reached through a link from another volume: the record is still
    // relative to the real top.
    tree.makeSymlink("shortcut", "volume/photos");
    tree.writeFile("volume/photos/bird.jpg", "tweet");
    EXPECT_EQ(OperationTrash::trashItem(tree.path("shortcut/bird.jpg")),
              volume + "/.Trash-" + uid + "/files/bird.jpg");
    EXPECT_EQ(infoLine(tree, "volume/.Trash-" + uid + "/info/bird.jpg.trashinfo", "Path"), "photos/bird.jpg");

    // A shared .Trash with the sticky bit is preferred; without it, ignored.
    tree.makeFolder("volume/.Trash", 01777);
    tree.writeFile("volume/dog.jpg", "woof");
    EXPECT_EQ(OperationTrash::trashItem(tree.path("volume/dog.jpg")),
              volume + "/.Trash/" + uid + "/files/dog.jpg");
    ASSERT_EQ(::chmod(tree.path("volume/.Trash").c_str(), 0777), 0);
    tree.writeFile("volume/owl.jpg", "hoot");
    EXPECT_EQ(OperationTrash::trashItem(tree.path("volume/owl.jpg")),
              volume + "/.Trash-" + uid + "/files/owl.jpg");
}

TEST(OperationTrashTest, ACraftedVolumeTrashCannotSendTheItemElsewhere) {
    if (!test::canMountTmpfs())
        GTEST_SKIP() << "cannot mount tmpfs here: volume trashes are not checked";
    test::TempTree tree;
    test::ScopedEnv dataHome("XDG_DATA_HOME", tree.path("data"));
    const std::string volume = tree.makeFolder("stick");
    test::ScopedTmpfs mounted(volume, 4 << 20);
    ASSERT_TRUE(mounted.mounted());
    const std::string uid = std::to_string(::geteuid());
    const std::string elsewhere = tree.makeFolder("stick/elsewhere");

    // The shared trash's folders are links: skipped for the per-user trash.
    tree.makeFolder("stick/.Trash", 01777);
    tree.makeFolder("stick/.Trash/" + uid, 0700);
    tree.makeSymlink("stick/.Trash/" + uid + "/files", elsewhere);
    tree.writeFile("stick/first", "1");
    EXPECT_EQ(OperationTrash::trashItem(tree.path("stick/first")),
              volume + "/.Trash-" + uid + "/files/first");

    // The per-user trash's info/ is a link too: nothing is left to use.
    test::TempTree::removeAll(tree.path("stick/.Trash-" + uid));
    tree.makeFolder("stick/.Trash-" + uid, 0700);
    tree.makeFolder("stick/.Trash-" + uid + "/files", 0700);
    tree.makeSymlink("stick/.Trash-" + uid + "/info", elsewhere);
    tree.writeFile("stick/second", "2");
    std::string path;
    EXPECT_EQ(test::problemOf([&] { OperationTrash::trashItem(tree.path("stick/second")); }, &path),
              OperationProblem::Code::system);
    EXPECT_EQ(path, volume + "/.Trash-" + uid + "/info");
    EXPECT_EQ(tree.readFile("stick/second"), "2") << "left where it was";

    // And the per-user trash itself a link.
    test::TempTree::removeAll(tree.path("stick/.Trash-" + uid));
    tree.makeSymlink("stick/.Trash-" + uid, elsewhere);
    EXPECT_EQ(test::problemOf([&] { OperationTrash::trashItem(tree.path("stick/second")); }),
              OperationProblem::Code::system);
    DIR *dir = ::opendir(elsewhere.c_str());
    ASSERT_TRUE(dir);
    int entries = 0;
    while (const dirent *entry = ::readdir(dir))
        entries += std::string_view(entry->d_name) != "." && std::string_view(entry->d_name) != "..";
    ::closedir(dir);
    EXPECT_EQ(entries, 0) << "nothing went through a link";
}

TEST(OperationTrashTest, ALinkedDataHomeIsWhereItLeads) {
    if (!test::canMountTmpfs())
        GTEST_SKIP() << "cannot mount tmpfs here: a data home on another volume is not checked";
    test::TempTree tree;
    const std::string volume = tree.makeFolder("volume");
    test::ScopedTmpfs mounted(volume, 4 << 20);
    ASSERT_TRUE(mounted.mounted());
    tree.makeFolder("volume/share");
    // $XDG_DATA_HOME is a link on another device to a folder on this one.
    test::ScopedEnv dataHome("XDG_DATA_HOME", tree.makeSymlink("share-link", volume + "/share"));
    tree.writeFile("volume/item", "x");
    EXPECT_EQ(OperationTrash::trashItem(tree.path("volume/item")), volume + "/share/Trash/files/item")
        << "the home trash, on the item's device";
}

TEST(OperationTrashTest, LongNamesKeepAVisibleNameAndMountRootsAreRefused) {
    test::TempTree tree;
    test::ScopedEnv dataHome("XDG_DATA_HOME", tree.path("data"));
    const std::string bytes(255, '\x80'); // no UTF-8 character starts anywhere
    tree.writeFile(bytes, "bytes");
    const std::string trashed = OperationTrash::trashItem(tree.path(bytes));
    EXPECT_EQ(Location::lastComponent(trashed), bytes.substr(0, 255 - 10));

    std::string accents;
    while (accents.size() < 254)
        accents += "\xC3\xA9"; // é: a cut inside it would leave half a character
    accents += "a";
    tree.writeFile(accents, "accents");
    const std::string name = Location::lastComponent(OperationTrash::trashItem(tree.path(accents)));
    EXPECT_EQ(name.size() % 2, 0u);
    EXPECT_EQ(name, accents.substr(0, name.size()));
    EXPECT_GE(name.size(), 255u - 10 - 1);

    if (!test::canMountTmpfs())
        GTEST_SKIP() << "cannot mount tmpfs here: trashing a mount root is not checked";
    const std::string volume = tree.makeFolder("volume");
    test::ScopedTmpfs mounted(volume, 1 << 20);
    ASSERT_TRUE(mounted.mounted());
    test::ScopedEnv otherHome("XDG_DATA_HOME", tree.path("volume/data"));
    EXPECT_EQ(test::problemOf([&] { OperationTrash::trashItem(volume); }),
              OperationProblem::Code::unsupported);
    EXPECT_NE(::access(tree.path("volume/data/Trash").c_str(), F_OK), 0) << "nothing made first";
}

TEST(OperationTrashTest, TrashedFoldersHaveTheirSizeRecorded) {
    test::TempTree tree;
    test::ScopedEnv dataHome("XDG_DATA_HOME", tree.path("data"));
    tree.makeFolder("photos 1/raw");
    tree.writeSizedFile("photos 1/raw/a.raw", 100000);
    tree.writeSizedFile("photos 1/b.jpg", 20000);
    OperationTrash::trashItem(tree.path("photos 1"));
    tree.makeFolder("empty");
    OperationTrash::trashItem(tree.path("empty"));
    tree.writeFile("file", "files have no line");
    OperationTrash::trashItem(tree.path("file"));

    const std::string sizes = tree.readFile("data/Trash/directorysizes");
    std::istringstream lines(sizes);
    std::string line;
    std::vector<std::string> names;
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        std::int64_t size = 0, modified = 0;
        std::string name;
        ASSERT_TRUE(fields >> size >> modified >> name) << line;
        names.push_back(name);
        struct stat info {};
        const std::string decoded = name == "photos%201" ? "photos 1" : name;
        ASSERT_EQ(::stat(tree.path("data/Trash/info/" + decoded + ".trashinfo").c_str(), &info), 0) << name;
        EXPECT_EQ(modified, info.st_mtim.tv_sec) << "the record's modification time";
        if (name == "photos%201") {
            EXPECT_GE(size, 120000);
        }
    }
    EXPECT_EQ(names, (std::vector<std::string>{"photos%201", "empty"}));
}
