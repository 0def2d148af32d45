#pragma once

#include "commands/FileClipboard.h"

#include <QObject>

#include <memory>
#include <optional>

class QMimeData;

namespace dromel {

// The system clipboard with a change count: every change made by another
// program (or another part of this one writing past the watch) bumps it, and
// so does every write through the watch. The file commands compare counts to
// learn whether the clipboard still holds what they cut.
//
// Main thread only. Changes are learnt from QClipboard::dataChanged, which
// X11 delivers for other programs' changes through XFixes, so no polling.
class ClipboardWatch : public QObject {
    Q_OBJECT

public:
    explicit ClipboardWatch(QObject *parent = nullptr);

    long long changeCount() const { return m_count; }
    // Puts `data` on the clipboard; returns the change count it now has.
    long long write(std::unique_ptr<QMimeData> data);
    // The files on the clipboard, if any.
    std::optional<FileClipboard::Contents> files() const;

signals:
    // Someone else changed the clipboard.
    void changedElsewhere();

private:
    void clipboardChanged();

    long long m_count = 0;
    bool m_writing = false;
    // What we put there last; a late notice of our own write compares equal.
    const QMimeData *m_written = nullptr;
};

} // namespace dromel
