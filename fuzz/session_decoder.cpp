// The session decoder must reject, never crash, and never hand out an invalid session.
#include "core/BrowserSession.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char *>(data), size);
    try {
        const dromel::BrowserSession session = dromel::BrowserSession::decode(text);
        if (!session.valid())
            std::abort();
        // A decoded session must write and read back as itself.
        if (dromel::BrowserSession::decode(session.encoded()) != session)
            std::abort();
    } catch (const dromel::JsonDecodeError &) {
    }
    return 0;
}
