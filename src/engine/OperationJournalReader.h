#pragma once

#include "engine/OperationJournal.h"

#include <string>

namespace dromel {

// A look at a journal another process holds and writes: its tasks as last
// written, read through a read-only connection. Nothing is ever written, not
// even what a load by the holder would write (no upgrade, no pruning, no
// interrupted marks, no rows set aside): a task still running there is shown
// in its running phase. Any thread.
class OperationJournalReader {
public:
    explicit OperationJournalReader(std::string path);

    // Most recently written first, as OperationJournal::load would list them
    // (the finished ones capped alike). Never throws: a journal that does not
    // exist yet has no tasks; one that cannot be read gives a journal problem.
    OperationJournalLoad load() const;

private:
    std::string m_path;
};

} // namespace dromel
