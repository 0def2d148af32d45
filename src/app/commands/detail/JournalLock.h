#pragma once

#include <string>

namespace dromel {

// An exclusive flock on "<journal>.lock", held for the life of the object,
// so two processes never run tasks on one journal: the second would see the
// first one's running task as interrupted and could retry it.
class JournalLock {
public:
    explicit JournalLock(const std::string &journalPath);
    ~JournalLock();
    JournalLock(const JournalLock &) = delete;
    JournalLock &operator=(const JournalLock &) = delete;

    // False when another process (or another open of the same file) holds it.
    bool held() const { return m_fd >= 0; }

private:
    int m_fd = -1;
};

} // namespace dromel
