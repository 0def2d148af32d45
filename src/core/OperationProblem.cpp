#include "core/OperationProblem.h"

#include "core/detail/RawValues.h"

#include <cerrno>
#include <cstring>

namespace dromel {

using Code = OperationProblem::Code;

static constexpr auto kCodes = detail::rawValues<Code>(
    std::pair{Code::invalidName, "invalidName"}, std::pair{Code::unsupported, "unsupported"},
    std::pair{Code::sourceChanged, "sourceChanged"}, std::pair{Code::targetChanged, "targetChanged"},
    std::pair{Code::descendant, "descendant"}, std::pair{Code::metadataConsent, "metadataConsent"},
    std::pair{Code::verification, "verification"}, std::pair{Code::system, "system"},
    std::pair{Code::journal, "journal"}, std::pair{Code::interrupted, "interrupted"});

std::string_view rawValue(Code code) {
    return kCodes.text(code);
}
std::optional<Code> problemCodeFromRawValue(std::string_view raw) {
    return kCodes.parse(raw);
}

OperationProblem::OperationProblem(Code code, std::string path, std::string detail)
    : m_code(code), m_path(std::move(path)), m_detail(std::move(detail)) {
    m_what = std::string(rawValue(m_code));
    if (!m_path.empty())
        m_what += " " + m_path;
    if (!m_detail.empty())
        m_what += ": " + m_detail;
}

namespace {

// A volume whose server or network is gone (a stale sshfs or NFS mount): the
// item cannot be worked on at all, which is not a fault of this machine.
bool volumeUnreachable(int error) {
    switch (error) {
    case ENOTCONN:
    case ESTALE:
    case EHOSTDOWN:
    case EHOSTUNREACH:
    case ENETDOWN:
    case ENETUNREACH:
    case ECONNABORTED:
    case ECONNREFUSED:
    case ECONNRESET:
        return true;
    default:
        return false;
    }
}

} // namespace

OperationProblem OperationProblem::fromErrno(int error, std::string path) {
    // strerror_r's GNU form may return a static string instead of filling buf.
    char buffer[256];
    const char *message = strerror_r(error, buffer, sizeof buffer);
    return OperationProblem(volumeUnreachable(error) ? Code::unsupported : Code::system, std::move(path),
                            message);
}

Json OperationProblem::toJson() const {
    Json json = Json::object();
    json["code"] = std::string(rawValue(m_code));
    // Paths and names need not be UTF-8, and messages quote them.
    json["path"] = json::encodedBytes(m_path);
    json["detail"] = json::encodedBytes(m_detail);
    return json;
}

OperationProblem OperationProblem::fromJson(const Json &json) {
    if (!json.is_object())
        throw JsonDecodeError("Expected an object for a problem");
    const auto code = problemCodeFromRawValue(json::requireString(json, "code"));
    if (!code)
        throw JsonDecodeError("Unknown problem code", "code");
    return OperationProblem(*code, json::decodedBytes(json::requireString(json, "path"), "path"),
                            json::decodedBytes(json::requireString(json, "detail"), "detail"));
}

} // namespace dromel
