#include "core/Uuid.h"

#include <cstring>
#include <uuid/uuid.h>

namespace dromel {

Uuid Uuid::random() {
    uuid_t raw;
    uuid_generate_random(raw);
    Uuid id;
    std::memcpy(id.m_bytes.data(), raw, 16);
    return id;
}

std::optional<Uuid> Uuid::parse(std::string_view text) {
    if (text.size() != 36)
        return std::nullopt;
    char buffer[37];
    std::memcpy(buffer, text.data(), 36);
    buffer[36] = '\0';
    uuid_t raw;
    if (uuid_parse(buffer, raw) != 0)
        return std::nullopt;
    Uuid id;
    std::memcpy(id.m_bytes.data(), raw, 16);
    return id;
}

std::string Uuid::text() const {
    uuid_t raw;
    std::memcpy(raw, m_bytes.data(), 16);
    char buffer[37];
    uuid_unparse_upper(raw, buffer);
    return std::string(buffer, 36);
}

bool Uuid::isNull() const {
    for (std::uint8_t b : m_bytes)
        if (b != 0)
            return false;
    return true;
}

} // namespace dromel
