#pragma once

// A FUSE file system served by one of the project's test tools in its own
// process, mounted on an empty folder for one test; the destructor unmounts
// it and ends the server.
#include "support/WaitUntil.h"

#include <signal.h>
#include <spawn.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <vector>

extern char **environ;

namespace dromel::test {

class FuseServer {
public:
    // Runs `program` with `arguments` (the mount point among them).
    FuseServer(const std::string &program, std::string mountPoint, std::vector<std::string> arguments)
        : m_path(std::move(mountPoint)) {
        using namespace std::chrono_literals;
        if (::access("/dev/fuse", R_OK | W_OK) != 0) {
            m_why = "no /dev/fuse";
            return;
        }
        const dev_t before = deviceOf(m_path);
        std::vector<char *> argv{const_cast<char *>(program.c_str())};
        for (std::string &argument : arguments)
            argv.push_back(argument.data());
        argv.push_back(nullptr);
        if (::posix_spawn(&m_server, program.c_str(), nullptr, nullptr, argv.data(), environ) != 0) {
            m_why = "cannot start the file system's server";
            return;
        }
        if (!waitUntil([&] { return deviceOf(m_path) != before || !serverRunning(); }, 10s) ||
            deviceOf(m_path) == before) {
            m_why = "mounting a FUSE file system is not allowed here";
            return;
        }
        m_mounted = true;
    }
    ~FuseServer() {
        if (m_mounted)
            ::umount2(m_path.c_str(), MNT_DETACH);
        if (m_server > 0) {
            ::kill(m_server, SIGCONT); // a stopped server would never end
            ::kill(m_server, SIGTERM);
            ::waitpid(m_server, nullptr, 0);
        }
    }
    FuseServer(const FuseServer &) = delete;
    FuseServer &operator=(const FuseServer &) = delete;

    // The server dies and leaves its mount behind, as a crashed sshfs does.
    void killServer() {
        ::kill(m_server, SIGKILL);
        ::waitpid(m_server, nullptr, 0);
        m_server = 0;
    }

    // The server stops answering, as a network volume whose server went
    // away: every call that needs it blocks until it is resumed.
    void stopServer() { ::kill(m_server, SIGSTOP); }
    void resumeServer() { ::kill(m_server, SIGCONT); }

    bool mounted() const { return m_mounted; }
    const std::string &why() const { return m_why; }
    const std::string &path() const { return m_path; }

private:
    static dev_t deviceOf(const std::string &path) {
        struct stat info {};
        return ::stat(path.c_str(), &info) == 0 ? info.st_dev : 0;
    }
    bool serverRunning() {
        if (m_server <= 0)
            return false;
        if (::waitpid(m_server, nullptr, WNOHANG) == m_server) {
            m_server = 0;
            return false;
        }
        return true;
    }

    std::string m_path;
    pid_t m_server = 0;
    bool m_mounted = false;
    std::string m_why;
};

} // namespace dromel::test
