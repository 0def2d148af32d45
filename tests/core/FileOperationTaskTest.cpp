#include "core/FileOperationTask.h"

#include <gtest/gtest.h>

#include <functional>

using namespace dromel;

namespace {

FileUndoRelocation receipt() {
    return FileUndoRelocation{Uuid::random(),
                              "/home/u/new",
                              "/home/u/old",
                              "64769:12:32768:1700000000:5",
                              "9f86d081884c7d65",
                              "/home/u/.local/share/Trash/files/new \xFF",
                              "64769:13:32768:1600000000:0"};
}

FileOperationTask fullTask() {
    FileOperationRequest request(FileOperationKind::move, {"/home/u/a b", "/home/u/caf\xE9"}, "/home/u/dest",
                                 std::nullopt, false, {{"/home/u/a b", "t1"}, {"/home/u/caf\xE9", "t2"}},
                                 receipt());
    FileOperationTask task(request);
    task.phase = OperationPhase::partial;
    task.bytes = 9'000'000'000;
    task.totalBytes = INT64_MAX;
    task.results.push_back(FileOperationResult{"/home/u/a b",
                                               "/home/u/dest/a b",
                                               ItemOutcome::succeeded,
                                               std::nullopt,
                                               {"/home/u/.local/share/Trash/files/x"},
                                               receipt(),
                                               {},
                                               {},
                                               std::nullopt});
    task.results.push_back(FileOperationResult{
        "/home/u/caf\xE9",
        std::nullopt,
        ItemOutcome::failed,
        OperationProblem(OperationProblem::Code::sourceChanged, "/home/u/cafe", "changed"),
        {},
        std::nullopt,
        {"/home/u/dest/.dromel-copy-2"},
        {ModeReceipt{"/home/u/caf\xE9", 0640, "2049:77:33188"}},
        FileRemoval{"/home/u/gone \xFF", 4096, 3, 1'700'000'000, std::string("\x01\xFE", 2)}});
    task.recoveryPaths = {"/home/u/dest/.dromel-copy-1"};
    task.stages = {OperationStage{"/home/u/dest/.dromel-copy-1", 2049, 77, 1000, 1'700'000'000}};
    return task;
}

std::string decodeError(const std::string &text) {
    try {
        FileOperationTask::decode(text);
    } catch (const JsonDecodeError &error) {
        return error.what();
    }
    return "decoded";
}

} // namespace

TEST(FileOperationTaskTest, NonUtf8VersionKeysAndNamesCannotPassForOthers) {
    const FileOperationRequest request(FileOperationKind::rename, {"/d/\xFF\xFE"}, std::nullopt, "n\xE9w",
                                       false, {{"/d/\xFF\xFE", "tok"}, {"/d/plain", "tok2"}}, std::nullopt);
    const Json json = request.toJson();
    // The plain key stays a path; the other becomes a URL that no absolute path equals.
    EXPECT_TRUE(json["sourceVersions"].contains("/d/plain"));
    EXPECT_TRUE(json["sourceVersions"].contains("file:///d/%FF%FE"));
    EXPECT_EQ(json["name"], "/n%E9w");
    const FileOperationRequest back = FileOperationRequest::fromJson(Json::parse(json.dump()));
    EXPECT_EQ(back, request);
    EXPECT_EQ(back.sourceVersions().at("/d/\xFF\xFE"), "tok");
    EXPECT_EQ(back.name(), "n\xE9w");
}

// The journal stores what it is given; an invalid name must come back invalid
// (to be refused again), and a problem must name the very bytes it named.
TEST(FileOperationTaskTest, HostileNamesReadBackAsThemselvesAndMalformedTasksAreRejected) {
    for (const std::string &name :
         std::vector<std::string>{"/x", "//x", "a/b", "/", "", "..", "%41", "/%2F", "file:x", "file://x",
                                  std::string("a\0b", 3), "\xC3\x28", "caf\xC3\xA9"}) {
        const FileOperationRequest request(FileOperationKind::rename, {"/d/a"}, std::nullopt, name, false, {},
                                           std::nullopt);
        const FileOperationRequest back =
            FileOperationRequest::fromJson(Json::parse(request.toJson().dump()));
        EXPECT_EQ(back.name(), name) << request.toJson().dump();
    }
    using Code = OperationProblem::Code;
    for (const OperationProblem &problem :
         {OperationProblem(Code::system, "/d/\xFF\xFE", "cannot open /d/\xFF\xFE: Permission denied"),
          OperationProblem(Code::invalidName, "n\xE9w", ""),
          OperationProblem(Code::journal, "file:odd", "file://"),
          OperationProblem(Code::unsupported, "", "caf\xC3\xA9 %41")}) {
        EXPECT_EQ(OperationProblem::fromJson(Json::parse(problem.toJson().dump())), problem)
            << problem.what();
    }
    FileOperationTask task = fullTask();
    EXPECT_EQ(FileOperationTask::decode(task.encoded()), task) << "every field, non-UTF-8 paths too";
    EXPECT_EQ(FileOperationTask::decode(task.encoded()).id(), task.id())
        << "the request's id, not a fresh one";
    task.results[1].problem = OperationProblem(Code::sourceChanged, "/home/u/caf\xE9", "");
    EXPECT_EQ(FileOperationTask::decode(task.encoded()), task);
    const Json good = fullTask().toJson();
    for (const auto &change : std::vector<std::function<void(Json &)>>{
             [](Json &j) { j["phase"] = "paused"; }, [](Json &j) { j["totalBytes"] = 1e300; },
             [](Json &j) { j["results"][1]["problem"]["code"] = "oops"; },
             [](Json &j) { j["request"]["sources"][0] = "http://host/a"; },
             [](Json &j) { j["request"]["name"] = "/a%2"; },
             [](Json &j) { j["results"][1]["problem"]["path"] = "file://%G0"; }}) {
        Json copy = good;
        change(copy);
        EXPECT_NE(decodeError(copy.dump()), "decoded") << copy.dump();
    }
    EXPECT_NE(decodeError(std::string(100000, '[')), "decoded");
    EXPECT_NE(decodeError("{\"request\":\"\xFF\"}"), "decoded");
}

TEST(FileOperationTaskTest, AReverseOfSeveralItemsKeepsEachReceiptAndFindsItBySource) {
    FileUndoRelocation first = receipt();
    FileUndoRelocation second{first.operationID, "/home/u/dst/caf\xE9", "/home/u/src/caf\xE9", "1:2:3:4:5",
                              std::nullopt};
    const FileOperationRequest request(FileOperationKind::move, {first.current, second.current}, "/home/u",
                                       std::nullopt, {first, second});
    EXPECT_EQ(request.undo(), first);
    ASSERT_NE(request.undoReceiptFor("/home/u/dst/./caf\xE9"), nullptr);
    EXPECT_EQ(*request.undoReceiptFor("/home/u/dst/caf\xE9"), second);
    EXPECT_EQ(request.undoReceiptFor("/home/u/elsewhere"), nullptr);
    FileOperationTask task(request);
    EXPECT_EQ(FileOperationTask::decode(task.encoded()), task);

    // The list must begin with the receipt an older reader takes alone.
    Json json = task.toJson();
    json["request"]["undoReceipts"] = Json::array({second.toJson(), first.toJson()});
    EXPECT_NE(decodeError(json.dump()), "decoded");
    json["request"].erase("undo");
    EXPECT_NE(decodeError(json.dump()), "decoded");
}
