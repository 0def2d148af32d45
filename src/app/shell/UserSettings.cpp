#include "shell/UserSettings.h"

#include <QDir>
#include <QSettings>

namespace dromel {

namespace {

QString configHome() {
    const QString variable = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (QDir::isAbsolutePath(variable))
        return variable;
    return QDir::homePath() + "/.config";
}

} // namespace

UserSettings::UserSettings(bool enabled) {
    if (enabled)
        m_settings = std::make_unique<QSettings>(filePath(), QSettings::IniFormat);
}

UserSettings::~UserSettings() = default;

QString UserSettings::filePath() {
    return configHome() + "/Dromel/Dromel.conf";
}

std::optional<bool> UserSettings::boolValue(const char *key) const {
    if (!m_settings || !m_settings->contains(key))
        return std::nullopt;
    // INI files hold text; only the two spellings QSettings writes count as a bool.
    const QVariant value = m_settings->value(key);
    if (value.typeId() == QMetaType::Bool)
        return value.toBool();
    const QString text = value.toString();
    if (text == "true")
        return true;
    if (text == "false")
        return false;
    return std::nullopt;
}

void UserSettings::setBool(const char *key, bool value) {
    if (m_settings)
        m_settings->setValue(key, value);
}

std::optional<int> UserSettings::contentSearchLimit() const {
    if (!m_settings || !m_settings->contains("contentSearchLimitMB"))
        return std::nullopt;
    bool ok = false;
    const int megabytes = m_settings->value("contentSearchLimitMB").toString().toInt(&ok);
    if (!ok || megabytes < 1)
        return std::nullopt;
    return megabytes;
}

void UserSettings::setContentSearchLimit(int megabytes) {
    if (m_settings)
        m_settings->setValue("contentSearchLimitMB", megabytes);
}

std::optional<int> UserSettings::thumbnailLimitMB() const {
    if (!m_settings || !m_settings->contains("thumbnailLimitMB"))
        return std::nullopt;
    bool number = false;
    const int megabytes = m_settings->value("thumbnailLimitMB").toString().toInt(&number);
    if (!number || megabytes < 0)
        return std::nullopt;
    return megabytes;
}

void UserSettings::setThumbnailLimitMB(int megabytes) {
    if (m_settings)
        m_settings->setValue("thumbnailLimitMB", megabytes);
}

std::optional<QByteArray> UserSettings::presentation() const {
    if (!m_settings || !m_settings->contains("presentation.v1"))
        return std::nullopt;
    return m_settings->value("presentation.v1").toByteArray();
}

void UserSettings::setPresentation(const std::optional<QByteArray> &json) {
    if (!m_settings)
        return;
    if (json)
        m_settings->setValue("presentation.v1", *json);
    else
        m_settings->remove("presentation.v1");
}

void UserSettings::sync() {
    if (m_settings)
        m_settings->sync();
}

} // namespace dromel
