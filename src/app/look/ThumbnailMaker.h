#pragma once

#include <QImage>

#include <chrono>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace dromel {

// Makes a thumbnail of one file: images Qt can read are decoded already
// scaled (JPEG is scaled inside the decoder), other types go to the
// thumbnailers the system installs (<data dir>/thumbnailers/*.thumbnailer,
// as GNOME's desktop uses them), each run as its own process, killed past
// a time limit. Reads files and runs programs: never on the main thread.
// Safe from several threads at once.
class ThumbnailMaker {
public:
    enum class Outcome {
        made,
        // The file could not be made into a picture (record it as failed).
        failed,
        // Nothing here makes pictures of this type (not the file's fault).
        unsupported,
    };
    struct Result {
        Outcome outcome = Outcome::unsupported;
        QImage image;
    };

    static constexpr std::chrono::milliseconds kTimeLimit{10000};

    // The folders that hold *.thumbnailer files; by default "thumbnailers"
    // under each of $XDG_DATA_HOME and $XDG_DATA_DIRS.
    explicit ThumbnailMaker(std::vector<std::string> thumbnailerFolders = defaultFolders(),
                            std::chrono::milliseconds timeLimit = kTimeLimit);

    static std::vector<std::string> defaultFolders();

    // A picture no larger than `side` on either edge.
    Result make(const std::string &path, const std::string &mimeType, int side) const;
    // Whether some thumbnailer takes this type (reads the entries once).
    bool hasThumbnailer(const std::string &mimeType) const;

private:
    Result fromImage(const std::string &path, int side) const;
    Result fromThumbnailer(const std::string &path, const std::string &exec, int side) const;
    void loadEntries() const;

    std::vector<std::string> m_folders;
    std::chrono::milliseconds m_timeLimit;
    mutable std::once_flag m_loaded;
    // MIME type → the Exec line of the first entry that takes it.
    mutable std::map<std::string, std::string> m_execByType;
};

} // namespace dromel
