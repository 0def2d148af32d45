#pragma once

namespace dromel {

class WorkQueue;

// The one queue for what the desktop asks of items (FileManager1's stats, a
// drag's move-or-copy lookup). Never destroyed: a call stuck on a dead mount
// must not hold up the exit. Any thread.
WorkQueue &desktopInspection();

} // namespace dromel
