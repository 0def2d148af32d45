#include "core/JsonSupport.h"

#include "core/Location.h"

#include <cmath>
#include <set>
#include <vector>

namespace dromel {

Json parseJsonStrict(std::string_view text) {
    std::vector<std::set<std::string>> keysPerObject;
    auto check = [&](int depth, Json::parse_event_t event, Json &parsed) -> bool {
        switch (event) {
        case Json::parse_event_t::object_start:
            keysPerObject.emplace_back();
            [[fallthrough]];
        case Json::parse_event_t::array_start:
            if (depth >= kMaxJsonDepth)
                throw JsonDecodeError("JSON nested too deeply");
            break;
        case Json::parse_event_t::object_end:
            if (!keysPerObject.empty())
                keysPerObject.pop_back();
            break;
        case Json::parse_event_t::key:
            if (!keysPerObject.empty() && !keysPerObject.back().insert(parsed.get<std::string>()).second)
                throw JsonDecodeError("Duplicate key in JSON object", parsed.get<std::string>());
            break;
        case Json::parse_event_t::value:
            if (parsed.is_number_float() && !std::isfinite(parsed.get<double>()))
                throw JsonDecodeError("JSON number out of range");
            break;
        default:
            break;
        }
        return true;
    };
    try {
        return Json::parse(text.begin(), text.end(), check, true, false);
    } catch (const Json::exception &error) {
        throw JsonDecodeError(std::string("Invalid JSON: ") + error.what());
    }
}

namespace json {

static JsonDecodeError typeMismatch(const char *key, const char *expected) {
    return JsonDecodeError(std::string("Expected ") + expected + " for key \"" + key + "\"", key);
}

const Json &require(const Json &object, const char *key) {
    if (!object.is_object())
        throw JsonDecodeError(std::string("Expected an object holding key \"") + key + "\"", key);
    auto it = object.find(key);
    if (it == object.end())
        throw JsonDecodeError(std::string("Missing key \"") + key + "\"", key);
    return *it;
}

std::string requireString(const Json &object, const char *key) {
    const Json &value = require(object, key);
    if (!value.is_string())
        throw typeMismatch(key, "a string");
    return value.get<std::string>();
}

bool requireBool(const Json &object, const char *key) {
    const Json &value = require(object, key);
    if (!value.is_boolean())
        throw typeMismatch(key, "a boolean");
    return value.get<bool>();
}

static std::int64_t intValue(const Json &value, const char *key, std::int64_t minimum, std::int64_t maximum) {
    std::int64_t result = 0;
    if (value.is_number_unsigned()) {
        const auto raw = value.get<std::uint64_t>();
        if (raw > static_cast<std::uint64_t>(INT64_MAX))
            throw JsonDecodeError(std::string("Integer out of range for key \"") + key + "\"", key);
        result = static_cast<std::int64_t>(raw);
    } else if (value.is_number_integer()) {
        result = value.get<std::int64_t>();
    } else {
        throw typeMismatch(key, "an integer");
    }
    if (result < minimum || result > maximum)
        throw JsonDecodeError(std::string("Integer out of range for key \"") + key + "\"", key);
    return result;
}

std::int64_t requireInt(const Json &object, const char *key, std::int64_t minimum, std::int64_t maximum) {
    return intValue(require(object, key), key, minimum, maximum);
}

static double doubleValue(const Json &value, const char *key) {
    if (!value.is_number())
        throw typeMismatch(key, "a number");
    const double result = value.get<double>();
    if (!std::isfinite(result))
        throw JsonDecodeError(std::string("Number out of range for key \"") + key + "\"", key);
    return result;
}

double requireDouble(const Json &object, const char *key) {
    return doubleValue(require(object, key), key);
}

const Json &requireArray(const Json &object, const char *key) {
    const Json &value = require(object, key);
    if (!value.is_array())
        throw typeMismatch(key, "an array");
    return value;
}

const Json &requireObject(const Json &object, const char *key) {
    const Json &value = require(object, key);
    if (!value.is_object())
        throw typeMismatch(key, "an object");
    return value;
}

Uuid requireUuid(const Json &object, const char *key) {
    const auto id = Uuid::parse(requireString(object, key));
    if (!id)
        throw JsonDecodeError(std::string("Invalid UUID for key \"") + key + "\"", key);
    return *id;
}

std::string requireURLPath(const Json &object, const char *key) {
    const auto path = Location::pathFromFileURL(requireString(object, key));
    if (!path)
        throw JsonDecodeError(std::string("Invalid file URL for key \"") + key + "\"", key);
    return *path;
}

std::vector<std::string> requireURLPathArray(const Json &object, const char *key) {
    std::vector<std::string> paths;
    for (const Json &item : requireArray(object, key)) {
        const auto path = Location::pathFromFileURL(asString(item, key));
        if (!path)
            throw JsonDecodeError(std::string("Invalid file URL in \"") + key + "\"", key);
        paths.push_back(*path);
    }
    return paths;
}

Json urlArray(const std::vector<std::string> &paths) {
    Json array = Json::array();
    for (const std::string &path : paths)
        array.push_back(Location::fileURL(path, false));
    return array;
}

static const Json *present(const Json &object, const char *key) {
    if (!object.is_object())
        throw JsonDecodeError(std::string("Expected an object holding key \"") + key + "\"", key);
    auto it = object.find(key);
    if (it == object.end() || it->is_null())
        return nullptr;
    return &*it;
}

std::optional<std::string> optionalString(const Json &object, const char *key) {
    const Json *value = present(object, key);
    if (!value)
        return std::nullopt;
    if (!value->is_string())
        throw typeMismatch(key, "a string");
    return value->get<std::string>();
}

std::optional<std::int64_t> optionalInt(const Json &object, const char *key) {
    const Json *value = present(object, key);
    if (!value)
        return std::nullopt;
    return intValue(*value, key, INT64_MIN, INT64_MAX);
}

std::optional<double> optionalDouble(const Json &object, const char *key) {
    const Json *value = present(object, key);
    if (!value)
        return std::nullopt;
    return doubleValue(*value, key);
}

std::optional<std::string> optionalURLPath(const Json &object, const char *key) {
    if (!present(object, key))
        return std::nullopt;
    return requireURLPath(object, key);
}

std::string asString(const Json &value, const char *context) {
    if (!value.is_string())
        throw typeMismatch(context, "strings");
    return value.get<std::string>();
}

void expectObject(const Json &value, const char *context) {
    if (!value.is_object())
        throw typeMismatch(context, "objects");
}

// Length of the valid UTF-8 sequence at `text[i]`, or 0 when it is invalid.
static std::size_t sequenceLength(std::string_view text, std::size_t i) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char c = byte(i);
    if (c < 0x80)
        return 1;
    std::size_t length = 0;
    unsigned char low = 0x80, high = 0xBF;
    if (c >= 0xC2 && c <= 0xDF) {
        length = 2;
    } else if (c >= 0xE0 && c <= 0xEF) {
        length = 3;
        if (c == 0xE0)
            low = 0xA0;
        if (c == 0xED)
            high = 0x9F;
    } else if (c >= 0xF0 && c <= 0xF4) {
        length = 4;
        if (c == 0xF0)
            low = 0x90;
        if (c == 0xF4)
            high = 0x8F;
    } else {
        return 0;
    }
    if (i + length > text.size())
        return 0;
    if (byte(i + 1) < low || byte(i + 1) > high)
        return 0;
    for (std::size_t k = 2; k < length; ++k)
        if (byte(i + k) < 0x80 || byte(i + k) > 0xBF)
            return 0;
    return length;
}

bool isValidUtf8(std::string_view text) {
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t length = sequenceLength(text, i);
        if (length == 0)
            return false;
        i += length;
    }
    return true;
}

std::string repairedUtf8(std::string_view text) {
    std::string result;
    result.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t length = sequenceLength(text, i);
        if (length == 0) {
            result += "\xEF\xBF\xBD";
            ++i;
        } else {
            result.append(text.substr(i, length));
            i += length;
        }
    }
    return result;
}

static constexpr std::string_view kEscapedPrefix = "file://";

std::string encodedBytes(std::string_view bytes) {
    if (isValidUtf8(bytes) && !bytes.starts_with("file:"))
        return std::string(bytes);
    return std::string(kEscapedPrefix) + Location::percentEncoded(bytes);
}

std::string decodedBytes(std::string_view text, const char *key) {
    if (!text.starts_with(kEscapedPrefix))
        return std::string(text);
    auto bytes = Location::percentDecoded(text.substr(kEscapedPrefix.size()));
    if (!bytes)
        throw JsonDecodeError("Invalid escaped text", key);
    return std::move(*bytes);
}

} // namespace json
} // namespace dromel
