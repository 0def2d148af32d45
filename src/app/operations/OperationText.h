#pragma once

#include "core/FileOperationTask.h"
#include "core/ItemOutcome.h"
#include "core/OperationPhase.h"
#include "core/OperationProblem.h"

#include <QString>

#include <string>
#include <vector>

// The user's words for phases, outcomes, problems and whole tasks, in the
// process-wide language. Each phase, outcome and problem code has its own
// text key named after it ("phase" + the capitalised case name), so a new
// case without a text shows its key's name instead of nothing.
namespace dromel::OperationText {

QString phase(OperationPhase phase);
// The task's phase as the user sees it: a task in review whose leftovers
// were cleaned up says so instead.
QString phase(const FileOperationTask &task);
QString outcome(ItemOutcome outcome);
// The code's text, then the path and the detail, each on its own line when
// not empty.
QString problem(const OperationProblem &problem);
// Phase and the counts of done, skipped, failed and remaining items.
QString summary(const FileOperationTask &task);
// How the task is named in lists: its new name, the new folder's name, or
// the first source's name; an undo says so around that name.
QString label(const FileOperationTask &task);

// Why a task in review is there: the problem of the whole task (an
// interruption, a journal failure) or else of its first failed item; empty
// when none is recorded.
QString reviewCause(const FileOperationTask &task);
// What the task left for the user, each path once, in the order first named:
// the task's own list, then what its failed items named.
std::vector<std::string> leftovers(const FileOperationTask &task);

// A path or name for display, on one line: bytes that are not UTF-8 show as
// replacement characters, control characters as escapes ("\n", "\x1B").
QString path(const std::string &path);

} // namespace dromel::OperationText
