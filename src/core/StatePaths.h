#pragma once

#include <string>

// Where Dromel keeps its files, by the XDG base-directory rules. Only computed:
// whoever writes a file creates its folder.
namespace dromel::StatePaths {

// The user's home folder: $HOME when absolute, else the password database.
std::string homeFolder();

// $XDG_STATE_HOME/Dromel when that variable holds an absolute path, else
// ~/.local/state/Dromel (session and journal).
std::string stateFolder();

// $XDG_DATA_HOME when absolute, else ~/.local/share (the home trash lives here).
std::string dataHome();

} // namespace dromel::StatePaths
