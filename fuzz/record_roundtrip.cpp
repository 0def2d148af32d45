// Records built from arbitrary bytes (non-UTF-8 paths, hostile names, messages
// quoting either) must write and read back as themselves: the journal hands
// the engine exactly what it stored, so a name that was invalid stays invalid.
#include "core/FileOperationTask.h"
#include "core/Location.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace {

// Splits the input at 0xFF 0x00 into fields; missing fields are empty.
std::vector<std::string> fields(std::string_view input, std::size_t count) {
    std::vector<std::string> result;
    while (result.size() + 1 < count) {
        const std::size_t cut = input.find(std::string_view("\xFF\0", 2));
        if (cut == std::string_view::npos)
            break;
        result.emplace_back(input.substr(0, cut));
        input.remove_prefix(cut + 2);
    }
    result.emplace_back(input);
    result.resize(count);
    return result;
}

// Paths in records are absolute and standardized, and hold no NUL byte.
std::string path(const std::string &bytes) {
    std::string cleaned;
    for (const char c : bytes)
        if (c != '\0')
            cleaned += c;
    return dromel::Location::standardized("/" + cleaned);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    using namespace dromel;
    const auto field = fields(std::string_view(reinterpret_cast<const char *>(data), size), 5);
    const auto code = static_cast<OperationProblem::Code>(size % 10);
    const OperationProblem problem(code, field[0], field[1]);
    if (OperationProblem::fromJson(Json::parse(problem.toJson().dump())) != problem)
        std::abort();

    const FileUndoRelocation undo{Uuid::random(), path(field[2]), path(field[3]), field[4],
                                  size % 3 == 0 ? std::nullopt : std::optional<std::string>("0a1b")};
    const FileUndoRelocation other{undo.operationID, path(field[0]), path(field[1]), field[1], std::nullopt};
    const auto kind = static_cast<FileOperationKind>(size % 9);
    FileOperationRequest request =
        size % 4 == 3 ? FileOperationRequest(kind, {path(field[2]), path(field[0])}, path(field[3]), field[1],
                                             std::vector<FileUndoRelocation>{undo, other})
                      : FileOperationRequest(kind, {path(field[2]), path(field[0])}, path(field[3]), field[1],
                                             size % 2 == 0, {{path(field[2]), field[4]}}, undo);
    const ModeReceipt mode{path(field[1]), static_cast<std::uint32_t>(size % 07777), field[4]};
    if (size % 5 == 0)
        request.setPermissions(PermissionChange{static_cast<std::uint32_t>(size % 0777),
                                                static_cast<std::uint32_t>(size / 7 % 0777),
                                                size % 2 == 0,
                                                {mode}});
    FileOperationTask task(request);
    task.results.push_back(FileOperationResult{path(field[0]),
                                               path(field[1]),
                                               ItemOutcome::failed,
                                               problem,
                                               {path(field[4])},
                                               undo,
                                               {path(field[1])},
                                               {mode},
                                               FileRemoval{path(field[2]), static_cast<std::int64_t>(size),
                                                           static_cast<std::int64_t>(size / 3),
                                                           -static_cast<std::int64_t>(size), field[4]}});
    task.recoveryPaths = {path(field[3])};
    if (FileOperationTask::decode(task.encoded()) != task)
        std::abort();
    return 0;
}
