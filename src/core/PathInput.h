#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

// Turns the text typed into the path field into the folder to visit. Only
// absolute paths and paths under "~" are accepted, so a typed path never
// depends on the tab's current folder.
namespace dromel::PathInput {

class PathError : public std::runtime_error {
public:
    enum class Code { absoluteRequired };
    PathError() : std::runtime_error("Enter an absolute path or a path beginning with ~/.") {}
    Code code() const { return Code::absoluteRequired; }
};

// The standardized path; throws PathError. The file system is not consulted.
std::string resolve(std::string_view text, std::string_view home);
// resolve() with the user's home folder.
std::string resolve(std::string_view text);

} // namespace dromel::PathInput
