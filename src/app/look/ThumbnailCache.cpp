#include "look/ThumbnailCache.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QFile>
#include <QImageReader>
#include <QImageWriter>
#include <QStandardPaths>

#include <array>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace dromel {

namespace {

constexpr const char *kSoftware = "Dromel " DROMEL_VERSION;

std::uint32_t crc32(const char *data, std::size_t size) {
    static const std::array<std::uint32_t, 256> table = [] {
        std::array<std::uint32_t, 256> entries{};
        for (std::uint32_t n = 0; n < 256; ++n) {
            std::uint32_t c = n;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? 0xEDB88320U ^ (c >> 1) : c >> 1;
            entries[n] = c;
        }
        return entries;
    }();
    std::uint32_t c = 0xFFFFFFFFU;
    for (std::size_t i = 0; i < size; ++i)
        c = table[(c ^ static_cast<unsigned char>(data[i])) & 0xFF] ^ (c >> 8);
    return c ^ 0xFFFFFFFFU;
}

void appendBigEndian(QByteArray &out, std::uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8)
        out.append(static_cast<char>((value >> shift) & 0xFF));
}

// Qt compresses long PNG texts (zTXt); the standard's readers expect plain
// tEXt chunks, so they are written here, right after the header chunk.
QByteArray textChunk(const std::string &key, const std::string &value) {
    QByteArray body =
        QByteArray("tEXt") + QByteArray::fromStdString(key) + '\0' + QByteArray::fromStdString(value);
    QByteArray chunk;
    appendBigEndian(chunk, static_cast<std::uint32_t>(body.size() - 4));
    chunk += body;
    appendBigEndian(chunk, crc32(body.constData(), static_cast<std::size_t>(body.size())));
    return chunk;
}

QByteArray pngWithTexts(const QImage &image, const std::vector<std::pair<std::string, std::string>> &texts) {
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "png");
    if (!writer.write(image))
        return {};
    // Signature (8 bytes), then IHDR: length, type, 13 bytes of data, CRC.
    constexpr qsizetype kAfterHeader = 8 + 4 + 4 + 13 + 4;
    if (png.size() < kAfterHeader || png.mid(12, 4) != "IHDR")
        return {};
    QByteArray chunks;
    for (const auto &[key, value] : texts)
        chunks += textChunk(key, value);
    png.insert(kAfterHeader, chunks);
    return png;
}

bool makeFolders(const std::string &path) {
    for (std::size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
        const std::string part = path.substr(0, slash);
        if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST)
            return false;
        if (slash == std::string::npos)
            return true;
    }
}

bool writeAtomically(const std::string &folder, const std::string &file, const QByteArray &bytes) {
    if (bytes.isEmpty() || !makeFolders(folder))
        return false;
    std::string staging = folder + "/.dromel-thumbnail-" + std::string(6, 'X'); // mkstemp's template
    const int fd = ::mkstemp(staging.data()); // mode 0600, as the standard wants
    if (fd < 0)
        return false;
    qsizetype written = 0;
    while (written < bytes.size()) {
        const ssize_t n =
            ::write(fd, bytes.constData() + written, static_cast<std::size_t>(bytes.size() - written));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        written += n;
    }
    const bool ok =
        ::close(fd) == 0 && written == bytes.size() && ::rename(staging.c_str(), file.c_str()) == 0;
    if (!ok)
        ::unlink(staging.c_str());
    return ok;
}

} // namespace

ThumbnailCache::ThumbnailCache(std::string root) : m_root(std::move(root)) {}

std::string ThumbnailCache::defaultRoot() {
    // $XDG_CACHE_HOME or ~/.cache; a test run's own folder in Qt's test mode.
    return QFile::encodeName(QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation))
               .toStdString() +
           "/thumbnails";
}

int ThumbnailCache::side(Flavour flavour) {
    switch (flavour) {
    case Flavour::normal:
        return 128;
    case Flavour::large:
        return 256;
    case Flavour::xLarge:
        return 512;
    case Flavour::xxLarge:
        return 1024;
    }
    return 128;
}

ThumbnailCache::Flavour ThumbnailCache::flavourFor(int pixels) {
    for (Flavour flavour : {Flavour::normal, Flavour::large, Flavour::xLarge})
        if (pixels <= side(flavour))
            return flavour;
    return Flavour::xxLarge;
}

const char *ThumbnailCache::folderName(Flavour flavour) {
    switch (flavour) {
    case Flavour::normal:
        return "normal";
    case Flavour::large:
        return "large";
    case Flavour::xLarge:
        return "x-large";
    case Flavour::xxLarge:
        return "xx-large";
    }
    return "normal";
}

