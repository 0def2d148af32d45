#pragma once

#include <QByteArray>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <QMimeData>

// The clipboard forms that Linux file managers exchange. Items are written as
// file URLs whose paths are percent-encoded byte for byte, so a name that is
// not UTF-8 comes back exactly; whether they were cut travels in the GNOME and
// KDE conventions together, so either family of file managers reads it.
namespace dromel::FileClipboard {

inline constexpr const char *kUriList = "text/uri-list";
inline constexpr const char *kGnomeCopiedFiles = "x-special/gnome-copied-files";
inline constexpr const char *kKdeCutSelection = "application/x-kde-cutselection";

struct Contents {
    std::vector<std::string> paths; // absolute, standardized, in clipboard order
    bool cut = false;
    // The items came only from plain text in the Nautilus form, which any
    // program or web page can write: a paste asks before acting on them.
    bool fromText = false;
};

// text/uri-list, x-special/gnome-copied-files ("copy" or "cut", then the URLs),
// application/x-kde-cutselection ("1" or "0") and, for pasting into text
// fields, the paths as plain text.
std::unique_ptr<QMimeData> encodeFiles(const std::vector<std::string> &paths, bool cut);

// The file items on the clipboard, or nothing when it holds none. URLs of
// other schemes and malformed lines are left out. text/uri-list is preferred;
// the GNOME form (also as newer Nautilus puts it in plain text) is read when
// it is the only one. Either cut marker makes the contents a cut.
std::optional<Contents> decodeFiles(const QMimeData &data);

// Plain text only, for the copy-path command. Paths that are not UTF-8 are
// shown with replacement characters, as any text would show them.
std::unique_ptr<QMimeData> encodeText(const std::vector<std::string> &paths);

// The URL line of one path (exposed for drag and drop, which writes the same).
QByteArray urlOf(const std::string &path);

} // namespace dromel::FileClipboard
