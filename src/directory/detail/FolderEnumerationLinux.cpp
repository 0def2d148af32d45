#include "directory/detail/FolderEnumeration.h"

#include "directory/detail/EntryMaker.h"
#include "directory/detail/FolderNames.h"
#include "directory/detail/ListingPublisher.h"
#include "directory/detail/SharedEnumeration.h"
#include "runtime/Cancellation.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>

namespace dromel::detail {

namespace {

// The first items are read by the calling thread alone: the first snapshot
// comes soonest that way, and a small folder is done before a helper thread
// would have paid for itself.
constexpr std::size_t kSharedFrom = 1024;

std::error_code systemError(int error) {
    return {error, std::system_category()};
}

} // namespace

std::error_code enumerateFolder(const std::string &folder, bool showHidden, const Cancellation &cancellation,
                                const std::function<void(const FileEntryList &, bool)> &publish,
                                const std::function<void()> &onItemForTesting) {
    const auto cancelled = std::make_error_code(std::errc::operation_canceled);
    if (cancellation.isCancelled())
        return cancelled;

    struct statx own {};
    if (::statx(AT_FDCWD, folder.c_str(), 0, STATX_TYPE, &own) != 0)
        return systemError(errno);
    if (!S_ISDIR(own.stx_mode))
        return systemError(ENOTDIR);
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return systemError(errno);
    FolderNames names(fd, showHidden);
    if (!names.isOpen())
        return names.error();

    ListingPublisher publisher(publish);
    EntryMaker maker(names.fd(), own, folder);
    FolderItem item;
    std::size_t examined = 0;
    while (examined < kSharedFrom && names.next(item)) {
        if (cancellation.isCancelled())
            return cancelled;
        if (onItemForTesting)
            onItemForTesting();
        if (auto entry = maker.make(std::move(item)))
            publisher.add(std::move(*entry));
        ++examined;
    }
    if (names.error())
        return names.error();
    if (examined == kSharedFrom) {
        EntryMaker helperMaker(names.fd(), own, folder);
        SharedEnumeration shared(names, publisher, cancellation, onItemForTesting);
        if (const std::error_code error = shared.run(maker, helperMaker))
            return error;
    }
    if (cancellation.isCancelled())
        return cancelled;
    publisher.finish();
    return {};
}

} // namespace dromel::detail
