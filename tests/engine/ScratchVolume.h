#pragma once

// A real file system of one type mounted on an empty folder for one test:
// ext4, xfs, btrfs and exFAT (through FUSE, as a USB stick would be) are
// made in a sparse image on a loop device; tmpfs and ramfs need none. The
// destructor unmounts and detaches whatever the test did, so a failing
// assertion leaves nothing behind.

#include <gtest/gtest.h>

#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

namespace dromel::test {

class ScratchVolume {
public:
    enum class Kind { ext4, xfs, btrfs, tmpfs, ramfs, exfat };

    static const char *name(Kind kind) {
        static const char *const names[] = {"ext4", "xfs", "btrfs", "tmpfs", "ramfs", "exfat"};
        return names[static_cast<int>(kind)];
    }

    // `mountPoint` must exist; the image (if any) is made as `image`, a
    // sparse file of `imageBytes` (0: the smallest the type accepts).
    // `mkfsOptions` and `mountOptions` are added to the defaults.
    ScratchVolume(Kind kind, std::string mountPoint, const std::string &image, long long imageBytes = 0,
                  const std::string &mkfsOptions = "", const std::string &mountOptions = "")
        : m_kind(kind), m_path(std::move(mountPoint)) {
        if (::geteuid() != 0) {
            m_why = "not root";
            return;
        }
        if (kind == Kind::tmpfs || kind == Kind::ramfs) {
            const std::string options = !mountOptions.empty() ? mountOptions
                                        : kind == Kind::tmpfs ? "size=64m"
                                                              : "";
            if (::mount("dromel-scratch", m_path.c_str(), name(kind), 0, options.c_str()) != 0) {
                m_why = std::string("mount ") + name(kind) + ": " + std::strerror(errno);
                return;
            }
            m_mounted = true;
            return;
        }
        const long long smallest = kind == Kind::xfs     ? 300ll << 20
                                   : kind == Kind::btrfs ? 128ll << 20
                                                         : 96ll << 20;
        const std::string quoted = "'" + image + "'";
        if (!run("truncate -s " + std::to_string(imageBytes ? imageBytes : smallest) + " " + quoted))
            return;
        const std::string mkfs = kind == Kind::ext4    ? "mkfs.ext4 -q -F -E nodiscard "
                                 : kind == Kind::xfs   ? "mkfs.xfs -q -f -K "
                                 : kind == Kind::btrfs ? "mkfs.btrfs -q -f "
                                                       : "mkfs.exfat ";
        if (!run(mkfs + mkfsOptions + " " + quoted))
            return;
        m_loop = capture("losetup -f --show " + quoted);
        if (m_loop.empty()) {
            m_why = "no loop device (losetup failed)";
            return;
        }
        if (kind == Kind::exfat) {
            if (!run("mount.exfat-fuse '" + m_loop + "' '" + m_path + "'"))
                return;
        } else if (::mount(m_loop.c_str(), m_path.c_str(), name(kind), 0,
                           mountOptions.empty() ? nullptr : mountOptions.c_str()) != 0) {
            m_why = std::string("mount ") + name(kind) + ": " + std::strerror(errno);
            return;
        }
        m_mounted = true;
    }

    ~ScratchVolume() {
        if (m_mounted && ::umount2(m_path.c_str(), 0) != 0)
            ::umount2(m_path.c_str(), MNT_DETACH);
        if (!m_loop.empty()) {
            // A FUSE daemon may hold the device for a moment after unmounting.
            const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
            while (!run("losetup -d '" + m_loop + "'", false) && std::chrono::steady_clock::now() < deadline)
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }

    ScratchVolume(const ScratchVolume &) = delete;
    ScratchVolume &operator=(const ScratchVolume &) = delete;

    bool mounted() const { return m_mounted; }
    // Why it is not mounted, for the skip message.
    const std::string &why() const { return m_why; }
    const std::string &path() const { return m_path; }
    Kind kind() const { return m_kind; }

private:
    bool run(const std::string &command, bool remember = true) {
        const int status = std::system((command + " >/dev/null 2>&1").c_str());
        if (status != 0 && remember)
            m_why = "'" + command + "' failed";
        return status == 0;
    }

    static std::string capture(const std::string &command) {
        std::string out;
        if (FILE *pipe = ::popen((command + " 2>/dev/null").c_str(), "r")) {
            char buffer[256];
            while (std::fgets(buffer, sizeof buffer, pipe))
                out += buffer;
            ::pclose(pipe);
        }
        while (!out.empty() && (out.back() == '\n' || out.back() == ' '))
            out.pop_back();
        return out;
    }

    Kind m_kind;
    std::string m_path;
    std::string m_loop;
    std::string m_why;
    bool m_mounted = false;
};

} // namespace dromel::test
