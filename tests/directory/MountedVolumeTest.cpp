#include "directory/LocalVolumeReader.h"
#include "support/ScopedEnv.h"
#include "support/TempTree.h"

#include <gtest/gtest.h>

using namespace dromel;
using Volumes = std::vector<MountedVolume>;

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
