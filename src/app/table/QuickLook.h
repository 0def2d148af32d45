#pragma once

#include "core/FileEntry.h"
#include "core/Uuid.h"
#include "runtime/Lifetime.h"
#include "runtime/WorkQueue.h"

#include <QImage>
#include <QWidget>

#include <string>

class QLabel;
class QPlainTextEdit;
class QStackedWidget;

namespace dromel {

class Icons;

// The preview window of the file list: an image scaled to fit, the start of a
// text file, or else the item's icon, name, kind, size and date. It never
// takes the keyboard focus, so the list keeps moving the selection while it
// follows. Files are read on a queue of its own; a late result for an item no
// longer shown is dropped. Main thread only.
class QuickLook : public QWidget {
    Q_OBJECT
public:
    enum class Content { info, image, text };
    // How much of a text file is shown.
    static constexpr qint64 kTextBytes = 64 * 1024;
    // Larger images are scaled down while they are read.
    static constexpr int kImageBound = 2048;

    QuickLook(Icons &icons, QWidget *parent = nullptr);
    ~QuickLook() override;

    // Shows `entry` (its info at once, its image or text once read); `kind`
    // is the text of the list's kind column.
    void showEntry(const FileEntry &entry, const QString &kind);

    Content content() const { return m_content; }
    // The path (bytes) of the item shown.
    const std::string &path() const { return m_path; }
    QString text() const;
    QImage image() const { return m_image; }

signals:
    // The image or text of the item shown arrived (or the item has neither).
    void loaded();
    void visibilityChanged(bool visible);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    struct Result {
        Content content = Content::info;
        QImage image;
        QString text;
    };
    static Result read(const std::string &path, const std::string &fileName);
    void arrived(const Uuid &token, Result result);
    void showScaledImage();

    Icons &m_icons;
    QStackedWidget *m_pages;
    QLabel *m_picture;
    QPlainTextEdit *m_textView;
    QLabel *m_icon;
    QLabel *m_name;
    QLabel *m_kind;
    QLabel *m_size;
    QLabel *m_date;
    Content m_content = Content::info;
    QImage m_image;
    std::string m_path;
    Uuid m_token;
    WorkQueue m_reader;
    // Declared last, destroyed first: results still in flight are dropped.
    Lifetime m_lifetime;
};

} // namespace dromel
