#include "presentation/PresentationSettings.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>
#include <limits>

namespace dromel {

namespace {

QByteArray quoted(std::string_view raw) {
    // Raw values are plain ASCII words, so quoting needs no escapes.
    return '"' + QByteArray(raw.data(), qsizetype(raw.size())) + '"';
}

template <typename Value, typename Parse>
std::optional<Value> decodeRaw(const QJsonObject &object, QLatin1String key, Parse parse) {
    const QJsonValue value = object.value(key);
    if (!value.isString())
        return std::nullopt;
    return parse(value.toString().toStdString());
}

std::optional<int> decodeInteger(const QJsonValue &value) {
    if (!value.isDouble())
        return std::nullopt;
    const double number = value.toDouble();
    if (number != std::trunc(number) || number < std::numeric_limits<int>::min() ||
        number > std::numeric_limits<int>::max())
        return std::nullopt;
    return int(number);
}

} // namespace

QByteArray PresentationSettings::toJson() const {
    // QJsonObject would sort the keys; the stored form keeps the field order.
    return "{\"schemaVersion\":" + QByteArray::number(schemaVersion) +
           ",\"language\":" + quoted(rawValue(language)) + ",\"appearance\":" + quoted(rawValue(appearance)) +
           ",\"skin\":" + quoted(rawValue(skin)) + '}';
}

std::optional<PresentationSettings> PresentationSettings::fromJson(const QByteArray &json) {
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    const QJsonObject object = document.object();
    const auto version = decodeInteger(object.value(QLatin1String("schemaVersion")));
    const auto language = decodeRaw<AppLanguage>(object, QLatin1String("language"), appLanguageFromRawValue);
    const auto appearance =
        decodeRaw<AppAppearance>(object, QLatin1String("appearance"), appAppearanceFromRawValue);
    const auto skin = decodeRaw<SkinID>(object, QLatin1String("skin"), skinIDFromRawValue);
    if (!version || !language || !appearance || !skin)
        return std::nullopt;
    return PresentationSettings{*version, *language, *appearance, *skin};
}

PresentationSettings PresentationSettings::load(const std::optional<QByteArray> &data) {
    if (!data)
        return {};
    const auto decoded = fromJson(*data);
    if (!decoded || decoded->schemaVersion != kSchemaVersion)
        return {};
    return *decoded;
}

} // namespace dromel
