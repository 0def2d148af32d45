#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace dromel::test {

// A real folder under $TMPDIR (or /tmp), removed with everything in it when
// the object goes away. Paths are bytes: names need not be UTF-8. Every helper
// fails the current test (ADD_FAILURE) when the system call fails.
class TempTree {
public:
    TempTree();
    ~TempTree();
    TempTree(const TempTree &) = delete;
    TempTree &operator=(const TempTree &) = delete;

    const std::string &root() const { return m_root; }
    // root() + "/" + relative
    std::string path(std::string_view relative) const;

    std::string makeFolder(std::string_view relative, unsigned mode = 0755) const;
    std::string writeFile(std::string_view relative, std::string_view content = {},
                          unsigned mode = 0644) const;
    // A file of `size` bytes of a repeatable pseudo-random pattern.
    std::string writeSizedFile(std::string_view relative, std::int64_t size,
                               std::uint32_t seed = 1) const;
    std::string makeSymlink(std::string_view relative, std::string_view target) const;
    std::string makeFifo(std::string_view relative) const;
    void setModificationTime(std::string_view relative, std::int64_t seconds,
                             std::int64_t nanoseconds = 0) const;
    std::string readFile(std::string_view relative) const;

    // Removes any path recursively without following links; used by the
    // destructor and handy for tests that must remove a subtree.
    static void removeAll(const std::string &path);

private:
    std::string m_root;
};

} // namespace dromel::test
