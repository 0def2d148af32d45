#include "directory/LocalVolumeReader.h"
#include "directory/MountedVolumeMonitor.h"
#include "support/ScopedEnv.h"
#include "support/TempTree.h"
#include "support/WaitUntil.h"

#include <gtest/gtest.h>

#include <sys/mount.h>

#include <cstdlib>
#include <fstream>

using namespace dromel;
using namespace std::chrono_literals;

namespace {

using Volumes = std::vector<MountedVolume>;

// A real ext4 file system with a label, loop-mounted, so that the volume list
// sees what it would see for a USB stick.
class LoopDisk {
public:
    LoopDisk(const test::TempTree &tree, const std::string &mountPoint)
        : m_image(tree.path("disk.img")), m_mountPoint(mountPoint) {
        const std::string command =
            "truncate -s 8M '" + m_image + "' && mkfs.ext4 -q -L 'Holiday Photos' '" + m_image + "'";
        m_made = std::system(command.c_str()) == 0;
    }
    bool mount() {
        const std::string command = "mount -o loop '" + m_image + "' '" + m_mountPoint + "' 2>/dev/null";
        m_mounted = m_made && std::system(command.c_str()) == 0;
        return m_mounted;
    }
    ~LoopDisk() { unmount(); }
    bool mounted() const { return m_mounted; }
    void unmount() {
        if (m_mounted)
            ::umount2(m_mountPoint.c_str(), MNT_DETACH);
        m_mounted = false;
    }

private:
    std::string m_image;
    std::string m_mountPoint;
    bool m_made = false;
    bool m_mounted = false;
};

bool lists(const Volumes &volumes, const std::string &path) {
    for (const MountedVolume &volume : volumes)
        if (volume.url == path)
            return true;
    return false;
}

} // namespace

TEST(MountedVolumeTest, TheTableIsFilteredToWhatAUserExpects) {
    test::TempTree tree;
    test::ScopedEnv home("HOME", "/home/ana");
    const std::string table =
        tree.writeFile("mountinfo", "26 1 254:0 / / rw,relatime - ext4 /dev/vda rw\n"
                                    "21 26 0:20 / /proc rw,relatime - proc proc rw\n"
                                    "30 26 8:17 / /media/ana/USB\\040STICK rw,relatime - vfat /dev/sdb1 rw\n"
                                    "31 26 8:18 / /run/media/ana/Backup rw - ext4 /dev/sdb2 rw\n"
                                    "32 26 8:17 / /mnt/again rw - vfat /dev/sdb1 rw\n"
                                    "39 26 8:19 / /srv/disk rw - ext4 /dev/sdb3 rw\n"
                                    "33 26 8:19 /sub /home/ana/bound rw - ext4 /dev/sdb3 rw\n"
                                    "34 26 8:20 / /home/ana/Disk rw - ext4 /dev/sdb4 rw\n"
                                    "35 26 0:40 / /home/ana/.cache/doc rw - fuse.portal portal rw\n"
                                    "36 26 8:21 / /media/ana/Hidden rw - ext4 /dev/sdb5 rw,x-gvfs-hide\n"
                                    "37 26 8:22 / /srv/data rw - ext4 /dev/sdb6 rw\n"
                                    "38 26 0:41 / /media/ana/sys rw - sysfs sysfs rw\n");
    EXPECT_EQ(LocalVolumeReader::currentVolumes(table), (Volumes{{"/", "/"},
                                                                 {"/media/ana/USB STICK", "USB STICK"},
                                                                 {"/run/media/ana/Backup", "Backup"},
                                                                 {"/home/ana/Disk", "Disk"}}));
    EXPECT_TRUE(LocalVolumeReader::currentVolumes(tree.path("missing")).empty());

    // The common btrfs layout: the system volume and other subvolumes share a
    // device and have roots other than "/"; a bind mount of a folder inside
    // one does not count.
    const std::string btrfs = tree.writeFile(
        "btrfs", "26 1 0:30 /@ / rw,relatime - btrfs /dev/vda2 rw,ssd,subvolid=256,subvol=/@\n"
                 "27 26 0:30 /@home /home rw,relatime - btrfs /dev/vda2 rw,ssd,subvolid=257,subvol=/@home\n"
                 "28 26 0:30 /@data /home/ana/Data rw - btrfs /dev/vda2 rw,subvolid=258,subvol=/@data\n"
                 "29 26 0:30 /@/srv/share /home/ana/share rw - btrfs /dev/vda2 rw,subvolid=256,subvol=/@\n"
                 "30 26 0:31 /root /mnt/other rw - btrfs /dev/vdb rw,subvolid=5,subvol=/root\n");
    EXPECT_EQ(LocalVolumeReader::currentVolumes(btrfs),
              (Volumes{{"/", "/"}, {"/home/ana/Data", "Data"}, {"/mnt/other", "other"}}));
}

TEST(MountedVolumeTest, AMountAndUnmountAppearInTheListWithTheLabel) {
    test::TempTree tree;
    test::ScopedEnv home("HOME", tree.root());
    const std::string point = tree.makeFolder("Stick");
    LoopDisk disk(tree, point);
    std::vector<Volumes> deliveries;
    MountedVolumeMonitor monitor(std::make_shared<LocalVolumeReader>(), std::nullopt,
                                 [&](const Volumes &volumes) { deliveries.push_back(volumes); });
    ASSERT_TRUE(test::waitUntil([&] { return !deliveries.empty(); }));
    EXPECT_FALSE(lists(deliveries.back(), point));
    if (!disk.mount())
        GTEST_SKIP() << "loop mounts are not available here (needs root, /dev/loop* and mkfs.ext4)";

    ASSERT_TRUE(test::waitUntil([&] { return lists(deliveries.back(), point); }));
    for (const MountedVolume &volume : deliveries.back()) {
        if (volume.url == point) {
            EXPECT_EQ(volume.name, "Holiday Photos");
        }
    }

    // The kernel's notice alone must bring the new list.
    disk.unmount();
    EXPECT_TRUE(test::waitUntil([&] { return !lists(deliveries.back(), point); }));
}

// Only the newest refresh may deliver, however the reads finish.
class SlowFirstReader : public VolumeReading {
public:
    void read(Completion completion) override { m_pending.push_back(std::move(completion)); }
    std::vector<Completion> m_pending;
};

TEST(MountedVolumeTest, AnOlderRefreshThatFinishesLaterIsDropped) {
    auto reader = std::make_shared<SlowFirstReader>();
    std::vector<Volumes> deliveries;
    auto monitor = std::make_unique<MountedVolumeMonitor>(
        reader, std::nullopt, [&](const Volumes &volumes) { deliveries.push_back(volumes); });
    monitor->refresh();
    ASSERT_EQ(reader->m_pending.size(), 2u);
    reader->m_pending[1]({{"/new", "new"}});
    reader->m_pending[0]({{"/old", "old"}});
    EXPECT_EQ(deliveries, (std::vector<Volumes>{{{"/new", "new"}}}));

    monitor->refresh();
    monitor.reset();
    reader->m_pending[2]({{"/late", "late"}});
    EXPECT_EQ(deliveries.size(), 1u) << "a dropped monitor delivers nothing";
}
