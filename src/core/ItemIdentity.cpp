#include "core/ItemIdentity.h"

#include <cinttypes>
#include <cstdio>

namespace dromel {

std::string itemIdentity(std::uint64_t device, std::uint64_t inode, std::string_view name) {
    char numbers[48];
    const int length = std::snprintf(numbers, sizeof numbers, "%" PRIu64 ":%" PRIu64 ":", device, inode);
    std::string id;
    id.reserve(static_cast<std::size_t>(length) + name.size());
    id.append(numbers, static_cast<std::size_t>(length));
    id += name;
    return id;
}

} // namespace dromel
