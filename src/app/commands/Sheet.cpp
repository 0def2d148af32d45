#include "commands/Sheet.h"

#include <QCheckBox>
#include <QMessageBox>
#include <QPushButton>
#include <QWidget>

namespace dromel::Sheet {

namespace {
constexpr const char *kDismissed = "dromelDismissed";
}

QMessageBox *ask(QWidget *window, const QString &message, const QString &details, const QStringList &buttons,
                 int escapeButton, Answer answer, const QString &checkBox) {
    if (!window) {
        answer(-1, false);
        return nullptr;
    }
    auto *box = new QMessageBox(window);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::WindowModal);
    box->setIcon(QMessageBox::Warning);
    box->setText(message);
    box->setInformativeText(details);
    box->setAccessibleName(message);
    QList<QPushButton *> pushButtons;
    for (const QString &title : buttons) {
        // One role for all: the button box then keeps the order given.
        QPushButton *button = box->addButton(title, QMessageBox::ActionRole);
        button->setAccessibleName(title);
        pushButtons << button;
    }
    if (escapeButton >= 0 && escapeButton < pushButtons.size())
        box->setEscapeButton(pushButtons[escapeButton]);
    if (!pushButtons.isEmpty())
        box->setDefaultButton(pushButtons.front());
    if (!checkBox.isEmpty()) {
        auto *check = new QCheckBox(checkBox, box);
        check->setAccessibleName(checkBox);
        box->setCheckBox(check);
    }
    QObject::connect(box, &QMessageBox::finished, box, [box, pushButtons, answer = std::move(answer)](int) {
        const bool checked = box->checkBox() && box->checkBox()->isChecked();
        const int index = box->property(kDismissed).toBool()
                              ? -1
                              : int(pushButtons.indexOf(qobject_cast<QPushButton *>(box->clickedButton())));
        answer(index, checked);
    });
    box->open();
    return box;
}

void dismiss(QMessageBox *sheet) {
    if (!sheet)
        return;
    sheet->setProperty(kDismissed, true);
    sheet->done(-1);
}

} // namespace dromel::Sheet
