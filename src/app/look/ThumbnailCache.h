#pragma once

#include <QImage>

#include <cstdint>
#include <string>

namespace dromel {

// The thumbnail folders the Linux desktops share (freedesktop.org Thumbnail
// Managing Standard): $XDG_CACHE_HOME/thumbnails/<flavour>/<md5 of the URI>.png,
// each PNG naming its source (Thumb::URI) and the source's modification time
// (Thumb::MTime) and size (Thumb::Size) when it was made, so a thumbnail is
// trusted only while those still match. Failures are remembered per program
// under fail/dromel-<version>/, so a broken file is not tried again until it
// changes. File names follow GLib's URI escaping, so Nautilus, Dolphin and
// Dromel find each other's thumbnails.
//
// Stateless apart from the root folder: every call reads or writes files, so
// call it off the main thread. Safe from several threads at once (writes go
// to a unique temporary name and are renamed into place).
class ThumbnailCache {
public:
    enum class Flavour { normal, large, xLarge, xxLarge };

    // What the cache knows of a source file: its path (bytes) and the
    // modification time (whole seconds) and size it had when asked.
    struct Source {
        std::string path;
        std::int64_t modifiedSeconds = 0;
        std::int64_t size = 0;
    };

    explicit ThumbnailCache(std::string root = defaultRoot());

    // $XDG_CACHE_HOME/thumbnails, ~/.cache/thumbnails without it. Main thread.
    static std::string defaultRoot();
    static int side(Flavour flavour);
    // The smallest flavour whose side is at least `pixels` (the largest past
    // its side).
    static Flavour flavourFor(int pixels);
    static const char *folderName(Flavour flavour);
    // "file://" and the path's bytes escaped as g_filename_to_uri() does.
    static std::string uriOf(const std::string &path);

    const std::string &root() const { return m_root; }
    std::string pathFor(Flavour flavour, const std::string &uri) const;
    std::string failurePath(const std::string &uri) const;

    // A trusted thumbnail of `flavour` or a larger one; null when none is.
    QImage find(const Source &source, Flavour flavour) const;
    // Whether this program failed on the source as it is now.
    bool hasFailed(const Source &source) const;
    // Writes the thumbnail (no larger than the flavour's side) with the keys
    // the standard asks for; false when it could not be written.
    bool store(const Source &source, Flavour flavour, const QImage &thumbnail,
               const std::string &mimeType) const;
    bool recordFailure(const Source &source) const;

private:
    bool trusted(const std::string &file, const std::string &uri, const Source &source, QImage *image) const;
    bool write(const std::string &folder, const std::string &file, const QImage &image, const Source &source,
               const std::string &uri, const std::string &mimeType) const;

    std::string m_root;
};

} // namespace dromel
