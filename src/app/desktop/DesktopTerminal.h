#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace dromel {

// The user's terminal: $TERMINAL, else Debian's x-terminal-emulator
// alternative, else the first of the common ones installed.
namespace DesktopTerminal {

using Environment = std::function<std::optional<std::string>(const char *name)>;

// The program and its arguments, or nothing when no terminal is installed.
// Searches PATH: reads the disk, so call it off the main thread.
std::optional<std::vector<std::string>> command(const Environment &environment);

// Starts `command` detached with `folder` as its working folder.
bool start(const std::vector<std::string> &command, const std::string &folder);

} // namespace DesktopTerminal
} // namespace dromel
