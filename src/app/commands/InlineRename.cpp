#include "commands/InlineRename.h"

#include "browser/BrowserStore.h"
#include "commands/detail/NameText.h"
#include "presentation/Localization.h"
#include "table/FileTable.h"
#include "table/FileTableModel.h"

#include <QKeyEvent>

namespace dromel {

InlineRename *InlineRename::begin(FileTable &table, BrowserStore &store, const FileEntry &entry,
                                  Versions versions, Commit commit) {
    for (InlineRename *open : table.viewport()->findChildren<InlineRename *>())
        open->finish(false);
    auto *editor = new InlineRename(table, store, entry, std::move(versions), std::move(commit));
    if (editor->row() < 0) {
        delete editor;
        return nullptr;
    }
    editor->place();
    editor->show();
    editor->setFocus(Qt::OtherFocusReason);
    editor->selectBaseName(entry.isNavigable());
    return editor;
}

InlineRename::InlineRename(FileTable &table, BrowserStore &store, const FileEntry &entry, Versions versions,
                           Commit commit)
    : QLineEdit(table.viewport()), m_table(table), m_store(store), m_entry(entry),
      m_versions(std::move(versions)), m_commit(std::move(commit)), m_tab(store.activeID()) {
    setText(NameText::show(entry.name()).text);
    setAccessibleName(Localization::current().text(TextKey::rename));
    setFrame(true);
    // A content render of the list: follow the item, or close when another
    // tab is shown or the item went away.
    connect(&m_table.fileModel(), &QAbstractItemModel::modelReset, this, [this] {
        if (m_store.activeID() != m_tab || row() < 0)
            finish(false);
        else
            place();
    });
}

// The name without its extension is selected, so typing keeps the type; a
// folder, a hidden name's leading dot or a name that is all extension selects
// everything. Two-part archive extensions (.tar.gz) stay with the extension.
void InlineRename::selectBaseName(bool folder) {
    const QString name = text();
    qsizetype dot = folder ? -1 : name.lastIndexOf(u'.');
    if (dot > 0) {
        const qsizetype inner = name.lastIndexOf(u'.', dot - 1);
        if (inner > 0 && name.mid(inner + 1, dot - inner - 1).compare(u"tar", Qt::CaseInsensitive) == 0)
            dot = inner;
    }
    if (dot <= 0)
        selectAll();
    else
        setSelection(0, dot);
}

int InlineRename::row() const {
    const FileTableModel &model = m_table.fileModel();
    const std::string id = m_entry.id();
    for (int row = 0; row < model.rowCount(); ++row)
        if (const FileEntry *entry = model.entryAt(row); entry && entry->id() == id)
            return row;
    return -1;
}

void InlineRename::place() {
    const QRect cell = m_table.visualRect(m_table.fileModel().index(row(), FileTableModel::nameColumn));
    setGeometry(cell.adjusted(0, 2, 0, -2));
}

void InlineRename::keyPressEvent(QKeyEvent *event) {
    // Both keys end here: passed on, Return would reach the list and open
    // the item.
    if (event->key() == Qt::Key_Escape || event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        event->accept();
        finish(event->key() != Qt::Key_Escape);
        return;
    }
    QLineEdit::keyPressEvent(event);
}

void InlineRename::focusOutEvent(QFocusEvent *event) {
    QLineEdit::focusOutEvent(event);
    // The user clicking or tabbing elsewhere leaves the name as it was; a
    // window losing activation or a popup does not end the edit.
    const Qt::FocusReason reason = event->reason();
    if (reason == Qt::MouseFocusReason || reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason)
        finish(false);
}

void InlineRename::finish(bool commit) {
    if (m_finished)
        return;
    m_finished = true;
    // Bytes the field cannot show stay as they were where the user left them.
    const std::optional<std::string> name = NameText::edited(m_entry.name(), text());
    hide();
    m_table.setFocus(Qt::OtherFocusReason);
    deleteLater();
    if (!commit || !m_commit)
        return;
    if (name)
        m_commit(m_entry.url(), *name, m_versions);
    else
        m_store.showError(Localization::current().text(TextKey::nameUndisplayable).toStdString());
}

} // namespace dromel
