#pragma once

#include <QDialog>

#include <functional>

class QLineEdit;

namespace dromel {

// The new folder's name, asked window-modal on the browser window: the
// message, a name field pre-filled with the default name, and Create before
// Cancel. Opened with open(); deletes itself when closed.
class NewFolderDialog : public QDialog {
    Q_OBJECT

public:
    static constexpr QSize kFieldSize{320, 24};

    // `create` receives the typed text when Create is pressed.
    static NewFolderDialog *ask(QWidget *window, std::function<void(const QString &)> create);

    QLineEdit *field() const { return m_field; }

private:
    NewFolderDialog(QWidget *window, std::function<void(const QString &)> create);

    QLineEdit *m_field = nullptr;
    std::function<void(const QString &)> m_create;
};

} // namespace dromel
