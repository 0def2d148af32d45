#pragma once

#include <string>
#include <vector>

namespace dromel::detail {

// Sorts names by the code points of their NFC form (UTF-8 byte order is
// code-point order); names that are not valid UTF-8 take their raw bytes as
// their form, and equal forms fall back to the raw bytes, so the order is
// total and the same on every run.
void sortForManifest(std::vector<std::string> &names);

} // namespace dromel::detail
