#include "engine/VolumeFlush.h"

#include "core/OperationProblem.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace dromel {

VolumeFlush::VolumeFlush(const std::string &folder)
    : m_folder(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {
    if (!m_folder)
        throw OperationProblem::fromErrno(errno, folder);
}

void VolumeFlush::wait(const std::string &written) const {
    if (::syncfs(m_folder.get()) != 0)
        throw OperationProblem::fromErrno(errno, written);
}

} // namespace dromel
