#include "runtime/detail/ThreadName.h"

#include <pthread.h>

namespace dromel::detail {

void nameCurrentThread(const std::string &label) {
    thread_local std::string current;
    if (current == label)
        return;
    current = label;
    ::pthread_setname_np(::pthread_self(), label.substr(0, 15).c_str());
}

} // namespace dromel::detail
