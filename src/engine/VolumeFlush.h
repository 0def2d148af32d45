#pragma once

#include "engine/detail/FileDescriptor.h"

#include <string>

namespace dromel {

// One syncfs of the file system a folder is on, for everything written there
// after this was made. Made before the first write: Linux reports a writeback
// error only to descriptors that were open when it happened, and another
// process (sync -f) may collect it first. Throws OperationProblem when the
// folder cannot be opened.
class VolumeFlush {
public:
    explicit VolumeFlush(const std::string &folder);

    // Blocks until every byte and name written on the file system is on
    // stable storage; throws OperationProblem(system) naming `written` when
    // the writeback failed.
    void wait(const std::string &written) const;

private:
    detail::FileDescriptor m_folder;
};

} // namespace dromel
