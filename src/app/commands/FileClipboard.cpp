#include "commands/FileClipboard.h"

#include "core/Location.h"

#include <QList>
#include <QMimeData>
#include <QString>

namespace dromel::FileClipboard {

namespace {

constexpr const char *kNautilusMarker = "x-special/nautilus-clipboard";

QList<QByteArray> lines(const QByteArray &data) {
    QList<QByteArray> result;
    for (QByteArray line : data.split('\n')) {
        line = line.trimmed(); // also drops the "\r" of CRLF lines
        if (!line.isEmpty())
            result.push_back(line);
    }
    return result;
}

std::vector<std::string> pathsOf(const QList<QByteArray> &urls, qsizetype first) {
    std::vector<std::string> paths;
    for (qsizetype i = first; i < urls.size(); ++i) {
        if (urls[i].startsWith('#')) // comment line of text/uri-list
            continue;
        if (auto path = Location::pathFromFileURL(std::string_view(urls[i].constData(), urls[i].size())))
            paths.push_back(std::move(*path));
    }
    return paths;
}

// "copy" or "cut" then URLs, as GNOME writes it. Returns nothing when the
// first line is neither.
std::optional<Contents> gnomeForm(const QList<QByteArray> &lines, qsizetype first) {
    if (lines.size() <= first)
        return std::nullopt;
    const QByteArray action = lines[first].toLower();
    if (action != "copy" && action != "cut")
        return std::nullopt;
    return Contents{pathsOf(lines, first + 1), action == "cut"};
}

} // namespace

QByteArray urlOf(const std::string &path) {
    return QByteArray::fromStdString(Location::fileURL(path, false));
}

std::unique_ptr<QMimeData> encodeFiles(const std::vector<std::string> &paths, bool cut) {
    QByteArray uriList;
    QByteArray gnome = cut ? "cut" : "copy";
    QString text;
    for (const std::string &path : paths) {
        const QByteArray url = urlOf(path);
        uriList += url + "\r\n";
        gnome += '\n' + url;
        if (!text.isEmpty())
            text += '\n';
        text += QString::fromUtf8(path.data(), qsizetype(path.size()));
    }
    auto data = std::make_unique<QMimeData>();
    data->setData(kUriList, uriList);
    data->setData(kGnomeCopiedFiles, gnome);
    data->setData(kKdeCutSelection, cut ? "1" : "0");
    data->setText(text);
    return data;
}

std::optional<Contents> decodeFiles(const QMimeData &data) {
    std::optional<Contents> gnome;
    bool gnomeFromText = false;
    if (data.hasFormat(kGnomeCopiedFiles))
        gnome = gnomeForm(lines(data.data(kGnomeCopiedFiles)), 0);
    if (!gnome && data.hasFormat("text/plain")) {
        const QList<QByteArray> text = lines(data.data("text/plain"));
        if (!text.isEmpty() && text.front() == kNautilusMarker) {
            gnome = gnomeForm(text, 1);
            gnomeFromText = true;
        }
    }

    Contents contents;
    if (data.hasFormat(kUriList))
        contents.paths = pathsOf(lines(data.data(kUriList)), 0);
    if (contents.paths.empty() && gnome) {
        contents.paths = gnome->paths;
        contents.fromText = gnomeFromText;
    }
    if (contents.paths.empty())
        return std::nullopt;
    contents.cut = (gnome && gnome->cut) ||
                   (data.hasFormat(kKdeCutSelection) && data.data(kKdeCutSelection).trimmed() == "1");
    return contents;
}

std::unique_ptr<QMimeData> encodeText(const std::vector<std::string> &paths) {
    QString text;
    for (const std::string &path : paths) {
        if (!text.isEmpty())
            text += '\n';
        text += QString::fromUtf8(path.data(), qsizetype(path.size()));
    }
    auto data = std::make_unique<QMimeData>();
    data->setText(text);
    return data;
}

} // namespace dromel::FileClipboard
