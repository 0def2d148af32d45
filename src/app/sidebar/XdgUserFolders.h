#pragma once

#include <optional>
#include <string>
#include <string_view>

// The user's special folders as xdg-user-dirs records them in
// $XDG_CONFIG_HOME/user-dirs.dirs (so they follow the user's language and
// choices). Read as bytes, because the folders' names need not be UTF-8.
namespace dromel::XdgUserFolders {

// The folder recorded for `key` ("DESKTOP", "DOWNLOAD", "DOCUMENTS", ...), or
// `home` + `defaultName` when the file has no entry for it. Nothing when the
// entry is the home folder itself, which xdg-user-dirs uses to switch it off.
std::optional<std::string> folder(std::string_view key, std::string_view defaultName,
                                  const std::string &home);

} // namespace dromel::XdgUserFolders
