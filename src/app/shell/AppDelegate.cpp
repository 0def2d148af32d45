#include "shell/AppDelegate.h"

#include "browser/BrowserStore.h"
#include "browser/SessionPersistence.h"
#include "browser/SessionStore.h"
#include "commands/FileCommandController.h"
#include "commands/FileCommandsBinding.h"
#include "core/Location.h"
#include "core/StatePaths.h"
#include "core/Version.h"
#include "desktop/FileManagerService.h"
#include "desktop/TaskNotifier.h"
#include "directory/ListingOrderer.h"
#include "directory/LocalDirectoryReader.h"
#include "look/Appearance.h"
#include "look/DesktopColorScheme.h"
#include "look/DromelTheme.h"
#include "look/Icons.h"
#include "presentation/Localization.h"
#include "presentation/SkinDescriptor.h"
#include "shell/SingleInstance.h"
#include "shell/UserSettings.h"
#include "sidebar/DirectorySidebar.h"
#include "table/FileTable.h"
#include "trash/TrashPlace.h"
#include "trash/TrashReader.h"
#include "window/BrowserController.h"
#include "window/PlaceTitles.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDBusConnection>
#include <QDialogButtonBox>
#include <QDir>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMainWindow>
#include <QMenuBar>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QShortcut>
#include <QSpinBox>
#include <QTimer>
#include <QVBoxLayout>

#include <malloc.h>

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <vector>

// Resources of a static library are registered by hand.
static void registerShellResources() {
    Q_INIT_RESOURCE(shell);
}