std::string ThumbnailCache::uriOf(const std::string &path) {
    // The characters g_filename_to_uri() leaves as they are in a path.
    static constexpr std::string_view kKept = "!$&'()*+,-./:=@_~";
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string uri = "file://";
    uri.reserve(uri.size() + path.size());
    for (const char c : path) {
        const auto byte = static_cast<unsigned char>(c);
        const bool alphanumeric =
            (byte >= '0' && byte <= '9') || (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z');
        if (alphanumeric || kKept.find(c) != std::string_view::npos) {
            uri += c;
        } else {
            uri += '%';
            uri += kHex[byte >> 4];
            uri += kHex[byte & 0xF];
        }
    }
    return uri;
}

namespace {

std::string md5Name(const std::string &uri) {
    const QByteArray digest =
        QCryptographicHash::hash(QByteArray::fromStdString(uri), QCryptographicHash::Md5).toHex();
    return digest.toStdString() + ".png";
}

} // namespace

std::string ThumbnailCache::pathFor(Flavour flavour, const std::string &uri) const {
    return m_root + "/" + folderName(flavour) + "/" + md5Name(uri);
}

std::string ThumbnailCache::failurePath(const std::string &uri) const {
    return m_root + "/fail/dromel-" DROMEL_VERSION "/" + md5Name(uri);
}

bool ThumbnailCache::trusted(const std::string &file, const std::string &uri, const Source &source,
                             QImage *image) const {
    QImageReader reader(QString::fromLocal8Bit(file.c_str()), "png");
    if (!reader.canRead())
        return false;
    QImage read = reader.read();
    if (read.isNull())
        return false;
    if (read.text(QStringLiteral("Thumb::URI")).toStdString() != uri)
        return false;
    bool ok = false;
    const qlonglong modified = read.text(QStringLiteral("Thumb::MTime")).toLongLong(&ok);
    if (!ok || modified != source.modifiedSeconds)
        return false;
    // Thumb::Size is optional; when present it must agree too.
    const QString size = read.text(QStringLiteral("Thumb::Size"));
    if (!size.isEmpty() && size.toLongLong() != source.size)
        return false;
    if (image)
        *image = std::move(read);
    return true;
}

QImage ThumbnailCache::find(const Source &source, Flavour flavour) const {
    const std::string uri = uriOf(source.path);
    for (int f = static_cast<int>(flavour); f <= static_cast<int>(Flavour::xxLarge); ++f) {
        QImage image;
        if (trusted(pathFor(static_cast<Flavour>(f), uri), uri, source, &image))
            return image;
    }
    return {};
}

bool ThumbnailCache::hasFailed(const Source &source) const {
    const std::string uri = uriOf(source.path);
    return trusted(failurePath(uri), uri, source, nullptr);
}

bool ThumbnailCache::write(const std::string &folder, const std::string &file, const QImage &image,
                           const Source &source, const std::string &uri, const std::string &mimeType) const {
    std::vector<std::pair<std::string, std::string>> texts = {
        {"Thumb::URI", uri},
        {"Thumb::MTime", std::to_string(source.modifiedSeconds)},
        {"Thumb::Size", std::to_string(source.size)},
        {"Software", kSoftware},
    };
    if (!mimeType.empty())
        texts.emplace_back("Thumb::Mimetype", mimeType);
    return writeAtomically(folder, file, pngWithTexts(image, texts));
}

bool ThumbnailCache::store(const Source &source, Flavour flavour, const QImage &thumbnail,
                           const std::string &mimeType) const {
    if (thumbnail.isNull())
        return false;
    const int limit = side(flavour);
    QImage image = thumbnail.width() > limit || thumbnail.height() > limit
                       ? thumbnail.scaled(limit, limit, Qt::KeepAspectRatio, Qt::SmoothTransformation)
                       : thumbnail;
    const std::string uri = uriOf(source.path);
    return write(m_root + "/" + folderName(flavour), pathFor(flavour, uri), image, source, uri, mimeType);
}

bool ThumbnailCache::recordFailure(const Source &source) const {
    const std::string uri = uriOf(source.path);
    QImage mark(1, 1, QImage::Format_ARGB32);
    mark.fill(Qt::transparent);
    return write(m_root + "/fail/dromel-" DROMEL_VERSION, failurePath(uri), mark, source, uri, {});
}

} // namespace dromel
