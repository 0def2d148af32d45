#include "table/QuickLook.h"

#include "look/Icons.h"
#include "presentation/Localization.h"
#include "runtime/MainThread.h"
#include "table/FileTableModel.h"

#include <QFile>
#include <QFontDatabase>
#include <QImageReader>
#include <QKeyEvent>
#include <QLabel>
#include <QMimeDatabase>
#include <QPlainTextEdit>
#include <QStackedWidget>
#include <QStringDecoder>
#include <QVBoxLayout>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace dromel {

namespace {

constexpr int kInfoIconSide = 96;

QLabel *makeLabel(QWidget *parent) {
    auto *label = new QLabel(parent);
    label->setAlignment(Qt::AlignHCenter);
    label->setWordWrap(true);
    label->setTextInteractionFlags(Qt::NoTextInteraction);
    return label;
}

} // namespace

QuickLook::QuickLook(Icons &icons, QWidget *parent)
    : QWidget(parent, Qt::Tool), m_icons(icons), m_pages(new QStackedWidget(this)),
      m_picture(new QLabel(m_pages)), m_textView(new QPlainTextEdit(m_pages)),
      m_reader({"Dromel.preview", 1, QueuePriority::userInitiated}) {
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFocusPolicy(Qt::NoFocus);
    setAccessibleName(Localization::current().text(TextKey::preview));
    resize(560, 440);

    m_picture->setAlignment(Qt::AlignCenter);
    m_picture->setMinimumSize(1, 1);
    m_textView->setReadOnly(true);
    m_textView->setFocusPolicy(Qt::NoFocus);
    m_textView->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    m_textView->setLineWrapMode(QPlainTextEdit::NoWrap);

    auto *info = new QWidget(m_pages);
    auto *infoLayout = new QVBoxLayout(info);
    infoLayout->addStretch();
    m_icon = makeLabel(info);
    m_name = makeLabel(info);
    QFont title = m_name->font();
    title.setBold(true);
    title.setPointSizeF(title.pointSizeF() * 1.3);
    m_name->setFont(title);
    m_kind = makeLabel(info);
    m_size = makeLabel(info);
    m_date = makeLabel(info);
    for (QLabel *label : {m_icon, m_name, m_kind, m_size, m_date})
        infoLayout->addWidget(label);
    infoLayout->addStretch();

    m_pages->addWidget(info);
    m_pages->addWidget(m_picture);
    m_pages->addWidget(m_textView);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_pages);
}

QuickLook::~QuickLook() = default;

void QuickLook::showEntry(const FileEntry &entry, const QString &kind) {
    const Localization texts = Localization::current();
    const QString name = FileTableModel::displayName(entry.name());
    setWindowTitle(name);
    m_path = entry.url();
    m_token = Uuid::random();
    m_content = Content::info;
    m_image = QImage();
    m_textView->clear();

    m_icon->setPixmap(m_icons.forEntry(entry).pixmap(kInfoIconSide, kInfoIconSide));
    m_name->setText(name);
    m_kind->setText(kind);
    const auto size = entry.size();
    m_size->setText(size ? texts.bytes(*size) : QString());
    m_size->setVisible(size.has_value());
    const auto modified = entry.modified();
    m_date->setText(modified ? texts.date(*modified) : QString());
    m_date->setVisible(modified.has_value());
    m_pages->setCurrentIndex(0);

    if (entry.isDirectory()) {
        emit loaded();
        return;
    }
    // Only plain bytes cross to the reader: no implicitly shared Qt value is
    // released on two threads.
    m_reader.async(
        [path = m_path, fileName = entry.name(), token = m_token, alive = m_lifetime.weak(), this] {
            Result result = read(path, fileName);
            MainThread::post([alive, this, token, result = std::move(result)]() mutable {
                if (!alive.expired())
                    arrived(token, std::move(result));
            });
        });
}

QuickLook::Result QuickLook::read(const std::string &path, const std::string &fileName) {
    Result result;
    // Non-blocking, so a FIFO cannot hold the queue; only regular files are read.
    const int descriptor = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (descriptor < 0)
        return result;
    struct stat status {};
    if (::fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode)) {
        ::close(descriptor);
        return result;
    }
    QFile file;
    if (!file.open(descriptor, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(descriptor);
        return result;
    }
    const QMimeType type =
        QMimeDatabase().mimeTypeForFileNameAndData(FileTableModel::displayName(fileName), &file);
    file.seek(0);
    if (type.name().startsWith(QStringLiteral("image/"))) {
        QImageReader reader(&file);
        reader.setAutoTransform(true);
        const QSize full = reader.size();
        if (full.isValid() && (full.width() > kImageBound || full.height() > kImageBound))
            reader.setScaledSize(full.scaled(kImageBound, kImageBound, Qt::KeepAspectRatio));
        QImage image = reader.read();
        if (!image.isNull()) {
            result.content = Content::image;
            result.image = std::move(image);
            return result;
        }
        file.seek(0);
    }
    if (type.inherits(QStringLiteral("text/plain"))) {
        const QByteArray start = file.read(kTextBytes);
        // A stateful decoder holds back a character cut at the end.
        QStringDecoder decoder(QStringDecoder::Utf8);
        result.content = Content::text;
        result.text = decoder.decode(start);
    }
    return result;
}

void QuickLook::arrived(const Uuid &token, Result result) {
    if (token != m_token)
        return;
    m_content = result.content;
    if (result.content == Content::image) {
        m_image = std::move(result.image);
        showScaledImage();
        m_pages->setCurrentWidget(m_picture);
    } else if (result.content == Content::text) {
        m_textView->setPlainText(result.text);
        m_pages->setCurrentWidget(m_textView);
    }
    emit loaded();
}

QString QuickLook::text() const {
    return m_content == Content::text ? m_textView->toPlainText() : QString();
}

void QuickLook::showScaledImage() {
    if (m_image.isNull())
        return;
    const QSize room = m_pages->size();
    const QImage shown = m_image.width() > room.width() || m_image.height() > room.height()
                             ? m_image.scaled(room, Qt::KeepAspectRatio, Qt::SmoothTransformation)
                             : m_image;
    m_picture->setPixmap(QPixmap::fromImage(shown));
}

void QuickLook::resizeEvent(QResizeEvent *event) {
    QWidget::resizeEvent(event);
    showScaledImage();
}

void QuickLook::keyPressEvent(QKeyEvent *event) {
    if (event->key() == Qt::Key_Space || event->key() == Qt::Key_Escape) {
        hide();
        return;
    }
    QWidget::keyPressEvent(event);
}

void QuickLook::showEvent(QShowEvent *event) {
    QWidget::showEvent(event);
    emit visibilityChanged(true);
}

void QuickLook::hideEvent(QHideEvent *event) {
    QWidget::hideEvent(event);
    emit visibilityChanged(false);
}

} // namespace dromel
