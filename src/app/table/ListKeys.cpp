#include "table/ListKeys.h"

#include <QKeyEvent>

namespace dromel {

std::optional<ListCommand> ListKeys::command(const QKeyEvent &event, bool windowsKeys) {
    const Qt::KeyboardModifiers modifiers = event.modifiers();
    const bool control = modifiers.testFlag(Qt::ControlModifier);
    const bool alt = modifiers.testFlag(Qt::AltModifier);
    const bool shift = modifiers.testFlag(Qt::ShiftModifier);
    // Super has no part in these keys; held, it leaves Space and Return alone.
    const bool meta = modifiers.testFlag(Qt::MetaModifier);
    const int key = event.key();

    // Ctrl+Alt is AltGr on many layouts: those keys type characters.
    if (control && alt)
        return std::nullopt;
    if (key == Qt::Key_Escape)
        return ListCommand::deselectAll;
    if (key == Qt::Key_Space && !control && !alt && !meta)
        return ListCommand::preview;
    if ((key == Qt::Key_Return || key == Qt::Key_Enter) && !control && !alt && !meta)
        return windowsKeys ? ListCommand::open : ListCommand::rename;
    if (key == Qt::Key_F2)
        return ListCommand::rename;
    if (key == Qt::Key_F5 && windowsKeys)
        return ListCommand::refresh;
    // Shift+Delete deletes for good, as GNOME and KDE bind it (after a question).
    if (key == Qt::Key_Delete && shift && !control)
        return ListCommand::deletePermanently;
    if (key == Qt::Key_Delete)
        return control || windowsKeys ? std::optional(ListCommand::trash) : std::nullopt;
    if (!control)
        return std::nullopt;
    switch (key) {
    case Qt::Key_A:
        return ListCommand::selectAll;
    case Qt::Key_Z:
        return shift ? ListCommand::redo : ListCommand::undo;
    case Qt::Key_Y:
        // Redo's key on the other desktop; GNOME and KDE take Ctrl+Shift+Z.
        return windowsKeys && !shift ? std::optional(ListCommand::redo) : std::nullopt;
    case Qt::Key_X:
        return ListCommand::cut;
    case Qt::Key_V:
        return ListCommand::paste;
    case Qt::Key_N:
        return shift ? std::optional(ListCommand::newFolder) : std::nullopt;
    case Qt::Key_C:
        return ListCommand::copy;
    case Qt::Key_O:
        return ListCommand::open;
    case Qt::Key_M: // Nautilus's Make Link
        return shift ? std::nullopt : std::optional(ListCommand::makeLink);
    default:
        return std::nullopt;
    }
}

} // namespace dromel
