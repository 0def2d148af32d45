#include "window/PathBar.h"

#include "core/Location.h"
#include "presentation/Localization.h"

#include <QAbstractItemView>
#include <QCompleter>
#include <QFileSystemModel>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QStackedLayout>
#include <QToolButton>

namespace dromel {

namespace {

QString display(const std::string &bytes) {
    return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

// Root first: "/", "/home", "/home/ada".
std::vector<std::string> ancestry(const std::string &folder) {
    std::vector<std::string> chain{folder};
    while (chain.back() != "/")
        chain.push_back(Location::parent(chain.back()));
    return {chain.rbegin(), chain.rend()};
}

} // namespace

PathBar::PathBar(QWidget *parent) : QWidget(parent) {
    m_stack = new QStackedLayout(this);
    m_stack->setContentsMargins(0, 0, 0, 0);

    m_breadcrumb = new QWidget(this);
    m_crumbLayout = new QHBoxLayout(m_breadcrumb);
    m_crumbLayout->setContentsMargins(0, 0, 0, 0);
    m_crumbLayout->setSpacing(0);
    m_overflow = new QToolButton(m_breadcrumb);
    m_overflow->setAutoRaise(true);
    m_overflow->setText(QStringLiteral("…"));
    m_overflow->setPopupMode(QToolButton::InstantPopup);
    m_overflow->setStyleSheet(QStringLiteral("QToolButton::menu-indicator { image: none; width: 0px; }"));
    m_overflow->setMenu(new QMenu(m_overflow));
    m_overflow->hide();
    m_stack->addWidget(m_breadcrumb);

    m_input = new QLineEdit(this);
    m_input->setClearButtonEnabled(true);
    m_input->installEventFilter(this);
    m_stack->addWidget(m_input);

    // Completion offers folders only; the model reads them off the main thread.
    m_folders = new QFileSystemModel(this);
    m_folders->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot | QDir::Hidden);
    m_folders->setRootPath(QString());
    m_completer = new QCompleter(m_folders, this);
    m_completer->setCompletionMode(QCompleter::PopupCompletion);
    m_completer->setCaseSensitivity(Qt::CaseSensitive);
    m_input->setCompleter(m_completer);
    connect(m_input, &QLineEdit::returnPressed, this, [this] { emit pathSubmitted(m_input->text()); });

    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    retranslate();
}

void PathBar::retranslate() {
    const Localization texts = Localization::current();
    m_breadcrumb->setAccessibleName(texts.text(TextKey::currentPath));
    m_input->setPlaceholderText(texts.text(TextKey::pathPlaceholder));
    m_input->setAccessibleName(texts.text(TextKey::editPath));
}

void PathBar::setFolder(const std::string &folder) {
    if (folder == m_folder)
        return;
    m_folder = folder;
    rebuildCrumbs();
}

void PathBar::rebuildCrumbs() {
    for (QToolButton *crumb : m_crumbs)
        crumb->deleteLater();
    while (QLayoutItem *item = m_crumbLayout->takeAt(0)) {
        if (item->widget() && item->widget() != m_overflow)
            item->widget()->deleteLater();
        delete item;
    }
    m_crumbs.clear();
    m_crumbFolders = ancestry(m_folder);
    m_crumbLayout->addWidget(m_overflow);
    for (std::size_t index = 0; index < m_crumbFolders.size(); ++index) {
        const std::string &crumbFolder = m_crumbFolders[index];
        auto *button = new QToolButton(m_breadcrumb);
        button->setAutoRaise(true);
        button->setText(crumbFolder == "/" ? QStringLiteral("/")
                                           : display(Location::lastComponent(crumbFolder)));
        button->setToolTip(display(crumbFolder));
        button->setAccessibleName(display(crumbFolder));
        button->setCheckable(true);
        button->setChecked(index + 1 == m_crumbFolders.size());
        button->setToolButtonStyle(Qt::ToolButtonTextOnly);
        const QByteArray target = QByteArray::fromStdString(crumbFolder);
        connect(button, &QToolButton::clicked, this, [this, button, target] {
            button->setChecked(target.toStdString() == m_folder);
            emit folderClicked(target);
        });
        m_crumbLayout->addWidget(button);
        m_crumbs.push_back(button);
    }
    m_crumbLayout->addStretch(1);
    fitCrumbs();
}

void PathBar::fitCrumbs() {
    if (m_crumbs.empty())
        return;
    // Hide crumbs from the root onward until the rest fits; the current
    // folder stays even when it alone is too wide (it then elides).
    const int available = m_breadcrumb->width();
    int needed = 0;
    for (QToolButton *crumb : m_crumbs)
        needed += crumb->sizeHint().width();
    std::size_t firstShown = 0;
    const int overflowWidth = m_overflow->sizeHint().width();
    while (firstShown + 1 < m_crumbs.size() && needed + (firstShown > 0 ? overflowWidth : 0) > available) {
        needed -= m_crumbs[firstShown]->sizeHint().width();
        ++firstShown;
    }
    QMenu *menu = m_overflow->menu();
    menu->clear();
    for (std::size_t index = 0; index < m_crumbs.size(); ++index) {
        m_crumbs[index]->setVisible(index >= firstShown);
        if (index < firstShown) {
            const QByteArray target = QByteArray::fromStdString(m_crumbFolders[index]);
            menu->addAction(m_crumbs[index]->toolTip(), this, [this, target] { emit folderClicked(target); });
        }
    }
    m_overflow->setVisible(firstShown > 0);
}

QSize PathBar::minimumSizeHint() const {
    constexpr int kMinimumWidth = 140;
    return {kMinimumWidth, QWidget::minimumSizeHint().height()};
}

void PathBar::resizeEvent(QResizeEvent *event) {
    QWidget::resizeEvent(event);
    fitCrumbs();
}

void PathBar::beginEditing() {
    m_input->setText(display(m_folder));
    m_stack->setCurrentWidget(m_input);
    m_input->setFocus(Qt::ShortcutFocusReason);
    m_input->selectAll();
}

void PathBar::endEditing() {
    m_completer->popup()->hide();
    m_stack->setCurrentWidget(m_breadcrumb);
}

bool PathBar::isEditing() const {
    return m_stack->currentWidget() == m_input;
}

bool PathBar::eventFilter(QObject *watched, QEvent *event) {
    if (watched == m_input && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent *>(event)->key() == Qt::Key_Escape && !m_completer->popup()->isVisible()) {
        emit editingCancelled();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace dromel
