#include "desktop/DesktopInspection.h"

#include "runtime/QueueNames.h"
#include "runtime/WorkQueue.h"

namespace dromel {

WorkQueue &desktopInspection() {
    static WorkQueue *queue = new WorkQueue(QueueNames::desktopInspection());
    return *queue;
}

} // namespace dromel
