#pragma once

#include "browser/BrowserStore.h"
#include "support/WaitUntil.h"

#include <algorithm>
#include <chrono>

namespace dromel::test {

// Waits until no tab of `store` is reading or sorting. The first read loads
// the MIME database, which takes seconds under the sanitizers.
inline bool settled(const BrowserStore &store) {
    return waitUntil(
        [&] {
            return std::none_of(store.tabs().begin(), store.tabs().end(),
                                [](const BrowserTab &tab) { return tab.loading || tab.arranging; });
        },
        std::chrono::seconds(30));
}

} // namespace dromel::test
