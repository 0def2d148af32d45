#include "core/StatePaths.h"

#include "core/Version.h"

#include <cstdlib>
#include <pwd.h>
#include <unistd.h>

namespace dromel::StatePaths {

// The base-directory rules ignore relative values.
static const char *absoluteVariable(const char *name) {
    const char *value = std::getenv(name);
    return value && value[0] == '/' ? value : nullptr;
}

std::string homeFolder() {
    if (const char *home = absoluteVariable("HOME"))
        return home;
    if (const passwd *entry = ::getpwuid(::geteuid()); entry && entry->pw_dir)
        return entry->pw_dir;
    return "/";
}

std::string stateFolder() {
    if (const char *state = absoluteVariable("XDG_STATE_HOME"))
        return std::string(state) + "/" + kApplicationName;
    return homeFolder() + "/.local/state/" + kApplicationName;
}

std::string dataHome() {
    if (const char *data = absoluteVariable("XDG_DATA_HOME"))
        return data;
    return homeFolder() + "/.local/share";
}

} // namespace dromel::StatePaths
