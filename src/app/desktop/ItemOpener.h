#pragma once

#include "desktop/DesktopApplication.h"

#include <QObject>
#include <QPointer>

#include <deque>
#include <functional>
#include <string>
#include <vector>

class QMessageBox;
class QWidget;

namespace dromel {

class ApplicationLauncher;

// Opens items the way the desktop does: each type with its default
// application, all items of one type in one launch where the application takes
// a list; a program or script asks first (run, open as text, cancel); a type
// without an application offers "Open With…". Groups are handled one after
// another, so at most one question is up. Main thread only.
class ItemOpener : public QObject {
    Q_OBJECT
public:
    using Failure = std::function<void(const std::string &path, const std::string &error)>;

    ItemOpener(QWidget *window, ApplicationLauncher &launcher, Failure failed, QObject *parent = nullptr);

    void open(std::vector<std::string> paths);
    // Shows "Open With…" for the items, whatever their default.
    void chooseApplication(std::vector<std::string> paths);

    // The question about the program being opened, while it is up.
    QMessageBox *questionForTesting() const { return m_question; }

private:
    void next();
    void ask(const OpenGroup &group);
    void openAsText(const std::string &path);

    QPointer<QWidget> m_window;
    ApplicationLauncher &m_launcher;
    Failure m_failed;
    std::deque<OpenGroup> m_pending;
    QPointer<QMessageBox> m_question;
};

} // namespace dromel
