#pragma once

#include "desktop/DesktopApplication.h"

#include <QDialog>

#include <functional>
#include <string>
#include <vector>

class QCheckBox;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace dromel {

class ApplicationLauncher;

// "Open With…": every installed application, with its icon, narrowed as the
// user types; Open launches the chosen one on the items, and with the box
// checked it becomes the default for their type in the user's mimeapps.list.
// Without items it only chooses the type's default (the box is then set and
// fixed). Window-modal, opened with open(); deletes itself when closed.
class OpenWithDialog : public QDialog {
    Q_OBJECT
public:
    using Failure = std::function<void(const std::string &error)>;

    static OpenWithDialog *ask(QWidget *window, ApplicationLauncher &launcher, std::string mimeType,
                               std::vector<std::string> paths, Failure failed);

    // The application chosen, after the dialog closed with it.
    std::function<void(const DesktopApplication &)> onChosen;

    QLineEdit *searchField() const { return m_search; }
    QListWidget *list() const { return m_list; }
    QCheckBox *defaultBox() const { return m_makeDefault; }
    QPushButton *openButton() const { return m_open; }

private:
    OpenWithDialog(QWidget *window, ApplicationLauncher &launcher, std::string mimeType,
                   std::vector<std::string> paths, Failure failed);

    void show(std::vector<DesktopApplication> applications);
    void narrow(const QString &typed);
    void choose();

    ApplicationLauncher &m_launcher;
    std::string m_mimeType;
    std::vector<DesktopApplication> m_applications;
    std::vector<std::string> m_paths;
    Failure m_failed;
    QLineEdit *m_search = nullptr;
    QListWidget *m_list = nullptr;
    QCheckBox *m_makeDefault = nullptr;
    QPushButton *m_open = nullptr;
};

} // namespace dromel
