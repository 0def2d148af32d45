#include "core/ItemIdentity.h"

namespace dromel {

std::string itemIdentity(std::uint64_t device, std::uint64_t inode, std::string_view name) {
    std::string id = std::to_string(device);
    id += ':';
    id += std::to_string(inode);
    id += ':';
    id += name;
    return id;
}

} // namespace dromel
