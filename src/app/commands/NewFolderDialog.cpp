#include "commands/NewFolderDialog.h"

#include "presentation/Localization.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace dromel {

NewFolderDialog *NewFolderDialog::ask(QWidget *window, std::function<void(const QString &)> create) {
    if (!window)
        return nullptr;
    auto *dialog = new NewFolderDialog(window, std::move(create));
    dialog->open();
    dialog->m_field->setFocus();
    dialog->m_field->selectAll();
    return dialog;
}

NewFolderDialog::NewFolderDialog(QWidget *window, std::function<void(const QString &)> create)
    : QDialog(window), m_create(std::move(create)) {
    const Localization l10n = Localization::current();
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowModality(Qt::WindowModal);
    setWindowTitle(l10n.text(TextKey::newFolder));
    setAccessibleName(l10n.text(TextKey::newFolder));

    auto *message = new QLabel(l10n.text(TextKey::newFolder), this);
    QFont bold = message->font();
    bold.setBold(true);
    message->setFont(bold);
    m_field = new QLineEdit(l10n.text(TextKey::newFolderName), this);
    m_field->setFixedSize(kFieldSize);
    m_field->setAccessibleName(l10n.text(TextKey::nameColumn));

    auto *createButton = new QPushButton(l10n.text(TextKey::create), this);
    createButton->setAccessibleName(l10n.text(TextKey::create));
    createButton->setDefault(true);
    auto *cancelButton = new QPushButton(l10n.text(TextKey::cancel), this);
    cancelButton->setAccessibleName(l10n.text(TextKey::cancel));
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(createButton);
    buttons->addWidget(cancelButton);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(message);
    layout->addWidget(m_field);
    layout->addLayout(buttons);

    connect(createButton, &QPushButton::clicked, this, [this] {
        const QString text = m_field->text();
        accept();
        if (m_create)
            m_create(text);
    });
    connect(cancelButton, &QPushButton::clicked, this, &QDialog::reject);
}

} // namespace dromel
