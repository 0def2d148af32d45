#include "operations/OperationPanel.h"

#include "engine/OperationService.h"
#include "operations/OperationText.h"
#include "operations/TaskTitle.h"
#include "presentation/Localization.h"

#include <QComboBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

#include <algorithm>

namespace dromel {

namespace {

constexpr int kProgressSteps = 1000;
constexpr int kDetailMinimumHeight = 200;
constexpr const char *kRecoveryScheme = "recovery";
const QString kNone = QStringLiteral("\u2014");

QString optionalPath(const std::optional<std::string> &path) {
    return path ? OperationText::path(*path) : kNone;
}

} // namespace

OperationPanel::OperationPanel(OperationService &service, QWidget *owner)
    : m_service(service), m_window(new QWidget(owner, Qt::Window)) {
    build();
    update();
}

OperationPanel::~OperationPanel() {
    delete m_window; // null when the owner already destroyed it
}

void OperationPanel::build() {
    const Localization l10n = Localization::current();
    QWidget *window = m_window;
    window->setWindowTitle(l10n.text(TextKey::operations));
    window->setAccessibleName(l10n.text(TextKey::operations));
    window->resize(kInitialSize);
    window->setMinimumSize(kMinimumSize);

    m_notice = new QLabel(l10n.text(TextKey::journalReadOnly), window);
    m_notice->setWordWrap(true);
    m_notice->setAccessibleName(l10n.text(TextKey::journalReadOnly));
    m_notice->setVisible(false);
    m_picker = new QComboBox(window);
    m_picker->setAccessibleName(l10n.text(TextKey::operations));
    m_summary = new QLabel(window);
    m_summary->setWordWrap(true);
    m_progress = new QProgressBar(window);
    m_progress->setTextVisible(false);
    m_bytes = new QLabel(window);
    QFont caption = m_bytes->font();
    caption.setPointSizeF(caption.pointSizeF() - 2);
    m_bytes->setFont(caption);
    m_detail = new QTextBrowser(window);
    m_detail->setReadOnly(true);
    m_detail->setOpenLinks(false);
    m_detail->setMinimumHeight(kDetailMinimumHeight);
    m_detail->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_detail->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);

    auto makeButton = [&](TextKey key) {
        auto *button = new QPushButton(l10n.text(key), window);
        button->setAccessibleName(l10n.text(key));
        button->setAutoDefault(false);
        return button;
    };
    m_cancelButton = makeButton(TextKey::cancelTask);
    m_retryButton = makeButton(TextKey::retryTask);
    m_undoButton = makeButton(TextKey::undoFileOperation);
    m_cleanUpButton = makeButton(TextKey::cleanUpTask);
    m_cleanUpButton->setEnabled(false);
    m_dismissButton = makeButton(TextKey::dismissTask);

    auto *buttons = new QHBoxLayout;
    buttons->setSpacing(8);
    buttons->addWidget(m_cancelButton);
    buttons->addWidget(m_retryButton);
    buttons->addWidget(m_undoButton);
    buttons->addWidget(m_cleanUpButton);
    buttons->addStretch();
    buttons->addWidget(m_dismissButton);

    auto *stack = new QVBoxLayout(window);
    stack->setSpacing(12);
    stack->setContentsMargins(16, 16, 16, 16);
    stack->addWidget(m_notice);
    stack->addWidget(m_picker);
    stack->addWidget(m_summary);
    stack->addWidget(m_progress);
    stack->addWidget(m_bytes);
    stack->addWidget(m_detail, 1);
    stack->addLayout(buttons);

    connect(m_picker, &QComboBox::activated, this, &OperationPanel::selected);
    connect(m_cancelButton, &QPushButton::clicked, this, &OperationPanel::cancel);
    connect(m_retryButton, &QPushButton::clicked, this, &OperationPanel::retry);
    connect(m_undoButton, &QPushButton::clicked, this, &OperationPanel::undoFile);
    connect(m_cleanUpButton, &QPushButton::clicked, this, &OperationPanel::cleanUp);
    connect(m_dismissButton, &QPushButton::clicked, this, &OperationPanel::dismiss);
    connect(m_detail, &QTextBrowser::anchorClicked, this, &OperationPanel::linkClicked);
}

void OperationPanel::show() {
    const auto &tasks = m_service.tasks();
    const auto running = std::find_if(tasks.begin(), tasks.end(),
                                      [](const FileOperationTask &t) { return !isTerminal(t.phase); });
    if (running != tasks.end())
        m_selectedID = running->id();
    else if (!tasks.empty())
        m_selectedID = tasks.front().id();
    update();
    bringUp();
}

void OperationPanel::showTask(const Uuid &id) {
    if (m_service.task(id))
        m_selectedID = id;
    update();
    bringUp();
}

