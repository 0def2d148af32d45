#include "engine/ObjectStamp.h"

#include <sys/stat.h>

namespace dromel {

bool ObjectStamp::isDirectory() const {
    return type() == S_IFDIR;
}

bool ObjectStamp::isRegular() const {
    return type() == S_IFREG;
}

bool ObjectStamp::isSymbolicLink() const {
    return type() == S_IFLNK;
}

unsigned ObjectStamp::type() const {
    return mode & S_IFMT;
}

std::string ObjectStamp::token() const {
    return std::to_string(device) + ":" + std::to_string(inode) + ":" + std::to_string(mode) + ":" +
           std::to_string(size) + ":" + std::to_string(modified) + ":" + std::to_string(nanos) + ":" +
           std::to_string(changed) + ":" + std::to_string(changedNanos);
}

std::string ObjectStamp::identityToken() const {
    return std::to_string(device) + ":" + std::to_string(inode) + ":" + std::to_string(type()) + ":" +
           std::to_string(born) + ":" + std::to_string(bornNanos);
}

} // namespace dromel
