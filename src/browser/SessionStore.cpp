#include "browser/SessionStore.h"

#include "browser/detail/SessionFile.h"
#include "core/StatePaths.h"

#include <stdexcept>

namespace dromel {

std::string SessionStore::defaultPath() {
    return StatePaths::stateFolder() + "/session.json";
}

std::optional<BrowserSession> SessionStore::load() const {
    auto bytes = SessionFile::readWhole(m_path, kMaxFileBytes);
    if (!bytes)
        return std::nullopt;
    try {
        // The decoder rejects invalid sessions; valid() guards the contract.
        BrowserSession session = BrowserSession::decode(*bytes);
        if (!session.valid())
            return std::nullopt;
        return session;
    } catch (const std::exception &) {
        // A corrupt file is the same as none: start without a session.
        return std::nullopt;
    }
}

void SessionStore::save(const BrowserSession &session) const {
    // Skipping it quietly would stop every later save without a word.
    if (!session.valid())
        throw std::invalid_argument("the session is not valid (a tab without an absolute folder?)");
    auto slash = m_path.rfind('/');
    if (slash != std::string::npos && slash > 0)
        SessionFile::createFolder(m_path.substr(0, slash));
    // Encode before touching the file so an encoding failure leaves it alone.
    const std::string bytes = session.encoded();
    SessionFile::replaceAtomically(m_path, bytes);
}

} // namespace dromel
