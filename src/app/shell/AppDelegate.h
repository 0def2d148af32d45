#pragma once

#include "core/BrowserSession.h"
#include "presentation/AppLanguage.h"
#include "presentation/PresentationSettings.h"
#include "shell/LaunchOptions.h"
#include "table/FileTableModel.h"
#include "trash/TrashPlace.h"

#include <QObject>
#include <QPointer>

#include <memory>
#include <optional>
#include <string>
#include <vector>

class QCheckBox;
class QComboBox;
class QSpinBox;
class QMainWindow;
class QWidget;

namespace dromel {

class BrowserController;
class BrowserStore;
class FileCommandController;
class FileManagerService;
class SingleInstance;
class ListingOrderer;
class LocalDirectoryReader;
class SessionPersistence;
class TrashReader;
class UserSettings;

// The application object: decides at launch where everything lives (start
// folder, session file, journal), reads the user's settings, restores or
// creates the browser store, builds the main window, its menus and the
// settings window, keeps the settings, and sees quitting through (the final
// session save happens before the process ends).
//
// Launch runs once, from the event loop, after the application object exists;
// the window appears only after the session was loaded. A fixture run
// (isolated) reads and writes none of the user's settings.
// Main thread only.
class AppDelegate : public QObject {
    Q_OBJECT
public:
    // `arguments` excludes the program name.
    AppDelegate(std::vector<std::string> arguments, LaunchOptions::Environment environment,
                std::string workingFolder, QObject *parent = nullptr);
    ~AppDelegate() override;

    // Queues launch() on the event loop.
    void applicationDidFinishLaunching();

    QMainWindow *window() const { return m_window.get(); }
    BrowserController *controller() const { return m_controller; }
    BrowserStore *store() const { return m_store.get(); }
    QWidget *settingsWindow() const { return m_settingsWindow.get(); }
    SessionPersistence *sessionStore() const { return m_sessionStore.get(); }
    UserSettings &defaults() const { return *m_defaults; }
    bool fixtureMode() const { return m_options.fixtureMode; }
    const LaunchOptions &options() const { return m_options; }
    const PresentationSettings &presentation() const { return m_presentation; }
    // The file-manager service on the session bus, when the run offers it.
    FileManagerService *fileManagerService() const;
    // The journal the file commands will use.
    const std::string &journalPath() const { return m_journalPath; }

    void showPreferences();
    void applyAppearance();
    void savePresentation();

    // The settings window's choosers and boxes, once it was built.
    QComboBox *languageControl() const { return m_languageControl; }
    QComboBox *appearanceControl() const { return m_appearanceControl; }
    QComboBox *skinControl() const { return m_skinControl; }
    QCheckBox *hiddenControl() const { return m_hiddenControl; }
    QCheckBox *keysControl() const { return m_keysControl; }
    QCheckBox *restoreControl() const { return m_restoreControl; }
    QSpinBox *contentLimitControl() const { return m_contentLimitControl; }
    QComboBox *thumbnailControl() const { return m_thumbnailControl; }
    QCheckBox *networkThumbnailControl() const { return m_networkThumbnailControl; }

    // True to quit now; false when quitting waits for the final session save
    // (the window then closes by itself once the save is on disk).
    bool applicationShouldTerminate();

public slots:
    void languageChanged(int index);
    void appearanceChanged(int index);
    void skinChanged(int index);
    void hiddenChanged(bool checked);
    void keysChanged(bool checked);
    void restoreChanged(bool checked);
    // The thumbnail size limit (an item of thumbnailControl) or the network switch.
    void thumbnailsChanged();

signals:
    // The window is shown and the first read was started.
    void launched();
    // Another Dromel of this session took the folders; the event loop ends.
    void handedOver();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void launch();
    void finishLaunch(std::optional<BrowserSession> session);
    void buildWindow();
    void applyThumbnailSettings();
    void buildMenu();
    void attachTrash();
    TrashPlace::Commands trashCommands() const;
    void startDesktopServices(FileCommandController &commands);
    bool handedOff();
    void openHandedFolders(const std::vector<std::string> &folders, const QString &startupId);
    void showAbout();
    bool restoreTabsSetting() const;
    void saveGeometry();
    void restoreGeometry();

    std::vector<std::string> m_arguments;
    LaunchOptions::Environment m_environment;
    std::string m_workingFolder;
    LaunchOptions m_options;

    std::unique_ptr<UserSettings> m_defaults;
    PresentationSettings m_presentation;
    std::string m_baseFolder;
    std::string m_journalPath;
    bool m_sessionFileChosen = false;

    // Declaration order is destruction order reversed: the window goes
    // before the store it renders, the store before its reader and orderer.
    std::unique_ptr<LocalDirectoryReader> m_reader;
    std::unique_ptr<TrashReader> m_trashReader; // reads the Trash, other folders through m_reader
    std::unique_ptr<ListingOrderer> m_orderer;
    std::unique_ptr<SessionPersistence> m_sessionStore;
    std::unique_ptr<BrowserStore> m_store;
    std::unique_ptr<TrashPlace> m_trashPlace;
    FileTableModel::Place m_trashRows;
    std::unique_ptr<QMainWindow> m_window;
    BrowserController *m_controller = nullptr;
    QPointer<FileManagerService> m_fileManager;
    QPointer<SingleInstance> m_instance;
    std::unique_ptr<QWidget> m_settingsWindow;
    QComboBox *m_languageControl = nullptr;
    QComboBox *m_appearanceControl = nullptr;
    QComboBox *m_skinControl = nullptr;
    QCheckBox *m_hiddenControl = nullptr;
    QCheckBox *m_keysControl = nullptr;
    QCheckBox *m_restoreControl = nullptr;
    QSpinBox *m_contentLimitControl = nullptr;
    QComboBox *m_thumbnailControl = nullptr;
    QCheckBox *m_networkThumbnailControl = nullptr;

    bool m_launched = false;
    // The final session save is under way / done: the next close goes through.
    bool m_terminating = false;
    bool m_mayTerminate = false;
};

} // namespace dromel
