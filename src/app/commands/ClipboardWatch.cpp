#include "commands/ClipboardWatch.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

namespace dromel {

ClipboardWatch::ClipboardWatch(QObject *parent) : QObject(parent) {
    connect(QGuiApplication::clipboard(), &QClipboard::dataChanged, this, &ClipboardWatch::clipboardChanged);
}

long long ClipboardWatch::write(std::unique_ptr<QMimeData> data) {
    QClipboard *clipboard = QGuiApplication::clipboard();
    m_writing = true;
    clipboard->setMimeData(data.release());
    m_writing = false;
    m_written = clipboard->mimeData();
    return ++m_count;
}

std::optional<FileClipboard::Contents> ClipboardWatch::files() const {
    const QMimeData *data = QGuiApplication::clipboard()->mimeData();
    return data ? FileClipboard::decodeFiles(*data) : std::nullopt;
}

void ClipboardWatch::clipboardChanged() {
    if (m_writing || (m_written && QGuiApplication::clipboard()->mimeData() == m_written))
        return;
    m_written = nullptr;
    ++m_count;
    emit changedElsewhere();
}

} // namespace dromel
