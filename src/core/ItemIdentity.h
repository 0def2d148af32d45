#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace dromel {

// The stable id of a listed item: "<device>:<inode>:<name>" in decimal. The
// directory reader and the engine's version capture must agree on it.
std::string itemIdentity(std::uint64_t device, std::uint64_t inode, std::string_view name);

} // namespace dromel
