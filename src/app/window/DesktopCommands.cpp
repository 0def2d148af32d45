#include "window/DesktopCommands.h"

#include "browser/BrowserStore.h"
#include "commands/FileCommandController.h"
#include "core/Location.h"
#include "core/StatePaths.h"
#include "desktop/ApplicationIcon.h"
#include "desktop/ApplicationLauncher.h"
#include "desktop/DesktopTerminal.h"
#include "desktop/ItemOpener.h"
#include "presentation/Localization.h"
#include "properties/PropertiesDialog.h"
#include "runtime/MainThread.h"
#include "sidebar/XdgUserFolders.h"
#include "window/BrowserController.h"

#include <QAction>
#include <QActionGroup>
#include <QFile>
#include <QFileDialog>
#include <QMenu>
#include <QPointer>

#include <dirent.h>
#include <sys/stat.h>
#include <sys/statvfs.h>

#include <algorithm>
#include <cstdlib>

namespace dromel {

namespace {

std::optional<std::string> processEnvironment(const char *name) {
    const char *value = std::getenv(name);
    return value ? std::optional<std::string>(value) : std::nullopt;
}

// The user's document templates: the visible regular files of the Templates
// folder user-dirs.dirs names, by name.
std::vector<std::string> listTemplates() {
    const std::optional<std::string> folder =
        XdgUserFolders::folder("TEMPLATES", "Templates", StatePaths::homeFolder());
    std::vector<std::string> templates;
    if (!folder)
        return templates;
    DIR *directory = ::opendir(folder->c_str());
    if (!directory)
        return templates;
    while (const dirent *item = ::readdir(directory)) {
        const std::string name = item->d_name;
        struct stat status {};
        const std::string path = *folder + "/" + name;
        if (name.empty() || name.front() == '.' || ::stat(path.c_str(), &status) != 0 ||
            !S_ISREG(status.st_mode))
            continue;
        templates.push_back(path);
    }
    ::closedir(directory);
    std::sort(templates.begin(), templates.end());
    return templates;
}

QString shownName(const std::string &path) {
    const QString name = QFile::decodeName(QByteArray::fromStdString(Location::lastComponent(path)));
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot > 0 ? name.left(dot) : name;
}

} // namespace

DesktopCommands::DesktopCommands(BrowserController &window, BrowserStore &store)
    : QObject(&window), m_window(window), m_store(store), m_launcher(new ApplicationLauncher(this)),
      m_opener(new ItemOpener(
          &window, *m_launcher,
          [this](const std::string &path, const std::string &error) { failed(path, error); }, this)),
      m_terminalAction(new QAction(Localization::current().text(TextKey::openInTerminal), this)),
      m_propertiesAction(new QAction(Localization::current().text(TextKey::properties), this)),
      m_environment(processEnvironment),
      m_queue({QueueNames::identified("desktop-inspection"), 1, QueuePriority::userInitiated}) {
    // F4 as in Dolphin.
    m_terminalAction->setShortcut(QKeySequence(Qt::Key_F4));
    m_terminalAction->setShortcutContext(Qt::WindowShortcut);
    connect(m_terminalAction, &QAction::triggered, this, &DesktopCommands::openInTerminal);
    window.addAction(m_terminalAction);
    // Alt+Return as in the GTK and KDE file managers, Ctrl+I as in Nautilus.
    m_propertiesAction->setShortcuts(
        {QKeySequence(Qt::ALT | Qt::Key_Return), QKeySequence(Qt::CTRL | Qt::Key_I)});
    m_propertiesAction->setShortcutContext(Qt::WindowShortcut);
    connect(m_propertiesAction, &QAction::triggered, this, qOverload<>(&DesktopCommands::showProperties));
    window.addAction(m_propertiesAction);
}

DesktopCommands::~DesktopCommands() = default;

bool DesktopCommands::waitForIdleForTesting(int timeoutMilliseconds) {
    return m_queue.waitForIdle(timeoutMilliseconds) && m_launcher->waitForIdleForTesting(timeoutMilliseconds);
}

bool DesktopCommands::handles(ListCommand command) const {
    switch (command) {
    case ListCommand::otherApplication:
    case ListCommand::openInTerminal:
    case ListCommand::pasteInto:
    case ListCommand::copyTo:
    case ListCommand::moveTo:
    case ListCommand::toggleHidden:
    case ListCommand::properties:
        return true;
    default:
        return false;
    }
}

void DesktopCommands::run(ListCommand command) {
    FileCommandController *commands = m_window.fileCommands();
    switch (command) {
    case ListCommand::otherApplication:
        m_opener->chooseApplication(selectedPaths());
        break;
    case ListCommand::openInTerminal:
        openInTerminal();
        break;
    case ListCommand::pasteInto:
        if (commands && selectedPaths().size() == 1)
            commands->paste(selectedPaths().front());
        break;
    case ListCommand::copyTo:
        chooseFolder(false);
        break;
    case ListCommand::moveTo:
        chooseFolder(true);
        break;
    case ListCommand::toggleHidden:
        m_window.toggleHidden();
        break;
    case ListCommand::properties:
        showProperties();
        break;
    default:
        break;
    }
}

void DesktopCommands::fill(ListCommand command, QMenu *menu) {
    if (command == ListCommand::openWith)
        fillOpenWith(menu);
    else if (command == ListCommand::newDocument)
        fillNewDocument(menu);
    else if (command == ListCommand::sortBy)
        fillSortBy(menu);
}

void DesktopCommands::open(std::vector<std::string> paths) {
    m_opener->open(std::move(paths));
}

std::vector<std::string> DesktopCommands::selectedPaths() const {
    std::vector<std::string> paths;
    for (const FileEntry &entry : m_store.selected())
        paths.push_back(entry.url());
    return paths;
}

void DesktopCommands::failed(const std::string &path, const std::string &error) {
    const QString name = QFile::decodeName(QByteArray::fromStdString(Location::lastComponent(path)));
    m_store.showError(Localization::current()
                          .format(TextKey::openFailed, name, QString::fromStdString(error))
                          .toStdString());
}

// The applications arrive from the launcher's queue; until then the submenu
// says it is looking. The menu may close first: the answer then finds it gone.
void DesktopCommands::fillOpenWith(QMenu *menu) {
    const Localization texts = Localization::current();
    menu->addAction(texts.text(TextKey::lookingForApplications))->setEnabled(false);
    const std::vector<std::string> paths = selectedPaths();
    QPointer<QMenu> target(menu);
    QPointer<DesktopCommands> self(this);
    m_launcher->applicationsFor(paths, [target, self, paths](std::string,
                                                             std::vector<DesktopApplication> found) {
        if (!target || !self)
            return;
        target->clear();
        for (const DesktopApplication &application : found) {
            QAction *action =
                target->addAction(ApplicationIcon::of(application), QString::fromStdString(application.name));
            connect(action, &QAction::triggered, self, [self, id = application.id, paths] {
                if (self)
                    self->m_launcher->launch(
                        id, paths, [self, first = paths.front()](bool launched, const std::string &error) {
                            if (!launched && self)
                                self->failed(first, error);
                        });
            });
        }
        if (!found.empty())
            target->addSeparator();
        QAction *other = target->addAction(Localization::current().text(TextKey::otherApplication));
        connect(other, &QAction::triggered, self, [self] {
            if (self)
                self->run(ListCommand::otherApplication);
        });
    });
}

void DesktopCommands::fillNewDocument(QMenu *menu) {
    const Localization texts = Localization::current();
    menu->addAction(texts.text(TextKey::loading))->setEnabled(false);
    const std::string folder = m_store.current().url();
    auto deliver =
        m_lifetime.guard([this, target = QPointer<QMenu>(menu), folder](std::vector<std::string> templates) {
            if (!target)
                return;
            target->clear();
            if (templates.empty())
                target->addAction(Localization::current().text(TextKey::noTemplates))->setEnabled(false);
            for (const std::string &source : templates) {
                QAction *action = target->addAction(shownName(source));
                connect(action, &QAction::triggered, this, [this, source, folder] {
                    if (m_window.fileCommands())
                        m_window.fileCommands()->drop({source}, {}, folder, false);
                });
            }
        });
    // Posted jobs are moved, never copied, off the main thread.
    m_queue.async([deliver = std::move(deliver)]() mutable {
        MainThread::post([deliver = std::move(deliver), templates = listTemplates()]() mutable {
            deliver(std::move(templates));
        });
    });
}

void DesktopCommands::fillSortBy(QMenu *menu) {
    const Localization texts = Localization::current();
    const FileSort current = m_store.current().sort;
    auto *group = new QActionGroup(menu);
    const std::pair<SortColumn, TextKey> columns[] = {{SortColumn::name, TextKey::nameColumn},
                                                      {SortColumn::kind, TextKey::kindColumn},
                                                      {SortColumn::size, TextKey::sizeColumn},
                                                      {SortColumn::modified, TextKey::modifiedColumn},
                                                      {SortColumn::location, TextKey::locationColumn}};
    for (const auto &[column, key] : columns) {
        if (column == SortColumn::location && !m_store.current().search)
            continue;
        QAction *action = menu->addAction(texts.text(key));
        action->setCheckable(true);
        action->setChecked(current.column == column);
        group->addAction(action);
        // The current column again turns the order round, as its header does.
        connect(action, &QAction::triggered, this, [this, column = column] {
            FileSort wanted = m_store.current().sort;
            wanted.ascending = wanted.column == column ? !wanted.ascending : true;
            wanted.column = column;
            m_store.sort(wanted);
        });
    }
}

void DesktopCommands::chooseFolder(bool move) {
    const std::vector<std::string> paths = selectedPaths();
    if (paths.empty() || !m_window.fileCommands())
        return;
    const Localization texts = Localization::current();
    auto *dialog = new QFileDialog(m_window.window(), texts.text(move ? TextKey::moveTo : TextKey::copyTo),
                                   QFile::decodeName(QByteArray::fromStdString(m_store.current().url())));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowModality(Qt::WindowModal);
    dialog->setFileMode(QFileDialog::Directory);
    dialog->setOption(QFileDialog::ShowDirsOnly);
    dialog->setOption(QFileDialog::DontUseNativeDialog);
    dialog->setAccessibleName(texts.text(TextKey::chooseFolder));
    QPointer<DesktopCommands> self(this);
    connect(dialog, &QFileDialog::fileSelected, this, [self, paths, move](const QString &chosen) {
        if (self && self->m_window.fileCommands() && !chosen.isEmpty())
            self->m_window.fileCommands()->drop(paths, {}, QFile::encodeName(chosen).toStdString(), move);
    });
    dialog->open();
}

void DesktopCommands::openInTerminal() {
    std::string folder = m_store.current().url();
    const std::vector<FileEntry> selected = m_store.selected();
    if (selected.size() == 1 && selected.front().isNavigable())
        folder = selected.front().url();
    auto deliver = m_lifetime.guard([this, folder](std::optional<std::vector<std::string>> command) {
        if (!command || !DesktopTerminal::start(*command, folder))
            m_store.showError(Localization::current().text(TextKey::noTerminal).toStdString());
    });
    m_queue.async([deliver = std::move(deliver), environment = m_environment]() mutable {
        MainThread::post(
            [deliver = std::move(deliver), command = DesktopTerminal::command(environment)]() mutable {
                deliver(std::move(command));
            });
    });
}

void DesktopCommands::freeSpace(const std::string &folder,
                                std::function<void(const std::string &, std::int64_t)> done) {
    auto deliver = m_lifetime.guard([folder, done = std::move(done)](std::int64_t bytes) {
        if (bytes >= 0)
            done(folder, bytes);
    });
    m_queue.async([folder, deliver = std::move(deliver)]() mutable {
        struct statvfs space {};
        const std::int64_t bytes =
            ::statvfs(folder.c_str(), &space) == 0
                ? static_cast<std::int64_t>(space.f_bavail) * static_cast<std::int64_t>(space.f_frsize)
                : -1;
        MainThread::post([deliver = std::move(deliver), bytes]() mutable { deliver(bytes); });
    });
}

void DesktopCommands::showProperties() {
    std::vector<std::string> paths = selectedPaths();
    if (paths.empty())
        paths.push_back(m_store.current().url());
    showProperties(std::move(paths));
}

void DesktopCommands::showProperties(std::vector<std::string> paths) {
    PropertiesDialog *dialog = PropertiesDialog::show(m_window.window(), std::move(paths));
    if (!dialog)
        return;
    dialog->onChangePermissions = [window = QPointer<BrowserController>(&m_window)](
                                      std::vector<std::string> items, PermissionChange change) {
        if (window && window->fileCommands())
            window->fileCommands()->changePermissions(std::move(items), std::move(change));
    };
}

} // namespace dromel
