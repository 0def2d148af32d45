#include "support/ScopedEnv.h"

#include <cstdlib>
#include <string>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

namespace dromel::test {

ScopedEnv::ScopedEnv(std::string name, std::optional<std::string> value) : m_name(std::move(name)) {
    if (const char *old = std::getenv(m_name.c_str()))
        m_previous = old;
    if (value)
        setenv(m_name.c_str(), value->c_str(), 1);
    else
        unsetenv(m_name.c_str());
}

ScopedEnv::~ScopedEnv() {
    if (m_previous)
        setenv(m_name.c_str(), m_previous->c_str(), 1);
    else
        unsetenv(m_name.c_str());
}

bool canMountTmpfs() {
    static const bool allowed = [] {
        if (geteuid() != 0)
            return false;
        char pattern[] = "/tmp/dromel-mount-probe-XXXXXX";
        if (!mkdtemp(pattern))
            return false;
        bool ok = mount("dromel-probe", pattern, "tmpfs", 0, "size=64k") == 0;
        if (ok)
            umount2(pattern, MNT_DETACH);
        rmdir(pattern);
        return ok;
    }();
    return allowed;
}

ScopedTmpfs::ScopedTmpfs(std::string path, long long sizeBytes) : m_path(std::move(path)) {
    std::string options = "size=" + std::to_string(sizeBytes) + ",mode=0755";
    m_mounted = mount("dromel-test", m_path.c_str(), "tmpfs", 0, options.c_str()) == 0;
}

ScopedTmpfs::~ScopedTmpfs() { unmount(); }

void ScopedTmpfs::unmount() {
    if (m_mounted)
        umount2(m_path.c_str(), MNT_DETACH);
    m_mounted = false;
}

} // namespace dromel::test
