#include "engine/DataPasses.h"

#include <atomic>

namespace dromel::DataPasses {

namespace {

std::atomic<std::int64_t> g_hashed{0};
std::atomic<std::int64_t> g_copied{0};

} // namespace

void addHashed(std::int64_t bytes) {
    g_hashed.fetch_add(bytes, std::memory_order_relaxed);
}

void addCopied(std::int64_t bytes) {
    g_copied.fetch_add(bytes, std::memory_order_relaxed);
}

Totals totals() {
    return {g_hashed.load(std::memory_order_relaxed), g_copied.load(std::memory_order_relaxed)};
}

} // namespace dromel::DataPasses
