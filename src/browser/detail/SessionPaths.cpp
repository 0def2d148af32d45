#include "browser/detail/SessionPaths.h"

#include "core/Version.h"

#include <cstdlib>
#include <pwd.h>
#include <unistd.h>

namespace dromel::SessionPaths {

std::string stateFolder() {
    // The base-directory rules ignore relative values.
    const char *state = std::getenv("XDG_STATE_HOME");
    if (state && state[0] == '/')
        return std::string(state) + "/" + kApplicationName;
    std::string home;
    if (const char *variable = std::getenv("HOME"); variable && variable[0] == '/')
        home = variable;
    else if (const passwd *entry = ::getpwuid(::geteuid()); entry && entry->pw_dir)
        home = entry->pw_dir;
    return home + "/.local/state/" + kApplicationName;
}

} // namespace dromel::SessionPaths
