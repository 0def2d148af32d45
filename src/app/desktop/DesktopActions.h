#pragma once

#include <QObject>

#include <functional>
#include <string>
#include <vector>

class QUrl;

namespace dromel {

// The desktop's services for items: show in the desktop's file manager, copy paths as text. Paths are raw bytes; they
// reach the desktop as percent-encoded file URLs, so no name is altered.
// Main thread only.
class DesktopActions : public QObject {
    Q_OBJECT
public:
    using Opener = std::function<bool(const QUrl &)>;

    explicit DesktopActions(QObject *parent = nullptr);

    // Asks the desktop's file manager (org.freedesktop.FileManager1) to show
    // the items selected in their folder; without one, opens the folder that
    // holds the first item (or `folder` itself when there are no items).
    void reveal(const std::vector<std::string> &items, const std::string &folder);
    // Paths joined by line feeds, as plain text; the folder when there are none.
    static void copyPaths(const std::vector<std::string> &paths);

    static QUrl fileUrl(const std::string &path);

    // Replaces the desktop opener, so tests never start an application.
    void setOpenerForTesting(Opener opener) { m_opener = std::move(opener); }
    // Skips the session bus, as on a desktop without a file-manager service.
    void setFileManagerServiceForTesting(bool available) { m_useFileManagerService = available; }

private:
    void openFolder(const std::string &folder);

    Opener m_opener;
    bool m_useFileManagerService = true;
};

} // namespace dromel