void OperationPanel::bringUp() {
    if (!m_centred) {
        m_centred = true;
        QWidget *owner = m_window->parentWidget();
        const QRect area = owner && owner->isVisible()
                               ? owner->frameGeometry()
                               : (m_window->screen() ? m_window->screen()->availableGeometry() : QRect());
        if (area.isValid())
            m_window->move(area.center() - m_window->rect().center());
    }
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
}

void OperationPanel::update() {
    const Localization l10n = Localization::current();
    const auto &tasks = m_service.tasks();
    QStringList ids;
    QStringList titles;
    for (const FileOperationTask &task : tasks) {
        ids << QString::fromStdString(task.id().text());
        titles << TaskTitle::of(task) + QStringLiteral(" \u2014 ") + OperationText::phase(task);
    }

    QStringList shown;
    for (int i = 0; i < m_picker->count(); ++i)
        shown << m_picker->itemData(i).toString();
    if (shown != ids) {
        m_picker->clear();
        for (qsizetype i = 0; i < ids.size(); ++i)
            m_picker->addItem(titles[i], ids[i]);
    } else {
        for (qsizetype i = 0; i < ids.size(); ++i)
            m_picker->setItemText(int(i), titles[i]);
    }

    if (m_selectedID) {
        const int index = m_picker->findData(QString::fromStdString(m_selectedID->text()));
        if (index >= 0)
            m_picker->setCurrentIndex(index);
    }
    const int current = m_picker->currentIndex();
    m_selectedID =
        current >= 0 ? Uuid::parse(m_picker->itemData(current).toString().toStdString()) : std::nullopt;
    render();
}

void OperationPanel::render() {
    const Localization l10n = Localization::current();
    const bool readOnly = m_service.readOnly();
    m_notice->setVisible(readOnly);
    m_undoButton->setEnabled(m_service.canUndo());
    TextKey tip = TextKey::undoEmpty;
    if (m_service.busy())
        tip = TextKey::undoBusy;
    else if (m_service.canUndo())
        tip = TextKey::undoScope;
    else if (m_service.hasUndoHistory())
        tip = TextKey::undoUnavailable;
    m_undoButton->setToolTip(l10n.text(tip));

    const FileOperationTask *task = m_selectedID ? m_service.task(*m_selectedID) : nullptr;
    if (!task) {
        m_summary->setText(l10n.text(TextKey::noTasks));
        m_progress->hide();
        m_progress->setRange(0, kProgressSteps);
        m_progress->setValue(0);
        m_bytes->clear();
        m_cancelButton->setEnabled(false);
        m_retryButton->setEnabled(false);
        m_cleanUpButton->setEnabled(false);
        m_dismissButton->setEnabled(false);
        renderDetail();
        return;
    }

    const bool terminal = isTerminal(task->phase);
    const bool knownTotal = task->phase == OperationPhase::copying && task->totalBytes >= 1;
    m_summary->setText(OperationText::summary(*task));
    m_progress->setVisible(!terminal);
    if (knownTotal) {
        m_progress->setRange(0, kProgressSteps);
        const double fraction = double(task->bytes) / double(task->totalBytes);
        m_progress->setValue(int(std::clamp(fraction, 0.0, 1.0) * kProgressSteps));
    } else {
        m_progress->setRange(0, terminal ? kProgressSteps : 0); // 0..0 animates
        m_progress->setValue(0);
    }
    m_bytes->setText(knownTotal ? l10n.format(TextKey::operationProgress, l10n.bytes(task->bytes),
                                              l10n.bytes(task->totalBytes))
                                : QString());
    m_cancelButton->setEnabled(!terminal);
    m_cleanUpButton->setEnabled(m_service.canCleanUp(task->id()));
    m_retryButton->setEnabled(terminal && task->phase != OperationPhase::completed && !task->request.undo() &&
                              !retrying(task->id()));
    m_dismissButton->setEnabled(terminal);
    if (readOnly) // the tasks belong to the process that holds the journal
        for (QPushButton *button : {m_cancelButton, m_retryButton, m_cleanUpButton, m_dismissButton})
            button->setEnabled(false);
    renderDetail();
}

