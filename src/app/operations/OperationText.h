#pragma once

#include "core/FileOperationTask.h"
#include "core/ItemOutcome.h"
#include "core/OperationPhase.h"
#include "core/OperationProblem.h"

#include <QString>

#include <string>

// The user's words for phases, outcomes, problems and whole tasks, in the
// process-wide language. Each phase, outcome and problem code has its own
// text key named after it ("phase" + the capitalised case name), so a new
// case without a text shows its key's name instead of nothing.
namespace dromel::OperationText {

QString phase(OperationPhase phase);
QString outcome(ItemOutcome outcome);
// The code's text, then the path and the detail, each on its own line when
// not empty.
QString problem(const OperationProblem &problem);
// Phase and the counts of done, skipped, failed and remaining items.
QString summary(const FileOperationTask &task);
// How the task is named in lists: its new name, the new folder's name, or
// the first source's name; an undo says so around that name.
QString label(const FileOperationTask &task);

// A path for display; bytes that are not UTF-8 show as replacement characters.
QString path(const std::string &path);

} // namespace dromel::OperationText
