#pragma once

#include <cstdint>

// How many bytes of the user's data the engine has read, by purpose, since
// the process started: divided by a task's size they count its passes over
// the data. Process-wide and lock-free; any thread may add.
namespace dromel::DataPasses {

struct Totals {
    // Read and hashed with SHA-256 (manifests, verification, re-checks).
    std::int64_t hashed = 0;
    // Copied from a source to its stage (in the kernel or through a buffer).
    std::int64_t copied = 0;

    friend Totals operator+(const Totals &a, const Totals &b) {
        return {a.hashed + b.hashed, a.copied + b.copied};
    }
    friend Totals operator-(const Totals &a, const Totals &b) {
        return {a.hashed - b.hashed, a.copied - b.copied};
    }
};

void addHashed(std::int64_t bytes);
void addCopied(std::int64_t bytes);
Totals totals();

} // namespace dromel::DataPasses
