#include "properties/PropertiesDialog.h"

#include "core/Location.h"
#include "desktop/ApplicationLauncher.h"
#include "desktop/OpenWithDialog.h"
#include "presentation/Localization.h"
#include "runtime/MainThread.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFile>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

#include <unistd.h>

namespace dromel {

namespace {

QString shown(const std::string &bytes) {
    return QFile::decodeName(QByteArray::fromStdString(bytes));
}

} // namespace

PropertiesDialog *PropertiesDialog::show(QWidget *window, std::vector<std::string> paths) {
    if (!window || paths.empty())
        return nullptr;
    auto *dialog = new PropertiesDialog(window, std::move(paths));
    dialog->open();
    return dialog;
}

PropertiesDialog::PropertiesDialog(QWidget *window, std::vector<std::string> paths)
    : QDialog(window), m_paths(std::move(paths)), m_cancelled(std::make_shared<std::atomic<bool>>(false)),
      m_launcher(new ApplicationLauncher(this)),
      // A folder's tally may read a whole tree: it gives way to the user's copies.
      m_queue({QueueNames::identified("properties"), 1, QueuePriority::utility}) {
    const Localization texts = Localization::current();
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowModality(Qt::WindowModal);
    const QString title =
        m_paths.size() == 1
            ? texts.format(TextKey::propertiesTitle, shown(Location::lastComponent(m_paths.front())))
            : texts.format(TextKey::propSeveral, static_cast<qint64>(m_paths.size()));
    setWindowTitle(title);
    setAccessibleName(title);
    setMinimumWidth(440);

    m_form = new QFormLayout;
    m_form->setFieldGrowthPolicy(QFormLayout::ExpandingFieldsGrow);
    m_form->setLabelAlignment(Qt::AlignRight);
    auto *buttons = new QDialogButtonBox(this);
    QPushButton *close = buttons->addButton(texts.text(TextKey::propClose), QDialogButtonBox::RejectRole);
    close->setAccessibleName(texts.text(TextKey::propClose));
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(m_form);
    layout->addStretch();
    layout->addWidget(buttons);

    // The facts first, then the count, on one queue: the count can take long.
    auto facts = m_lifetime.guard([this](std::vector<ItemFacts> read) { showFacts(std::move(read)); });
    auto progress = m_lifetime.guard([this](FolderTally::Tally tally) { showTally(tally); });
    m_queue.async([paths = m_paths, facts = std::move(facts), progress = std::move(progress),
                   cancelled = m_cancelled]() mutable {
        std::vector<ItemFacts> read;
        for (const std::string &path : paths)
            read.push_back(ItemFacts::read(path));
        MainThread::post([facts, read = std::move(read)]() mutable { facts(std::move(read)); });
        FolderTally::Tally total;
        for (const std::string &path : paths) {
            const FolderTally::Tally before = total;
            total = FolderTally::count(path, *cancelled, [&](const FolderTally::Tally &partial) {
                FolderTally::Tally sum = partial;
                sum.items += before.items;
                sum.bytes += before.bytes;
                sum.allocated += before.allocated;
                sum.finished = false;
                MainThread::post([progress, sum]() mutable { progress(sum); });
            });
            total.items += before.items;
            total.bytes += before.bytes;
            total.allocated += before.allocated;
            if (cancelled->load())
                return;
        }
        total.finished = true;
        MainThread::post([progress, total]() mutable { progress(total); });
    });
}

// The count stops at its next item; the queue then waits for it to return.
PropertiesDialog::~PropertiesDialog() {
    m_cancelled->store(true);
}

void PropertiesDialog::addRow(QFormLayout *form, TextKey key, const QString &value) {
    auto *label = new QLabel(value, this);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    label->setAccessibleName(Localization::current().text(key));
    form->addRow(Localization::current().text(key), label);
}

void PropertiesDialog::showFacts(std::vector<ItemFacts> facts) {
    const Localization texts = Localization::current();
    m_factsShown = true;
    if (facts.size() == 1) {
        const ItemFacts &item = facts.front();
        addRow(m_form, TextKey::nameColumn, shown(Location::lastComponent(item.path)));
        addRow(m_form, TextKey::propKind, QString::fromStdString(item.kind));
        addRow(m_form, TextKey::propLocation, shown(Location::parent(item.path)));
        if (item.link)
            addRow(m_form, TextKey::propLinkTarget, shown(item.linkTarget));
    } else {
        addRow(m_form, TextKey::nameColumn,
               texts.format(TextKey::propSeveral, static_cast<qint64>(facts.size())));
        addRow(m_form, TextKey::propLocation, shown(Location::parent(facts.front().path)));
    }
    m_contents = new QLabel(this);
    m_contents->setAccessibleName(texts.text(TextKey::propContents));
    m_contents->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_form->addRow(texts.text(TextKey::propSize), m_contents);
    m_onDisk = new QLabel(this);
    m_onDisk->setAccessibleName(texts.text(TextKey::propSizeOnDisk));
    m_form->addRow(texts.text(TextKey::propSizeOnDisk), m_onDisk);
    m_singleFile = facts.size() == 1 && !facts.front().folder;
    showTally(m_tally);
    if (facts.size() == 1) {
        const ItemFacts &item = facts.front();
        addRow(m_form, TextKey::propModified, texts.date(item.modified));
        addRow(m_form, TextKey::propAccessed, texts.date(item.accessed));
        addRow(m_form, TextKey::propChanged, texts.date(item.changed));
        addRow(m_form, TextKey::propCreated,
               item.created ? texts.date(*item.created) : texts.text(TextKey::propUnknown));
        addRow(m_form, TextKey::propOwner, QString::fromStdString(item.ownerName));
        addRow(m_form, TextKey::propGroup, QString::fromStdString(item.groupName));
        addPermissions(item);
        QString volume = shown(item.volume);
        if (item.volumeFree >= 0)
            volume = texts.format(TextKey::propTotal, volume,
                                  texts.format(TextKey::freeSpace, texts.bytes(item.volumeFree)));
        addRow(m_form, TextKey::propVolume, volume);
        if (!item.folder)
            addApplicationRow(item);
    }
}

void PropertiesDialog::addPermissions(const ItemFacts &item) {
    const Localization texts = Localization::current();
    // chmod is the owner's (or root's); a link has no mode of its own.
    const bool editable = !item.link && (::geteuid() == 0 || item.owner == ::geteuid());
    m_mode = item.mode & 0777u;
    auto *grid = new QGridLayout;
    const TextKey columns[] = {TextKey::propRead, TextKey::propWrite, TextKey::propExecute};
    const TextKey rows[] = {TextKey::propOwner, TextKey::propGroup, TextKey::propOthers};
    for (int column = 0; column < 3; ++column)
        grid->addWidget(new QLabel(texts.text(columns[column]), this), 0, column + 1, Qt::AlignHCenter);
    const auto edited = [this] {
        if (m_applyPermissions)
            m_applyPermissions->setEnabled(true);
    };
    for (int row = 0; row < 3; ++row) {
        grid->addWidget(new QLabel(texts.text(rows[row]), this), row + 1, 0);
        for (int column = 0; column < 3; ++column) {
            auto *box = new QCheckBox(this);
            const unsigned bit = 0400u >> (row * 3 + column);
            box->setChecked(item.mode & bit);
            box->setAccessibleName(texts.text(rows[row]) + QLatin1Char(' ') + texts.text(columns[column]));
            box->setEnabled(editable);
            connect(box, &QCheckBox::toggled, this, edited);
            grid->addWidget(box, row + 1, column + 1, Qt::AlignHCenter);
            m_permissions.push_back(box);
        }
    }
    auto *field = new QVBoxLayout;
    field->addLayout(grid);
    auto *actions = new QHBoxLayout;
    if (item.folder) {
        m_enclosed = new QCheckBox(texts.text(TextKey::propApplyEnclosed), this);
        m_enclosed->setAccessibleName(texts.text(TextKey::propApplyEnclosed));
        m_enclosed->setEnabled(editable);
        connect(m_enclosed, &QCheckBox::toggled, this, edited);
        actions->addWidget(m_enclosed);
    }
    actions->addStretch();
    m_applyPermissions = new QPushButton(texts.text(TextKey::propApply), this);
    m_applyPermissions->setAccessibleName(texts.text(TextKey::propApply));
    m_applyPermissions->setEnabled(false);
    m_applyPermissions->setVisible(editable);
    connect(m_applyPermissions, &QPushButton::clicked, this, &PropertiesDialog::applyPermissions);
    actions->addWidget(m_applyPermissions);
    field->addLayout(actions);
    m_form->addRow(texts.text(TextKey::propPermissions), field);
}

// The bits the user changed; with "apply to enclosed items" the whole shown
// mode, so everything inside ends up alike (files keep their execute bits).
void PropertiesDialog::applyPermissions() {
    unsigned bits = 0;
    for (std::size_t index = 0; index < m_permissions.size(); ++index)
        if (m_permissions[index]->isChecked())
            bits |= 0400u >> index;
    const bool enclosed = m_enclosed && m_enclosed->isChecked();
    const unsigned mask = enclosed ? 0777u : (bits ^ m_mode);
    m_applyPermissions->setEnabled(false);
    if (mask == 0 || !onChangePermissions)
        return;
    m_mode = bits;
    onChangePermissions(m_paths, PermissionChange{mask, bits, enclosed, {}});
}

void PropertiesDialog::addApplicationRow(const ItemFacts &item) {
    const Localization texts = Localization::current();
    m_application = new QLabel(item.opensWith.empty() ? texts.text(TextKey::propNone)
                                                      : QString::fromStdString(item.opensWith),
                               this);
    m_application->setAccessibleName(texts.text(TextKey::propOpensWith));
    m_changeApplication = new QPushButton(texts.text(TextKey::propChange), this);
    m_changeApplication->setAccessibleName(texts.text(TextKey::propChange));
    auto *row = new QHBoxLayout;
    row->addWidget(m_application, 1);
    row->addWidget(m_changeApplication);
    m_form->addRow(texts.text(TextKey::propOpensWith), row);
    connect(m_changeApplication, &QPushButton::clicked, this, [this, mimeType = item.mimeType] {
        OpenWithDialog *chooser = OpenWithDialog::ask(this, *m_launcher, mimeType, {}, {});
        if (chooser)
            chooser->onChosen = [label =
                                     QPointer<QLabel>(m_application)](const DesktopApplication &application) {
                if (label)
                    label->setText(QString::fromStdString(application.name));
            };
    });
}

void PropertiesDialog::showTally(const FolderTally::Tally &tally) {
    m_tally = tally;
    if (!m_contents)
        return;
    const Localization texts = Localization::current();
    const QString items = texts.count(TextKey::items, tally.items);
    const QString size = texts.bytes(tally.bytes);
    m_onDisk->setText(texts.bytes(tally.allocated));
    if (m_singleFile)
        m_contents->setText(size);
    else
        m_contents->setText(
            texts.format(tally.finished ? TextKey::propTotal : TextKey::propCounting, items, size));
}

} // namespace dromel
