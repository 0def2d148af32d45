#pragma once

#include "core/BrowserSession.h"

#include <cstddef>
#include <optional>
#include <string>

namespace dromel {

// Reads and writes the session file. A plain value: every call goes to the
// disk and blocks, so callers on the main thread run it on a queue. Saving is
// crash-safe (the file holds the old or the new session, never a mix, and a
// temporary left by a crash is neither read nor kept) and durable once save()
// returns.
class SessionStore {
public:
    // Larger files are not sessions this program wrote; they are not read.
    static constexpr std::size_t kMaxFileBytes = 64u << 20;

    explicit SessionStore(std::string path) : m_path(std::move(path)) {}

    // $XDG_STATE_HOME/Dromel/session.json, or ~/.local/state/Dromel/session.json.
    static std::string defaultPath();

    const std::string &path() const { return m_path; }

    // The saved session, or nothing when the file is missing, unreadable, not a
    // session or not a valid one. Never reports, deletes or rewrites the file.
    std::optional<BrowserSession> load() const;

    // Writes `session` with mode 0600, creating its folder (and missing
    // parents) with mode 0700. Throws std::exception (std::system_error for
    // file failures, whose what() names the path; std::invalid_argument for an
    // invalid session, which is never written); the previous file is then
    // still intact.
    void save(const BrowserSession &session) const;

private:
    std::string m_path;
};

} // namespace dromel
