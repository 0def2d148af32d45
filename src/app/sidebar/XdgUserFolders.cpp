#include "sidebar/XdgUserFolders.h"

#include "core/Location.h"

#include <cstdlib>
#include <fstream>

namespace dromel::XdgUserFolders {

namespace {

std::string configHome(const std::string &home) {
    const char *value = std::getenv("XDG_CONFIG_HOME");
    if (value && Location::isAbsolute(value))
        return value;
    return Location::appending(home, ".config");
}

// The value of a line `XDG_<key>_DIR="…"`: "$HOME/…" or an absolute path, with
// the shell escapes the file may hold. Nothing when the line is not that.
std::optional<std::string> valueOf(std::string_view line, std::string_view key, const std::string &home) {
    const std::string prefix = "XDG_" + std::string(key) + "_DIR=\"";
    while (!line.empty() && (line.front() == ' ' || line.front() == '\t'))
        line.remove_prefix(1);
    while (!line.empty() && (line.back() == ' ' || line.back() == '\t' || line.back() == '\r'))
        line.remove_suffix(1);
    if (line.substr(0, prefix.size()) != prefix || line.size() < prefix.size() + 1 || line.back() != '"')
        return std::nullopt;
    std::string_view quoted = line.substr(prefix.size(), line.size() - prefix.size() - 1);
    std::string value;
    if (quoted.substr(0, 5) == "$HOME" && (quoted.size() == 5 || quoted[5] == '/')) {
        value = home;
        quoted.remove_prefix(5);
    } else if (quoted.empty() || quoted.front() != '/') {
        return std::nullopt;
    }
    for (std::size_t i = 0; i < quoted.size(); ++i) {
        if (quoted[i] == '\\' && i + 1 < quoted.size())
            ++i;
        value += quoted[i];
    }
    return Location::standardized(value);
}

} // namespace

std::optional<std::string> folder(std::string_view key, std::string_view defaultName,
                                  const std::string &home) {
    const std::string standardHome = Location::standardized(home);
    std::optional<std::string> chosen;
    std::ifstream file(Location::appending(configHome(standardHome), "user-dirs.dirs"));
    for (std::string line; std::getline(file, line);)
        if (auto value = valueOf(line, key, standardHome))
            chosen = std::move(value); // the last entry wins, as in the shell
    if (!chosen)
        return Location::appending(standardHome, defaultName);
    if (*chosen == standardHome)
        return std::nullopt;
    return chosen;
}

} // namespace dromel::XdgUserFolders
