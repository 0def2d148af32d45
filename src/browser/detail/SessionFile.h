#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

// File access for the session file: whole-file reads and crash-safe
// replacement. Blocking; call from the session queue only. Failures are thrown
// as std::system_error whose what() names the step, the path and the C
// library's message.
namespace dromel::SessionFile {

// Temporary files are named with this prefix followed by a UUID, in the same
// folder as the file they will replace.
inline constexpr std::string_view kTemporaryPrefix = ".dromel-session-";

// Creates `folder` and every missing parent with mode 0700; an existing folder
// (or a link to one) is fine and keeps its mode.
void createFolder(const std::string &folder);

// Replaces `path` with `bytes` so that a crash at any moment leaves either the
// old content or the new one: the bytes go to a locked temporary file in the
// same folder, which is given mode 0600, fsync'ed, renamed over `path`, and
// then the folder is fsync'ed. Temporary files left behind by writers that
// died are removed first; a live writer's are recognised by their lock. On
// failure before the rename the old file is untouched and no temporary file
// remains.
void replaceAtomically(const std::string &path, std::string_view bytes);

// The whole content of the regular file at `path`, or nothing when it is
// missing, unreadable, not a regular file or larger than `maxBytes`.
std::optional<std::string> readWhole(const std::string &path, std::size_t maxBytes);

} // namespace dromel::SessionFile
