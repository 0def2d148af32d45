#include "operations/TaskBanner.h"

#include "operations/OperationText.h"
#include "operations/TaskTitle.h"
#include "presentation/Localization.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QToolButton>

#include <algorithm>

namespace dromel {

namespace {

// The first problem of the task, on one line.
QString reason(const FileOperationTask &task) {
    const auto failed =
        std::find_if(task.results.begin(), task.results.end(),
                     [](const FileOperationResult &result) { return result.problem.has_value(); });
    const OperationProblem problem = failed != task.results.end()
                                         ? *failed->problem
                                         : OperationProblem(OperationProblem::Code::interrupted, "", "");
    return OperationText::problem(problem).replace('\n', QStringLiteral(" \u00B7 "));
}

} // namespace

TaskBanner::TaskBanner(QWidget *parent) : QWidget(parent) {
    const Localization l10n = Localization::current();
    setAutoFillBackground(true);
    QPalette tint = palette();
    tint.setColor(QPalette::Window, QColor(0xd0, 0x2c, 0x2c, 0x22));
    setPalette(tint);

    auto *icon = new QLabel(this);
    const int side = style()->pixelMetric(QStyle::PM_SmallIconSize, nullptr, this);
    icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxWarning, nullptr, this).pixmap(side, side));
    m_label = new QLabel(this);
    m_label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    m_label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_open = new QPushButton(l10n.text(TextKey::showTask), this);
    m_open->setAccessibleName(l10n.text(TextKey::showTask));
    m_open->setAutoDefault(false);
    m_close = new QToolButton(this);
    m_close->setText(QStringLiteral("\u2715"));
    m_close->setAccessibleName(l10n.text(TextKey::dismissError));
    m_close->setToolTip(l10n.text(TextKey::dismissError));
    m_close->setAutoRaise(true);

    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(12, 4, 6, 4);
    layout->addWidget(icon);
    layout->addWidget(m_label, 1);
    layout->addWidget(m_open);
    layout->addWidget(m_close);

    connect(m_open, &QPushButton::clicked, this, [this] {
        const std::optional<Uuid> id = m_task;
        if (!id)
            return;
        forget(*id);
        if (onOpen)
            onOpen(*id);
    });
    connect(m_close, &QToolButton::clicked, this, [this] {
        m_task.reset();
        hide();
    });
    hide();
}

bool TaskBanner::needsAttention(const FileOperationTask &task) {
    if (task.phase == OperationPhase::failed ||
        (task.phase == OperationPhase::needsReview && !task.cleanedUp))
        return true;
    return task.phase == OperationPhase::partial &&
           std::any_of(task.results.begin(), task.results.end(), [](const FileOperationResult &result) {
               return result.outcome == ItemOutcome::failed;
           });
}

void TaskBanner::showTask(const FileOperationTask &task) {
    const Localization l10n = Localization::current();
    m_task = task.id();
    const QString text =
        l10n.format(TextKey::taskBanner, TaskTitle::of(task), OperationText::phase(task), reason(task));
    m_label->setText(text);
    m_label->setToolTip(text);
    m_open->show();
    show();
}

void TaskBanner::showNotice(const QString &text) {
    m_task.reset();
    m_label->setText(text);
    m_label->setToolTip(text);
    m_open->hide();
    show();
}

void TaskBanner::forget(const Uuid &id) {
    if (m_task != id)
        return;
    m_task.reset();
    hide();
}

} // namespace dromel
