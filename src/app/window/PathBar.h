#pragma once

#include <QWidget>

#include <string>
#include <vector>

class QCompleter;
class QFileSystemModel;
class QHBoxLayout;
class QLineEdit;
class QStackedLayout;
class QToolButton;

namespace dromel {

// The path area of the toolbar: a breadcrumb of folder buttons (root first)
// and, in the same place, the typed-path field that replaces it while the
// user edits a path. Folders that do not fit are gathered in a menu button at
// the start of the breadcrumb, so the current folder always shows.
// Paths are raw bytes; buttons show them with replacement characters.
class PathBar : public QWidget {
    Q_OBJECT
public:
    explicit PathBar(QWidget *parent = nullptr);

    void setFolder(const std::string &folder);
    const std::string &folder() const { return m_folder; }

    // Shows the field with the folder's path selected and focuses it.
    void beginEditing();
    // Back to the breadcrumb; the typed text is kept until the next edit.
    void endEditing();
    bool isEditing() const;
    QLineEdit *input() const { return m_input; }
    // The breadcrumb's buttons, root first (hidden ones included).
    const std::vector<QToolButton *> &crumbs() const { return m_crumbs; }

    void retranslate();

    // Narrow enough for an 800 px window: crumbs from the root hide into the
    // overflow menu rather than pushing the toolbar's buttons out.
    QSize minimumSizeHint() const override;

signals:
    // A breadcrumb button was clicked.
    void folderClicked(const QByteArray &folder);
    // Return in the field, with the text as typed.
    void pathSubmitted(const QString &text);
    // Escape in the field.
    void editingCancelled();

protected:
    void resizeEvent(QResizeEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void rebuildCrumbs();
    void fitCrumbs();

    std::string m_folder;
    QStackedLayout *m_stack;
    QWidget *m_breadcrumb;
    QHBoxLayout *m_crumbLayout;
    QToolButton *m_overflow;
    std::vector<QToolButton *> m_crumbs;
    std::vector<std::string> m_crumbFolders;
    QLineEdit *m_input;
    QCompleter *m_completer;
    QFileSystemModel *m_folders;
};

} // namespace dromel
