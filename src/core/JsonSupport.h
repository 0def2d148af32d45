#pragma once

#include "core/Uuid.h"

#include <nlohmann/json.hpp>

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

// JSON coding shared by every record. Records write keys in their documented
// order (ordered_json) and decode through these helpers, which throw
// JsonDecodeError for anything that is not exactly the expected shape.
namespace dromel {

using Json = nlohmann::ordered_json;

// what() is the user-independent description; key() names the offending key
// when there is one.
class JsonDecodeError : public std::runtime_error {
public:
    explicit JsonDecodeError(const std::string &message, std::string key = {})
        : std::runtime_error(message), m_key(std::move(key)) {}
    const std::string &key() const { return m_key; }

private:
    std::string m_key;
};

// Thrown by an encoder when a record has no faithful JSON form.
class JsonEncodeError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

inline constexpr int kMaxJsonDepth = 64;

// Parses one JSON document, rejecting syntax errors, invalid UTF-8, duplicate
// object keys, nesting deeper than kMaxJsonDepth and numbers that overflow to
// infinity. Throws JsonDecodeError.
Json parseJsonStrict(std::string_view text);

namespace json {

// Each throws JsonDecodeError naming `key` when it is missing or of another type.
const Json &require(const Json &object, const char *key);
std::string requireString(const Json &object, const char *key);
bool requireBool(const Json &object, const char *key);
// Integers only (no fractions); must fit in [minimum, maximum].
std::int64_t requireInt(const Json &object, const char *key, std::int64_t minimum = INT64_MIN,
                        std::int64_t maximum = INT64_MAX);
// Any finite JSON number.
double requireDouble(const Json &object, const char *key);
const Json &requireArray(const Json &object, const char *key);
const Json &requireObject(const Json &object, const char *key);
Uuid requireUuid(const Json &object, const char *key);
// A file URL; returns its standardized path.
std::string requireURLPath(const Json &object, const char *key);

// An array of file URLs; returns their standardized paths.
std::vector<std::string> requireURLPathArray(const Json &object, const char *key);
// The JSON array of file URLs (not folder URLs) for `paths`.
Json urlArray(const std::vector<std::string> &paths);

// Absent key (or null) gives nothing; a present key of another type throws.
std::optional<std::string> optionalString(const Json &object, const char *key);
std::optional<std::int64_t> optionalInt(const Json &object, const char *key);
std::optional<double> optionalDouble(const Json &object, const char *key);
std::optional<std::string> optionalURLPath(const Json &object, const char *key);

// Element helpers for arrays.
std::string asString(const Json &value, const char *context);
void expectObject(const Json &value, const char *context);

// True when `text` is valid UTF-8 (so it can be placed in a Json string).
bool isValidUtf8(std::string_view text);
// `text` with each invalid sequence replaced by U+FFFD.
std::string repairedUtf8(std::string_view text);

// Any bytes (a path, a name, a message naming either), losslessly: UTF-8 text
// not starting with "file:" as it is, anything else as "file://" followed by
// its percent-encoded bytes, which for an absolute path is its file URL.
std::string encodedBytes(std::string_view bytes);
// The inverse of encodedBytes; throws JsonDecodeError naming `key` for a bad
// escape. Text starting with "file:" but not "file://" is taken as it is.
std::string decodedBytes(std::string_view text, const char *key);

} // namespace json
} // namespace dromel
