#pragma once

#include "core/TextSearch.h"

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace dromel::detail {

// Looks for a text in one file at a time, in large blocks, keeping the line
// of the first match. A file with a NUL byte in a block read before the match
// is binary and skipped (as `grep -I` does); so is a file over the size limit.
// One per thread: it owns the read buffer.
class ContentScan {
public:
    enum class Outcome { match, noMatch, skipped, cancelled };

    ContentScan(const TextSearch &text, std::int64_t sizeLimit);

    // `name` in the open folder `folderFd`, never through a link. On a match
    // `line` receives the matching line (cut to a few hundred bytes).
    // `sizeAbove`/`sizeBelow` skip files outside those bounds without reading.
    Outcome scan(int folderFd, const char *name, const std::atomic<bool> &cancelled, std::string &line,
                 std::optional<std::int64_t> sizeAbove = {}, std::optional<std::int64_t> sizeBelow = {});

private:
    const TextSearch &m_text;
    const std::int64_t m_sizeLimit;
    std::vector<char> m_buffer;
};

} // namespace dromel::detail