// Blocks separated by a blank line; each recovery path is a link that opens
// its folder. The plain text of the document is exactly the texts shown.
void OperationPanel::renderDetail() {
    const Localization l10n = Localization::current();
    m_links.clear();
    QStringList blocks;
    auto recoveryLine = [&](const std::string &path) {
        const QString link = QStringLiteral("%1:%2").arg(kRecoveryScheme).arg(m_links.size());
        m_links.push_back(path);
        return QStringLiteral("<a href=\"%1\">%2</a>")
            .arg(link, l10n.format(TextKey::operationRecovery, OperationText::path(path)).toHtmlEscaped());
    };

    const FileOperationTask *task = m_selectedID ? m_service.task(*m_selectedID) : nullptr;
    if (!task) {
        if (const auto &problem = m_service.startupError())
            blocks << OperationText::problem(*problem).toHtmlEscaped();
    } else {
        if (task->phase == OperationPhase::needsReview && !OperationText::reviewCause(*task).isEmpty())
            blocks << OperationText::reviewCause(*task).toHtmlEscaped();
        for (const FileOperationResult &result : task->results) {
            if (!result.source && !result.destination)
                continue; // the whole task's cause, shown above
            QString block = l10n.format(TextKey::operationResult, OperationText::outcome(result.outcome),
                                        optionalPath(result.source), optionalPath(result.destination))
                                .toHtmlEscaped();
            if (result.problem)
                block += '\n' + OperationText::problem(*result.problem).toHtmlEscaped();
            // Where the trash put what a success moved aside; what failures
            // left is listed once, below.
            if (result.outcome == ItemOutcome::succeeded)
                for (const std::string &path : result.recoveryPaths)
                    block += '\n' + recoveryLine(path);
            blocks << block;
        }
        const std::vector<std::string> left = OperationText::leftovers(*task);
        if (!left.empty())
            blocks << l10n.text(TextKey::reviewLeftovers).toHtmlEscaped();
        for (const std::string &path : left)
            blocks << recoveryLine(path);
    }
    const int scroll = m_detail->verticalScrollBar() ? m_detail->verticalScrollBar()->value() : 0;
    m_detail->setHtml(
        QStringLiteral("<div style=\"white-space: pre-wrap\">%1</div>").arg(blocks.join("\n\n")));
    m_detail->verticalScrollBar()->setValue(scroll);
}

void OperationPanel::selected(int index) {
    m_selectedID =
        index >= 0 ? Uuid::parse(m_picker->itemData(index).toString().toStdString()) : std::nullopt;
    render();
}

void OperationPanel::cancel() {
    if (m_selectedID)
        m_service.cancel(*m_selectedID);
}

// The retry is a new task; the window follows it, and the old task's Retry
// stays off while it runs, so a second press cannot start it twice.
void OperationPanel::retry() {
    if (!m_selectedID || retrying(*m_selectedID))
        return;
    const Uuid old = *m_selectedID;
    m_retries[old] = std::nullopt;
    render();
    QPointer<OperationPanel> self(this);
    m_service.retry(old, [self, old](std::optional<Uuid> id) {
        if (!self)
            return;
        if (id) {
            self->m_retries[old] = id;
            self->m_selectedID = id;
        } else {
            self->m_retries.erase(old);
        }
        self->update();
    });
}

bool OperationPanel::retrying(const Uuid &id) const {
    const auto found = m_retries.find(id);
    if (found == m_retries.end())
        return false;
    if (!found->second)
        return true; // admission pending
    const FileOperationTask *retry = m_service.task(*found->second);
    return retry && !isTerminal(retry->phase);
}

void OperationPanel::dismiss() {
    if (!m_selectedID)
        return;
    const FileOperationTask *task = m_service.task(*m_selectedID);
    if (!task || !isTerminal(task->phase))
        return;
    // The next task down the list takes its place.
    const auto &tasks = m_service.tasks();
    const auto at = std::find_if(tasks.begin(), tasks.end(),
                                 [&](const FileOperationTask &t) { return t.id() == *m_selectedID; });
    std::optional<Uuid> next;
    if (at != tasks.end() && at + 1 != tasks.end())
        next = (at + 1)->id();
    else if (at != tasks.begin() && at != tasks.end())
        next = (at - 1)->id();
    const Uuid id = *m_selectedID;
    m_selectedID = next;
    m_service.dismiss(id);
    update();
}

void OperationPanel::undoFile() {
    QPointer<OperationPanel> self(this);
    m_service.undoLast([self](std::optional<Uuid> id) {
        if (!self || !id)
            return;
        self->m_selectedID = id;
        self->update();
    });
}

void OperationPanel::cleanUp() {
    if (!m_selectedID)
        return;
    m_cleanUpButton->setEnabled(false); // once: the service re-reads the stages
    QPointer<OperationPanel> self(this);
    m_service.cleanUp(*m_selectedID, [self](std::optional<std::size_t>) {
        if (self)
            self->update();
    });
}

void OperationPanel::linkClicked(const QUrl &link) {
    if (link.scheme() != QLatin1String(kRecoveryScheme))
        return;
    bool ok = false;
    const qsizetype index = link.path().toLongLong(&ok);
    if (ok && index >= 0 && index < qsizetype(m_links.size()) && onOpenPath)
        onOpenPath(m_links[size_t(index)]);
}

} // namespace dromel
