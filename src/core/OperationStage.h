#pragma once

#include "core/JsonSupport.h"

#include <cstdint>
#include <string>

namespace dromel {

// A hidden stage a task made and has not published: its scratch, removable
// once the task no longer needs it. The identity tells it apart from
// anything that took its place: the stage's volume, its owner, when the task
// began making it, and its inode once it was complete (0 before).
struct OperationStage {
    std::string path;
    std::int64_t device = 0;
    std::uint64_t inode = 0;
    std::uint32_t owner = 0;
    std::int64_t since = 0; // seconds since the epoch, before it was made

    Json toJson() const;
    static OperationStage fromJson(const Json &json);

    friend bool operator==(const OperationStage &, const OperationStage &) = default;
};

} // namespace dromel
