#pragma once

#include <string>

namespace dromel::SessionPaths {

// The Dromel state folder: $XDG_STATE_HOME/Dromel when that variable holds an
// absolute path, else ~/.local/state/Dromel. Only computed; saving creates it.
std::string stateFolder();

} // namespace dromel::SessionPaths
