#pragma once

#include <optional>
#include <string>

namespace dromel::test {

// Sets (or unsets, with nullopt) an environment variable for the life of the
// object and restores the old value afterwards. Use it to point XDG_* folders
// and the locale at test values; never let a test reach the real ones.
class ScopedEnv {
public:
    ScopedEnv(std::string name, std::optional<std::string> value);
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv &) = delete;
    ScopedEnv &operator=(const ScopedEnv &) = delete;

private:
    std::string m_name;
    std::optional<std::string> m_previous;
};

// True when the process may mount file systems (root with CAP_SYS_ADMIN in a
// mount namespace that allows tmpfs). Tests that need a second volume skip
// with a message when it is false.
bool canMountTmpfs();

// Mounts a tmpfs of `sizeBytes` on `path` (which must exist); returns false
// and leaves nothing mounted on failure. unmount() is lazy and idempotent.
class ScopedTmpfs {
public:
    ScopedTmpfs(std::string path, long long sizeBytes);
    ~ScopedTmpfs();
    ScopedTmpfs(const ScopedTmpfs &) = delete;
    ScopedTmpfs &operator=(const ScopedTmpfs &) = delete;
    bool mounted() const { return m_mounted; }
    const std::string &path() const { return m_path; }
    void unmount();

private:
    std::string m_path;
    bool m_mounted = false;
};

} // namespace dromel::test
