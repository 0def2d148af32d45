#pragma once

#include <QByteArray>

#include <memory>
#include <optional>

class QSettings;

namespace dromel {

// The user's choices, in $XDG_CONFIG_HOME/Dromel/Dromel.conf (INI), under
// the keys "restoreTabs", "showHidden", "windowsKeys", "alwaysShowTabs",
// "contentSearchLimitMB", "thumbnailLimitMB", "networkThumbnails" and "presentation.v1". A disabled
// instance (fixture runs) reads nothing and writes nothing: every getter answers "absent" and every setter
// is ignored. Main thread only. Writes reach the disk when Qt syncs or on destruction.
class UserSettings {
public:
    // The file's location is taken from the environment now, not cached by Qt.
    explicit UserSettings(bool enabled);
    ~UserSettings();
    UserSettings(const UserSettings &) = delete;
    UserSettings &operator=(const UserSettings &) = delete;

    static QString filePath();
    bool enabled() const { return m_settings != nullptr; }

    // A stored bool, or nothing when the key is absent or holds something else.
    std::optional<bool> restoreTabs() const { return boolValue("restoreTabs"); }
    std::optional<bool> showHidden() const { return boolValue("showHidden"); }
    std::optional<bool> windowsKeys() const { return boolValue("windowsKeys"); }
    std::optional<bool> alwaysShowTabs() const { return boolValue("alwaysShowTabs"); }
    // Megabytes; nothing when absent or not a whole number from 1 up.
    std::optional<int> contentSearchLimit() const;
    std::optional<bool> networkThumbnails() const { return boolValue("networkThumbnails"); }
    // The largest file given a thumbnail, in MB; 0 turns thumbnails off.
    // Nothing when absent or not a whole number from 0 up.
    std::optional<int> thumbnailLimitMB() const;
    std::optional<QByteArray> presentation() const;

    void setRestoreTabs(bool value) { setBool("restoreTabs", value); }
    void setShowHidden(bool value) { setBool("showHidden", value); }
    void setWindowsKeys(bool value) { setBool("windowsKeys", value); }
    void setAlwaysShowTabs(bool value) { setBool("alwaysShowTabs", value); }
    void setContentSearchLimit(int megabytes);
    void setNetworkThumbnails(bool value) { setBool("networkThumbnails", value); }
    void setThumbnailLimitMB(int megabytes);
    // No data removes the key (an encoding failure stores nothing).
    void setPresentation(const std::optional<QByteArray> &json);
    void sync();

private:
    std::optional<bool> boolValue(const char *key) const;
    void setBool(const char *key, bool value);

    std::unique_ptr<QSettings> m_settings;
};

} // namespace dromel
