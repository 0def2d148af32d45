#pragma once

#include <QPointer>
#include <QString>
#include <QStringList>

#include <functional>

class QMessageBox;
class QWidget;

namespace dromel {

// A question shown window-modal on the browser window and opened with
// open(), so the event loop (and the file list) keeps running while it is
// up. Buttons keep the order given, whatever the desktop's usual layout.
namespace Sheet {

// The index of the pressed button, or -1 when the sheet was closed any other
// way (Escape, the window going away, dismiss()); `checked` is the state of
// the check box when one was asked for. Called exactly once.
using Answer = std::function<void(int button, bool checked)>;

// Returns the open sheet, or null (and answers -1 at once) without a window.
QMessageBox *ask(QWidget *window, const QString &message, const QString &details, const QStringList &buttons,
                 int escapeButton, Answer answer, const QString &checkBox = {});

// Closes a sheet from the program; its answer is -1.
void dismiss(QMessageBox *sheet);

} // namespace Sheet
} // namespace dromel
