// The task decoder must reject, never crash; whatever it accepts must write
// and read back as itself, since the journal rewrites tasks it has loaded.
#include "core/FileOperationTask.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char *>(data), size);
    try {
        const dromel::FileOperationTask task = dromel::FileOperationTask::decode(text);
        if (dromel::FileOperationTask::decode(task.encoded()) != task)
            std::abort();
    } catch (const dromel::JsonDecodeError &) {
    }
    return 0;
}
