#include "directory/LocalDirectoryReader.h"

#include "directory/detail/FolderEnumeration.h"
#include "directory/detail/ReadChannel.h"

namespace dromel {

LocalDirectoryReader::LocalDirectoryReader() : m_queue(QueueNames::directoryReader()) {}

LocalDirectoryReader::~LocalDirectoryReader() = default;

std::unique_ptr<DirectoryRead> LocalDirectoryReader::snapshots(const std::string &folder, bool showHidden,
                                                               SnapshotHandler onSnapshot,
                                                               FinishHandler onFinish) {
    auto channel = std::make_shared<detail::ReadChannel>(std::move(onSnapshot), std::move(onFinish));
    m_queue.async([channel, folder, showHidden] {
        const std::error_code error = detail::enumerateFolder(
            folder, showHidden, channel->cancellation(), [&](const FileEntryList &entries, bool isComplete) {
                channel->send({entries, isComplete});
            });
        channel->finish(error);
    });
    return std::make_unique<detail::ChannelRead>(std::move(channel));
}

} // namespace dromel
