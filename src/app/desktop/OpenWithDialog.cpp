#include "desktop/OpenWithDialog.h"

#include "desktop/ApplicationIcon.h"
#include "desktop/ApplicationLauncher.h"
#include "presentation/Localization.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

namespace dromel {

namespace {
constexpr int kIdRole = Qt::UserRole;
}

OpenWithDialog *OpenWithDialog::ask(QWidget *window, ApplicationLauncher &launcher, std::string mimeType,
                                    std::vector<std::string> paths, Failure failed) {
    if (!window)
        return nullptr;
    auto *dialog =
        new OpenWithDialog(window, launcher, std::move(mimeType), std::move(paths), std::move(failed));
    dialog->open();
    dialog->m_search->setFocus();
    return dialog;
}

OpenWithDialog::OpenWithDialog(QWidget *window, ApplicationLauncher &launcher, std::string mimeType,
                               std::vector<std::string> paths, Failure failed)
    : QDialog(window), m_launcher(launcher), m_mimeType(std::move(mimeType)), m_paths(std::move(paths)),
      m_failed(std::move(failed)) {
    const Localization texts = Localization::current();
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowModality(Qt::WindowModal);
    setWindowTitle(texts.text(TextKey::openWithTitle));
    setAccessibleName(texts.text(TextKey::openWithTitle));
    resize(420, 480);

    m_search = new QLineEdit(this);
    m_search->setPlaceholderText(texts.text(TextKey::searchApplications));
    m_search->setAccessibleName(texts.text(TextKey::searchApplications));
    m_search->setClearButtonEnabled(true);
    m_list = new QListWidget(this);
    m_list->setAccessibleName(texts.text(TextKey::applications));
    m_list->setIconSize(QSize(24, 24));
    m_list->setUniformItemSizes(true);
    m_list->addItem(texts.text(TextKey::lookingForApplications));
    m_list->setEnabled(false);
    m_makeDefault = new QCheckBox(texts.text(TextKey::setAsDefault), this);
    m_makeDefault->setAccessibleName(texts.text(TextKey::setAsDefault));
    m_makeDefault->setEnabled(!m_mimeType.empty() && !m_paths.empty());
    m_makeDefault->setChecked(m_paths.empty());

    const TextKey action = m_paths.empty() ? TextKey::propApply : TextKey::open;
    m_open = new QPushButton(texts.text(action), this);
    m_open->setAccessibleName(texts.text(action));
    m_open->setDefault(true);
    m_open->setEnabled(false);
    auto *cancel = new QPushButton(texts.text(TextKey::cancel), this);
    cancel->setAccessibleName(texts.text(TextKey::cancel));
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_makeDefault);
    buttons->addStretch();
    buttons->addWidget(m_open);
    buttons->addWidget(cancel);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_search);
    layout->addWidget(m_list, 1);
    layout->addLayout(buttons);

    connect(m_search, &QLineEdit::textChanged, this, &OpenWithDialog::narrow);
    connect(m_list, &QListWidget::currentRowChanged, this, [this](int row) { m_open->setEnabled(row >= 0); });
    connect(m_list, &QListWidget::itemActivated, this, &OpenWithDialog::choose);
    connect(m_open, &QPushButton::clicked, this, &OpenWithDialog::choose);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    QPointer<OpenWithDialog> self(this);
    m_launcher.allApplications([self](std::vector<DesktopApplication> applications) {
        if (self)
            self->show(std::move(applications));
    });
}

void OpenWithDialog::show(std::vector<DesktopApplication> applications) {
    m_list->clear();
    m_list->setEnabled(true);
    m_applications = std::move(applications);
    for (const DesktopApplication &application : m_applications) {
        auto *item =
            new QListWidgetItem(ApplicationIcon::of(application), QString::fromStdString(application.name));
        item->setData(kIdRole, QString::fromStdString(application.id));
        item->setToolTip(QString::fromStdString(application.id));
        m_list->addItem(item);
    }
    narrow(m_search->text());
}

void OpenWithDialog::narrow(const QString &typed) {
    const QString wanted = typed.trimmed();
    int first = -1;
    for (int row = 0; row < m_list->count(); ++row) {
        QListWidgetItem *item = m_list->item(row);
        const bool shown = wanted.isEmpty() || item->text().contains(wanted, Qt::CaseInsensitive) ||
                           item->data(kIdRole).toString().contains(wanted, Qt::CaseInsensitive);
        item->setHidden(!shown);
        if (shown && first < 0)
            first = row;
    }
    if (!m_list->isEnabled())
        return;
    QListWidgetItem *current = m_list->currentItem();
    if (!current || current->isHidden())
        m_list->setCurrentRow(first);
}

void OpenWithDialog::choose() {
    QListWidgetItem *item = m_list->currentItem();
    if (!item || item->isHidden() || !m_list->isEnabled())
        return;
    const std::string id = item->data(kIdRole).toString().toStdString();
    if (m_makeDefault->isChecked() && !m_mimeType.empty())
        m_launcher.setDefault(id, m_mimeType, [failed = m_failed](bool written, const std::string &error) {
            if (!written && failed)
                failed(error);
        });
    if (!m_paths.empty())
        m_launcher.launch(id, m_paths, [failed = m_failed](bool launched, const std::string &error) {
            if (!launched && failed)
                failed(error);
        });
    const auto chosen =
        std::find_if(m_applications.begin(), m_applications.end(),
                     [&](const DesktopApplication &application) { return application.id == id; });
    if (chosen != m_applications.end() && onChosen)
        onChosen(*chosen);
    accept();
}

} // namespace dromel
