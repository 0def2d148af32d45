#pragma once

#include "engine/ObjectStamp.h"

#include <string>

namespace dromel::detail {

struct StampAndMount {
    ObjectStamp stamp;
    // The object is the root of a mount, a bind mount of the same file system
    // included (the device number alone does not tell those apart).
    bool mountRoot = false;
};

// OperationFS::stamp with the mount-root attribute statx reports alongside.
StampAndMount stampOf(const std::string &path);
// The same of an open object (`path` names it in a failure).
StampAndMount stampOf(int fd, const std::string &path);
StampAndMount stampOf(int at, const char *name, int flags, const std::string &path);

} // namespace dromel::detail
