#include "desktop/ItemOpener.h"

#include "core/Location.h"
#include "desktop/ApplicationLauncher.h"
#include "desktop/OpenWithDialog.h"
#include "presentation/Localization.h"

#include <QMessageBox>
#include <QPushButton>

namespace dromel {

namespace {
constexpr const char *kTextType = "text/plain";
}

ItemOpener::ItemOpener(QWidget *window, ApplicationLauncher &launcher, Failure failed, QObject *parent)
    : QObject(parent), m_window(window), m_launcher(launcher), m_failed(std::move(failed)) {}

void ItemOpener::open(std::vector<std::string> paths) {
    if (paths.empty())
        return;
    QPointer<ItemOpener> self(this);
    m_launcher.plan(std::move(paths), [self](std::vector<OpenGroup> groups) {
        if (!self)
            return;
        const bool idle = self->m_pending.empty() && !self->m_question;
        for (OpenGroup &group : groups)
            self->m_pending.push_back(std::move(group));
        if (idle)
            self->next();
    });
}

void ItemOpener::chooseApplication(std::vector<std::string> paths) {
    if (paths.empty())
        return;
    QPointer<ItemOpener> self(this);
    m_launcher.applicationsFor(paths, [self, paths](std::string mimeType, std::vector<DesktopApplication>) {
        if (self)
            OpenWithDialog::ask(self->m_window, self->m_launcher, std::move(mimeType), paths,
                                [self, first = paths.front()](const std::string &error) {
                                    if (self && self->m_failed)
                                        self->m_failed(first, error);
                                });
    });
}

void ItemOpener::next() {
    while (!m_pending.empty() && !m_question) {
        OpenGroup group = std::move(m_pending.front());
        m_pending.pop_front();
        if (group.executable) {
            ask(group);
        } else if (group.applications.empty()) {
            QPointer<ItemOpener> self(this);
            OpenWithDialog::ask(m_window, m_launcher, group.mimeType, group.paths,
                                [self, first = group.paths.front()](const std::string &error) {
                                    if (self && self->m_failed)
                                        self->m_failed(first, error);
                                });
        } else {
            QPointer<ItemOpener> self(this);
            m_launcher.launch(group.applications.front().id, group.paths,
                              [self, first = group.paths.front()](bool launched, const std::string &error) {
                                  if (!launched && self && self->m_failed)
                                      self->m_failed(first, error);
                              });
        }
    }
}

void ItemOpener::ask(const OpenGroup &group) {
    if (!m_window)
        return;
    const Localization texts = Localization::current();
    const std::string path = group.paths.front();
    auto *box = new QMessageBox(m_window);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::WindowModal);
    box->setIcon(QMessageBox::Question);
    const QString name = QString::fromLocal8Bit(Location::lastComponent(path));
    box->setText(texts.format(TextKey::runOrOpenQuestion, name));
    box->setInformativeText(texts.text(TextKey::runOrOpenDetails));
    box->setAccessibleName(box->text());
    const auto button = [&](TextKey key) {
        QPushButton *added = box->addButton(texts.text(key), QMessageBox::ActionRole);
        added->setAccessibleName(texts.text(key));
        return added;
    };
    QPushButton *run = button(TextKey::runProgram);
    QPushButton *asText = button(TextKey::openAsText);
    QPushButton *cancel = button(TextKey::cancel);
    box->setEscapeButton(cancel);
    box->setDefaultButton(cancel);
    QPointer<ItemOpener> self(this);
    connect(box, &QMessageBox::finished, this, [self, box, run, asText, path] {
        if (!self)
            return;
        QAbstractButton *pressed = box->clickedButton();
        if (pressed == run) {
            if (!ApplicationLauncher::run(path) && self->m_failed)
                self->m_failed(path, {});
        } else if (pressed == asText) {
            self->openAsText(path);
        }
        self->m_question = nullptr;
        self->next();
    });
    m_question = box;
    box->open();
}

void ItemOpener::openAsText(const std::string &path) {
    QPointer<ItemOpener> self(this);
    m_launcher.launchDefault(kTextType, {path}, [self, path](bool launched, const std::string &error) {
        if (!launched && self && self->m_failed)
            self->m_failed(path, error);
    });
}

} // namespace dromel
