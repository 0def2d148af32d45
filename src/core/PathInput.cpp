#include "core/PathInput.h"

#include "core/Location.h"
#include "core/StatePaths.h"

namespace dromel::PathInput {

std::string resolve(std::string_view text, std::string_view home) {
    std::string path;
    if (text == "~")
        path = home;
    else if (text.starts_with("~/"))
        path = std::string(home) + std::string(text.substr(1));
    else
        path = text;
    if (!path.starts_with('/') || path.find('\0') != std::string::npos)
        throw PathError();
    return Location::standardized(path);
}

std::string resolve(std::string_view text) {
    return resolve(text, StatePaths::homeFolder());
}

} // namespace dromel::PathInput
