#pragma once

#include "core/JsonSupport.h"

#include <exception>
#include <optional>
#include <string>
#include <string_view>

namespace dromel {

// The engine's one failure type: thrown while work runs, stored in results.
// `path` is the file concerned (for invalidName the rejected name); `detail`
// is usually the C library's message for the failing call.
class OperationProblem : public std::exception {
public:
    enum class Code {
        invalidName,
        unsupported,
        sourceChanged,
        targetChanged,
        descendant,
        metadataConsent,
        verification,
        system,
        journal,
        interrupted,
    };

    OperationProblem(Code code, std::string path, std::string detail);

    // code `system` with strerror(error) as the detail; `unsupported` (same
    // detail) when the item's volume is unreachable, as a dead network mount is.
    static OperationProblem fromErrno(int error, std::string path);

    Code code() const { return m_code; }
    const std::string &path() const { return m_path; }
    const std::string &detail() const { return m_detail; }
    const char *what() const noexcept override { return m_what.c_str(); }

    Json toJson() const;
    static OperationProblem fromJson(const Json &json);

    friend bool operator==(const OperationProblem &a, const OperationProblem &b) {
        return a.m_code == b.m_code && a.m_path == b.m_path && a.m_detail == b.m_detail;
    }

private:
    Code m_code;
    std::string m_path;
    std::string m_detail;
    std::string m_what;
};

std::string_view rawValue(OperationProblem::Code code);
std::optional<OperationProblem::Code> problemCodeFromRawValue(std::string_view raw);

} // namespace dromel
