#pragma once

#include "engine/OperationCancellation.h"
#include "engine/TrashRecordMemo.h"
#include "engine/TrashedItem.h"

#include <functional>
#include <string>
#include <vector>

// Reading the user's trashes: the home trash and every mounted volume's
// (`$top/.Trash/$uid` when `.Trash` is a real sticky folder, and
// `$top/.Trash-$uid`). Blocking file-system calls: never on the main thread.
namespace dromel::detail {
class DeletionDates;
}

namespace dromel::TrashListing {

using Batch = std::function<void(std::vector<TrashedItem> &&)>;
using Prepare = std::function<void(std::vector<TrashedItem> &)>;

// The trash folders that exist now, the home trash first. A trash reached
// through a link, or one not owned by the user, is left out.
std::vector<std::string> trashFolders();

// The home trash, whether or not it exists yet.
std::string homeTrash();

// Every entry of the given trashes. Throws OperationCancelled when cancelled.
std::vector<TrashedItem> list(const std::vector<std::string> &trashes, const OperationCancellation &cancel);

// The same entries handed to `onBatch` on the calling thread as they are
// read: a small first batch for a quick first paint, then batches of a few
// hundred in no particular order. The records of a large listing are read by
// the calling thread and one helper. Throws OperationCancelled when
// cancelled (after the batches read so far). With a memo, only the records
// it does not know are read, and it learns them. `prepare`, when given, runs
// on each batch on the thread that read it (either of the two, at once), so
// that the caller's own work per entry is shared as the reading is.
void list(const std::vector<std::string> &trashes, const OperationCancellation &cancel, const Batch &onBatch,
          TrashRecordMemo *memo = nullptr, const Prepare &prepare = {});

// The entries of one trash (none when it cannot be read).
std::vector<TrashedItem> listTrash(const std::string &trash, const OperationCancellation &cancel);

// Parses one record; `top` is the volume's top for relative paths ("" for
// the home trash, whose records hold absolute paths).
void readRecord(const std::string &text, const std::string &top, TrashedItem &item);
void readRecord(const std::string &text, const std::string &top, TrashedItem &item,
                detail::DeletionDates &dates);

// The trash holding `itemPath` ("<trash>/files/<name>") when it is one of
// trashFolders(), and the path its record names. Throws
// OperationProblem(unsupported) for an item outside the user's trashes or
// without a usable record.
std::pair<std::string, std::string> recordOf(const std::string &itemPath);

// Whether `path` is an item directly in one of the user's trashes' files/.
bool holds(const std::string &path);

// The volume top a trash folder records paths against ("" for the home trash).
std::string topOf(const std::string &trash);

} // namespace dromel::TrashListing
