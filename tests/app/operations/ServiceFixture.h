#pragma once

#include "engine/OperationJournal.h"
#include "engine/OperationService.h"
#include "support/ScopedEnv.h"
#include "support/TempTree.h"
#include "support/WaitUntil.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>

namespace dromel::test {

// A real service on a real journal in a temporary folder, with the trash
// under a temporary XDG_DATA_HOME, so nothing reaches the user's files.
struct ServiceFixture {
    TempTree tree;
    ScopedEnv dataHome{"XDG_DATA_HOME", tree.makeFolder("data")};
    ScopedEnv stateHome{"XDG_STATE_HOME", tree.makeFolder("state")};
    std::string journalPath = tree.path("state/operations.sqlite");
    std::unique_ptr<OperationService> service;

    void startService() {
        service = std::make_unique<OperationService>(journalPath);
        bool started = false;
        service->start([&] { started = true; });
        ASSERT_TRUE(waitUntil([&] { return started; }));
    }

    const FileOperationTask *newest() const {
        return service->tasks().empty() ? nullptr : &service->tasks().front();
    }
    bool idle() const { return !service->busy(); }
};

// Holds the operation queue at one named step of the executor until opened;
// opens itself when destroyed so a failing test never leaves the queue stuck.
// The checkpoint shares the gate's state, so work that outlives the test
// finds it still there.
class StepGate {
public:
    explicit StepGate(std::string label) : m_state(std::make_shared<State>()) {
        m_state->label = std::move(label);
    }
    ~StepGate() { open(); }
    StepGate(const StepGate &) = delete;
    StepGate &operator=(const StepGate &) = delete;

    OperationExecutor::Checkpoint checkpoint() const {
        return [state = m_state](const std::string &label) {
            std::unique_lock lock(state->mutex);
            if (label != state->label || state->open)
                return;
            state->reached = true;
            state->changed.wait(lock, [&] { return state->open; });
        };
    }
    bool reached() const {
        std::lock_guard lock(m_state->mutex);
        return m_state->reached;
    }
    void open() const {
        std::lock_guard lock(m_state->mutex);
        m_state->open = true;
        m_state->changed.notify_all();
    }

private:
    struct State {
        std::string label;
        std::mutex mutex;
        std::condition_variable changed;
        bool reached = false;
        bool open = false;
    };
    std::shared_ptr<State> m_state;
};

} // namespace dromel::test
