#pragma once

#include <string>

namespace dromel::detail {

// Names the calling thread (first 15 bytes, the kernel's limit); a no-op
// when it already carries that name.
void nameCurrentThread(const std::string &label);

} // namespace dromel::detail