namespace dromel {

namespace {

QString text(TextKey key) {
    return Localization::current().text(key);
}

constexpr QSize kWindowSize(1200, 780);
constexpr QSize kCompactWindowSize(800, 672);
constexpr QSize kMinimumWindowSize(800, 560);
constexpr QSize kSettingsSize(480, 390);

// The thumbnail size limits offered, in MB; 0 is off. 64 MB, the default, is
// what the peers use.
constexpr int kThumbnailLimitsMB[] = {0, 16, 64, 256, 1024};
constexpr int kDefaultThumbnailLimitMB = 64;

int thumbnailLimit(const UserSettings &settings) {
    return settings.thumbnailLimitMB().value_or(kDefaultThumbnailLimitMB);
}

// Window geometry is state, not a setting: it lives beside the session.
QString geometryFile() {
    return QString::fromStdString(StatePaths::stateFolder()) + "/window.conf";
}

} // namespace

AppDelegate::AppDelegate(std::vector<std::string> arguments, LaunchOptions::Environment environment,
                         std::string workingFolder, QObject *parent)
    : QObject(parent), m_arguments(std::move(arguments)), m_environment(std::move(environment)),
      m_workingFolder(std::move(workingFolder)) {
    // A large folder's listing passes through arrays of megabytes that live
    // for one snapshot. glibc's default raises its mmap threshold after the
    // first such array is freed, so later ones come from the heap and their
    // pages stay with the process; a fixed threshold gives them back.
    ::mallopt(M_MMAP_THRESHOLD, 256 * 1024);
    registerShellResources();
}

AppDelegate::~AppDelegate() {
    if (m_window)
        m_window->removeEventFilter(this);
    m_settingsWindow.reset();
    m_window.reset();
    m_store.reset();
}

void AppDelegate::applicationDidFinishLaunching() {
    QTimer::singleShot(0, this, &AppDelegate::launch);
}

// Launch, in order: the switches and fixture keys; the presentation and the
// language; the base folder, the session file and the journal; then, once the
// session is read (asynchronously, on the session queue), the store, the
// window and its menus; the first read starts only when the window shows.
void AppDelegate::launch() {
    if (m_launched)
        return;
    m_launched = true;
    m_options = LaunchOptions::parse(m_arguments, m_environment, m_workingFolder);
    if (handedOff())
        return;
    m_defaults = std::make_unique<UserSettings>(!m_options.fixtureMode);

    if (m_options.fixtureMode) {
        m_presentation = PresentationSettings();
        // An unknown fixture language means simplified Chinese.
        m_presentation.language = appLanguageFromRawValue(m_options.fixtureLanguage.value_or("zh-Hans"))
                                      .value_or(AppLanguage::simplifiedChinese);
    } else {
        m_presentation = PresentationSettings::load(m_defaults->presentation());
    }
    Localization::setCurrent(
        Localization(m_presentation.language, Localization::preferredLanguages(), QLocale()));
    // The desktop's type names (shared-mime-info) follow the default locale:
    // made the interface's, a Chinese window lists Chinese kinds.
    QLocale::setDefault(Localization::current().locale());
    DromelTheme::setSkin(m_presentation.skin);
    applyAppearance();
    // "System" follows the desktop's light or dark preference where its
    // settings portal publishes one.
    auto *colorScheme = new DesktopColorScheme(QDBusConnection::sessionBus(), this);
    connect(colorScheme, &DesktopColorScheme::changed, this, [](std::optional<bool> prefersDark) {
        Appearance::setDesktopPreference(prefersDark);
        Icons::matchPalette(Appearance::isDark());
    });

    if (m_options.fixtureMode)
        m_baseFolder = m_options.startFolder.value_or(Location::standardized(QDir::tempPath().toStdString()));
    else
        m_baseFolder = StatePaths::homeFolder();

    const std::string defaultSession = SessionStore::defaultPath();
    std::optional<std::string> sessionFile;
    if (m_options.fixtureMode)
        sessionFile = m_options.sessionFile;
    else
        sessionFile = defaultSession;
    m_sessionFileChosen = m_options.fixtureMode && m_options.sessionFile.has_value();
    if (sessionFile) {
        m_sessionStore = std::make_unique<SessionPersistence>(*sessionFile);
        m_sessionStore->setOnError([](const std::string &message) {
            std::fprintf(stderr, "Dromel: session could not be saved: %s\n", message.c_str());
        });
    }
    m_journalPath = m_options.fixtureMode
                        ? Location::appending(m_baseFolder, ".dromel-qa/operations.sqlite")
                        : Location::appending(Location::parent(defaultSession), "operations.sqlite");

    const bool restoring = m_options.fixtureMode || restoreTabsSetting();
    if (restoring && m_sessionStore) {
        QPointer<AppDelegate> self(this);
        m_sessionStore->load([self](std::optional<BrowserSession> session) {
            if (self)
                self->finishLaunch(std::move(session));
        });
    } else {
        finishLaunch(std::nullopt);
    }
}

void AppDelegate::finishLaunch(std::optional<BrowserSession> session) {
    m_reader = std::make_unique<LocalDirectoryReader>();
    m_trashReader = std::make_unique<TrashReader>(*m_reader);
    // Named before the first tab is drawn.
    PlaceTitles::set(m_trashReader->location(), text(TextKey::trashPlace));
    m_orderer = std::make_unique<ListingOrderer>();
    if (session && session->valid() && (!m_options.startFolder || m_sessionFileChosen))
        m_store = std::make_unique<BrowserStore>(*session, *m_trashReader, *m_orderer);
    else
        m_store = std::make_unique<BrowserStore>(std::vector{m_options.startFolder.value_or(m_baseFolder)}, 0,
                                                 *m_trashReader, *m_orderer);

    m_store->setShowHidden(m_options.fixtureMode ? false : m_defaults->showHidden().value_or(false));
    m_store->windowsKeys = m_options.fixtureMode ? true : m_defaults->windowsKeys().value_or(true);
    if (const auto megabytes = m_defaults->contentSearchLimit())
        m_store->setContentSizeLimit(std::int64_t{*megabytes} << 20);

    QPointer<AppDelegate> self(this);
    const bool saving = m_options.fixtureMode || m_defaults->restoreTabs().value_or(true);
    if (saving && m_sessionStore)
        m_store->onSessionChanged = [self](const BrowserSession &snapshot) {
            if (self && self->m_sessionStore)
                self->m_sessionStore->schedule(snapshot);
        };
    m_store->onHiddenChanged = [self](bool shown) {
        if (!self)
            return;
        self->m_defaults->setShowHidden(shown);
        if (self->m_hiddenControl)
            self->m_hiddenControl->setChecked(shown);
    };

    buildWindow();
    attachTrash();
    buildMenu();
    if (m_instance)
        m_instance->setOnOpen([this](const std::vector<std::string> &folders, const QString &startupId) {
            openHandedFolders(folders, startupId);
        });
    m_window->show();
    m_window->activateWindow();
    m_window->raise();
    m_controller->table()->setFocus(Qt::ActiveWindowFocusReason);
    m_store->startMonitoring();
    m_store->refresh();
    emit launched();
}

void AppDelegate::applyThumbnailSettings() {
    if (!m_controller)
        return;
    const int limit = thumbnailLimit(*m_defaults);
    m_controller->setThumbnailPolicy(limit > 0, std::int64_t(limit) * 1024 * 1024,
                                     m_defaults->networkThumbnails().value_or(false));
}

void AppDelegate::thumbnailsChanged() {
    if (m_thumbnailControl)
        m_defaults->setThumbnailLimitMB(m_thumbnailControl->currentData().toInt());
    if (m_networkThumbnailControl)
        m_defaults->setNetworkThumbnails(m_networkThumbnailControl->isChecked());
    if (!m_controller)
        return;
    // A fixture run keeps no settings: the window takes the controls' state.
    const int limit =
        m_thumbnailControl ? m_thumbnailControl->currentData().toInt() : thumbnailLimit(*m_defaults);
    const bool network = m_networkThumbnailControl && m_networkThumbnailControl->isChecked();
    m_controller->setThumbnailPolicy(limit > 0, std::int64_t(limit) * 1024 * 1024, network);
}

bool AppDelegate::restoreTabsSetting() const {
    return m_defaults->restoreTabs().value_or(true);
}

void AppDelegate::buildWindow() {
    m_window = std::make_unique<QMainWindow>();
    m_window->setObjectName("DromelMain");
    m_window->setWindowIcon(QIcon::fromTheme(kApplicationIdentifier, QIcon(":/shell/org.dromel.Dromel.svg")));
    m_controller = new BrowserController(*m_store, m_baseFolder, m_window.get());
    m_controller->setAlwaysShowTabs(m_defaults->alwaysShowTabs().value_or(false));
    applyThumbnailSettings();
    m_controller->onPreferences = [this] { showPreferences(); };
    m_window->setCentralWidget(m_controller);
    m_window->setMinimumSize(kMinimumWindowSize);
    m_window->resize(m_options.fixtureMode && m_options.compact ? kCompactWindowSize : kWindowSize);
    m_controller->installToolbar(m_window.get());
    startDesktopServices(*FileCommandsBinding::attach(*m_controller, *m_store, m_journalPath));
    if (const QScreen *screen = m_window->screen()) {
        QRect frame(QPoint(), m_window->size());
        frame.moveCenter(screen->availableGeometry().center());
        m_window->move(frame.topLeft());
    }
    if (!m_options.fixtureMode)
        restoreGeometry();
    m_window->installEventFilter(this);
}

// The Trash: a sidebar row showing whether it is empty, its rows in the file
// list, and a re-read of a tab showing it whenever any trash changes.
void AppDelegate::attachTrash() {
    m_trashPlace = std::make_unique<TrashPlace>(*m_trashReader);
    TrashPlace *place = m_trashPlace.get();
    m_trashRows = FileTableModel::Place{TextKey::trashOriginalColumn, TextKey::trashDeletedColumn,
                                        [place](const FileEntry &entry) { return place->icon(entry); },
                                        [place](const FileEntry &entry) { return place->toolTip(entry); },
                                        [this, place](QMenu *menu, const std::vector<FileEntry> &selected) {
                                            place->extendMenu(menu, selected, trashCommands());
                                        }};
    m_controller->table()->placeOf = [this](const std::string &url) -> const FileTableModel::Place * {
        return m_trashReader->isTrash(url) ? &m_trashRows : nullptr;
    };
    const std::string trash = m_trashReader->location();
    QPointer<DirectorySidebar> sidebar(m_controller->directorySidebar());
    sidebar->addPlace(text(TextKey::trashPlace), trash, TrashPlace::symbol(false));
    m_trashReader->onFullness = [sidebar, trash](bool full) {
        if (sidebar)
            sidebar->setPlaceSymbol(trash, TrashPlace::symbol(full));
    };
    sidebar->placeMenu = [this](const std::string &, QMenu *menu) {
        m_trashPlace->extendMenu(menu, {}, trashCommands());
    };
    m_trashReader->onChanged = [this, trash] { m_store->invalidateDirectories({trash}); };
    m_trashReader->startWatching();
}

TrashPlace::Commands AppDelegate::trashCommands() const {
    QPointer<FileCommandController> commands(m_controller->fileCommands());
    return {[commands](std::vector<std::string> paths) {
                if (commands)
                    commands->restore(std::move(paths));
            },
            [commands](std::vector<std::string> paths, bool emptying) {
                if (commands)
                    commands->deletePermanently(std::move(paths), emptying);
            }};
}

// The desktop's session bus: "show in folder" from other programs and
// notices of long tasks. A run without a display of its own (offscreen, as in
// tests) or a fixture run that did not ask stays off the bus, so it never
// answers for the user's real desktop.
void AppDelegate::startDesktopServices(FileCommandController &commands) {
    const bool wanted = m_options.fixtureMode ? m_options.desktopBus
                                              : QGuiApplication::platformName() != QLatin1String("offscreen");
    if (!wanted)
        return;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return;
    m_fileManager = new FileManagerService(bus, *m_store, *m_controller, m_window.get());
    new TaskNotifier(bus, commands, m_window.get(), &commands);
}

// One Dromel per session: a launch that finds another running hands it the
// start folder (a tab) and ends. Where no session bus runs, a socket in
// $XDG_RUNTIME_DIR serves. Runs that stay off the desktop (offscreen, or a
// fixture run that did not ask) never meet another instance.
bool AppDelegate::handedOff() {
    const bool wanted = m_options.fixtureMode ? m_options.singleInstance
                                              : QGuiApplication::platformName() != QLatin1String("offscreen");
    if (!wanted)
        return false;
    const std::string runtime = m_environment("XDG_RUNTIME_DIR").value_or("");
    m_instance = new SingleInstance(QDBusConnection::sessionBus(), runtime, this);
    if (m_instance->claim())
        return false;
    std::vector<std::string> folders;
    if (m_options.startFolder)
        folders.push_back(*m_options.startFolder);
    const QString startupId =
        qEnvironmentVariable("XDG_ACTIVATION_TOKEN", qEnvironmentVariable("DESKTOP_STARTUP_ID"));
    if (!m_instance->handOff(folders, startupId)) {
        std::fprintf(stderr, "Dromel: the running instance did not answer; starting another\n");
        return false;
    }
    emit handedOver();
    QCoreApplication::exit(0);
    return true;
}

void AppDelegate::openHandedFolders(const std::vector<std::string> &folders, const QString &startupId) {
    for (const std::string &folder : folders)
        m_store->addTab(folder);
    if (!m_window)
        return;
    // Wayland lets a window take the focus only with the caller's token.
    if (!startupId.isEmpty() && QGuiApplication::platformName().startsWith(QLatin1String("wayland")))
        qputenv("XDG_ACTIVATION_TOKEN", startupId.toUtf8());
    if (m_window->isMinimized())
        m_window->showNormal();
    else
        m_window->show();
    m_window->raise();
    m_window->activateWindow();
}

FileManagerService *AppDelegate::fileManagerService() const {
    return m_fileManager.data();
}

void AppDelegate::buildMenu() {
    const BrowserController::Actions &actions = m_controller->actions();
    QMenuBar *bar = m_window->menuBar();
    bar->clear();

    QMenu *file = bar->addMenu(text(TextKey::fileMenu));
    file->addActions(
        {actions.newTab, actions.closeTab, actions.reopenTab, actions.open, actions.preview, actions.reveal});
    file->addSeparator();
    file->addActions({actions.newFolder, actions.rename, actions.trash, actions.operations});
    file->addSeparator();
    file->addAction(actions.preferences);
    auto *quit = file->addAction(text(TextKey::quit));
    quit->setShortcut(QKeySequence::Quit);
    connect(quit, &QAction::triggered, m_window.get(), &QWidget::close);

    QMenu *edit = bar->addMenu(text(TextKey::editMenu));
    edit->addActions({actions.undo, actions.redo, actions.cut, actions.copy, actions.paste, actions.selectAll,
                      actions.copyPath});

    QMenu *go = bar->addMenu(text(TextKey::goMenu));
    go->addActions(
        {actions.back, actions.forward, actions.up, actions.editPath, actions.focusFilter, actions.refresh});

    // No Window menu: with one window and the window manager's own title-bar
    // buttons it would only repeat Minimize.

    // Linux desktops keep About in the Help menu, the last one.
    QMenu *help = bar->addMenu(text(TextKey::helpMenu));
    auto *about = help->addAction(text(TextKey::about));
    connect(about, &QAction::triggered, this, &AppDelegate::showAbout);
}

void AppDelegate::showAbout() {
    auto *box =
        new QMessageBox(QMessageBox::NoIcon, text(TextKey::about),
                        QStringLiteral("<h3>Dromel %1</h3>").arg(QCoreApplication::applicationVersion()),
                        QMessageBox::Ok, m_window.get());
    box->setIconPixmap(m_window->windowIcon().pixmap(64, 64));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

// --- Settings window ----------------------------------------------------------

void AppDelegate::showPreferences() {
    if (m_settingsWindow) {
        m_settingsWindow->show();
        m_settingsWindow->raise();
        m_settingsWindow->activateWindow();
        return;
    }
    auto window = std::make_unique<QWidget>(nullptr, Qt::Window);
    window->setWindowTitle(text(TextKey::settings));
    window->setWindowIcon(m_window ? m_window->windowIcon() : QIcon());
    // A grid: the switches across both columns, then each chooser beside its
    // label, notes under what they explain, and Close at the bottom right.
    auto *grid = new QGridLayout(window.get());
    grid->setContentsMargins(24, 20, 24, 16);
    grid->setHorizontalSpacing(12);
    grid->setVerticalSpacing(10);
    grid->setColumnStretch(1, 1);
    const auto note = [&window, grid](TextKey key) {
        auto *label = new QLabel(text(key), window.get());
        label->setWordWrap(true);
        label->setForegroundRole(QPalette::PlaceholderText);
        QFont small = label->font();
        small.setPointSizeF(small.pointSizeF() * 0.85);
        label->setFont(small);
        grid->addWidget(label, grid->rowCount(), 0, 1, 2);
    };
    const auto row = [&window, grid](TextKey key, QComboBox *chooser) {
        auto *label = new QLabel(text(key), window.get());
        label->setBuddy(chooser);
        chooser->setAccessibleName(label->text());
        const int at = grid->rowCount();
        grid->addWidget(label, at, 0, Qt::AlignLeading | Qt::AlignVCenter);
        grid->addWidget(chooser, at, 1);
    };
    const auto check = [grid](QCheckBox *box) { grid->addWidget(box, grid->rowCount(), 0, 1, 2); };

    m_hiddenControl = new QCheckBox(text(TextKey::showHidden), window.get());
    m_hiddenControl->setChecked(m_store && m_store->showHidden());
    connect(m_hiddenControl, &QCheckBox::toggled, this, &AppDelegate::hiddenChanged);
    check(m_hiddenControl);

    m_keysControl = new QCheckBox(text(TextKey::windowsKeys), window.get());
    m_keysControl->setChecked(!m_store || m_store->windowsKeys);
    connect(m_keysControl, &QCheckBox::toggled, this, &AppDelegate::keysChanged);
    check(m_keysControl);

    m_restoreControl = new QCheckBox(text(TextKey::restoreTabs), window.get());
    m_restoreControl->setChecked(restoreTabsSetting());
    m_restoreControl->setEnabled(!m_options.fixtureMode);
    connect(m_restoreControl, &QCheckBox::toggled, this, &AppDelegate::restoreChanged);
    check(m_restoreControl);

    auto *tabsControl = new QCheckBox(text(TextKey::alwaysShowTabs), window.get());
    tabsControl->setChecked(m_defaults->alwaysShowTabs().value_or(false));
    connect(tabsControl, &QCheckBox::toggled, this, [this](bool always) {
        m_defaults->setAlwaysShowTabs(always);
        if (m_controller)
            m_controller->setAlwaysShowTabs(always);
    });
    check(tabsControl);

    m_networkThumbnailControl = new QCheckBox(text(TextKey::networkThumbnails), window.get());
    m_networkThumbnailControl->setChecked(m_defaults->networkThumbnails().value_or(false));
    connect(m_networkThumbnailControl, &QCheckBox::toggled, this, &AppDelegate::thumbnailsChanged);
    check(m_networkThumbnailControl);
    note(TextKey::writeVersion);

    m_thumbnailControl = new QComboBox(window.get());
    const int limit = thumbnailLimit(*m_defaults);
    std::vector<int> choices(std::begin(kThumbnailLimitsMB), std::end(kThumbnailLimitsMB));
    if (std::find(choices.begin(), choices.end(), limit) == choices.end())
        choices.insert(std::upper_bound(choices.begin(), choices.end(), limit), limit);
    for (int megabytes : choices) {
        m_thumbnailControl->addItem(megabytes == 0 ? text(TextKey::thumbnailsOff)
                                                   : text(TextKey::thumbnailsUpTo).arg(megabytes),
                                    megabytes);
        if (megabytes == limit)
            m_thumbnailControl->setCurrentIndex(m_thumbnailControl->count() - 1);
    }
    connect(m_thumbnailControl, &QComboBox::activated, this, &AppDelegate::thumbnailsChanged);
    row(TextKey::thumbnails, m_thumbnailControl);

    m_languageControl = new QComboBox(window.get());
    for (AppLanguage language : kAllAppLanguages)
        m_languageControl->addItem(language == AppLanguage::system    ? text(TextKey::system)
                                   : language == AppLanguage::english ? QStringLiteral("English")
                                                                      : QStringLiteral("简体中文"));
    m_languageControl->setCurrentIndex(static_cast<int>(m_presentation.language));
    connect(m_languageControl, &QComboBox::activated, this, &AppDelegate::languageChanged);
    row(TextKey::language, m_languageControl);

    m_appearanceControl = new QComboBox(window.get());
    for (TextKey key : {TextKey::system, TextKey::light, TextKey::dark})
        m_appearanceControl->addItem(text(key));
    m_appearanceControl->setCurrentIndex(static_cast<int>(m_presentation.appearance));
    connect(m_appearanceControl, &QComboBox::activated, this, &AppDelegate::appearanceChanged);
    row(TextKey::appearance, m_appearanceControl);

    m_skinControl = new QComboBox(window.get());
    for (SkinID skin : kAllSkinIDs)
        m_skinControl->addItem(text(SkinDescriptor::resolve(skin).title));
    m_skinControl->setCurrentIndex(static_cast<int>(m_presentation.skin));
    connect(m_skinControl, &QComboBox::activated, this, &AppDelegate::skinChanged);
    row(TextKey::skin, m_skinControl);
    note(TextKey::restartLanguage);

    m_contentLimitControl = new QSpinBox(window.get());
    m_contentLimitControl->setRange(1, 1 << 20);
    m_contentLimitControl->setValue(m_store
                                        ? static_cast<int>(m_store->contentSizeLimit() >> 20)
                                        : static_cast<int>(SearchOptions::kDefaultContentSizeLimit >> 20));
    {
        auto *label = new QLabel(text(TextKey::searchContentLimit), window.get());
        label->setBuddy(m_contentLimitControl);
        m_contentLimitControl->setAccessibleName(label->text());
        const int at = grid->rowCount();
        grid->addWidget(label, at, 0, Qt::AlignLeading | Qt::AlignVCenter);
        grid->addWidget(m_contentLimitControl, at, 1);
    }
    connect(m_contentLimitControl, &QSpinBox::valueChanged, this, [this](int megabytes) {
        m_defaults->setContentSearchLimit(megabytes);
        if (m_store)
            m_store->setContentSizeLimit(std::int64_t{megabytes} << 20);
    });

    grid->setRowStretch(grid->rowCount(), 1);
    auto *buttons = new QDialogButtonBox(window.get());
    QPushButton *close = buttons->addButton(text(TextKey::closeWindow), QDialogButtonBox::RejectRole);
    close->setAccessibleName(close->text());
    connect(buttons, &QDialogButtonBox::rejected, window.get(), &QWidget::close);
    grid->addWidget(buttons, grid->rowCount(), 0, 1, 2);
    auto *escape = new QShortcut(QKeySequence(Qt::Key_Escape), window.get());
    connect(escape, &QShortcut::activated, window.get(), &QWidget::close);

    window->resize(kSettingsSize.expandedTo(window->sizeHint()));
    if (m_window) {
        QRect frame(QPoint(), window->size());
        frame.moveCenter(m_window->geometry().center());
        window->move(frame.topLeft());
    }
    m_settingsWindow = std::move(window);
    m_settingsWindow->show();
    m_settingsWindow->activateWindow();
}

void AppDelegate::languageChanged(int index) {
    m_presentation.language = kAllAppLanguages.at(static_cast<std::size_t>(index));
    savePresentation();
}

void AppDelegate::appearanceChanged(int index) {
    m_presentation.appearance = kAllAppAppearances.at(static_cast<std::size_t>(index));
    applyAppearance();
    savePresentation();
}

void AppDelegate::skinChanged(int index) {
    m_presentation.skin = kAllSkinIDs.at(static_cast<std::size_t>(index));
    DromelTheme::setSkin(m_presentation.skin);
    savePresentation();
}

void AppDelegate::hiddenChanged(bool checked) {
    if (m_store && m_store->showHidden() != checked)
        m_store->setShowHidden(checked);
    m_defaults->setShowHidden(checked);
}

void AppDelegate::keysChanged(bool checked) {
    if (m_store)
        m_store->windowsKeys = checked;
    m_defaults->setWindowsKeys(checked);
}

void AppDelegate::restoreChanged(bool checked) {
    m_defaults->setRestoreTabs(checked);
    if (!m_sessionStore || !m_store)
        return;
    if (checked) {
        QPointer<AppDelegate> self(this);
        m_store->onSessionChanged = [self](const BrowserSession &snapshot) {
            if (self && self->m_sessionStore)
                self->m_sessionStore->schedule(snapshot);
        };
        m_sessionStore->schedule(m_store->session());
    } else {
        m_store->onSessionChanged = nullptr;
        m_sessionStore->cancelPending();
    }
}

void AppDelegate::applyAppearance() {
    Appearance::apply(m_presentation.appearance);
    Icons::installFallback();
    Icons::matchPalette(Appearance::isDark());
}

void AppDelegate::savePresentation() {
    if (m_options.fixtureMode)
        return;
    m_defaults->setPresentation(m_presentation.toJson());
}

// --- Quitting -----------------------------------------------------------------

bool AppDelegate::applicationShouldTerminate() {
    if (m_mayTerminate)
        return true;
    if (m_terminating)
        return false;
    if (FileCommandController *commands = m_controller ? m_controller->fileCommands() : nullptr) {
        // Running tasks are cancelled first, with the user's consent; the
        // window then closes again by itself once the service is idle.
        QPointer<QMainWindow> window(m_window.get());
        if (!commands->requestQuit([window] {
                if (window)
                    window->close();
            }))
            return false;
    }
    if (!m_options.fixtureMode)
        saveGeometry();
    m_defaults->sync();
    if (!m_sessionStore || !m_store)
        return true;
    if (!m_options.fixtureMode && !restoreTabsSetting())
        m_sessionStore->cancelPending();
    else
        m_sessionStore->schedule(m_store->session());
    m_terminating = true;
    QPointer<AppDelegate> self(this);
    m_sessionStore->flush([self] {
        if (!self)
            return;
        self->m_mayTerminate = true;
        if (self->m_window)
            self->m_window->close();
    });
    return false;
}

bool AppDelegate::eventFilter(QObject *watched, QEvent *event) {
    if (watched == m_window.get() && event->type() == QEvent::Close) {
        if (!applicationShouldTerminate()) {
            event->ignore();
            return true;
        }
        // Closing the main window quits, even with the settings window open.
        if (m_settingsWindow)
            m_settingsWindow->close();
        QTimer::singleShot(0, qApp, &QCoreApplication::quit);
    }
    return QObject::eventFilter(watched, event);
}

void AppDelegate::saveGeometry() {
    if (!m_window)
        return;
    QSettings state(geometryFile(), QSettings::IniFormat);
    state.setValue("geometry", m_window->saveGeometry());
    if (m_controller)
        state.setValue("columns", m_controller->table()->columnState());
}

void AppDelegate::restoreGeometry() {
    QSettings state(geometryFile(), QSettings::IniFormat);
    if (state.contains("geometry"))
        m_window->restoreGeometry(state.value("geometry").toByteArray());
    if (m_controller && state.contains("columns"))
        m_controller->table()->restoreColumnState(state.value("columns").toString());
}

} // namespace dromel
