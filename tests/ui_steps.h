// Driving a modal dialog from a test: steps that run one after another once the message queue
// is empty, so each sees the whole effect of the one before (and of what that posted in turn).
#ifndef RINGWARD_TEST_UI_STEPS_H
#define RINGWARD_TEST_UI_STEPS_H

#include "platform/sim/ui.h"

#include <functional>
#include <memory>
#include <vector>

namespace test {

using Step = std::function<void()>;

struct StepChain {
    std::vector<Step> steps;
    size_t next = 0;
    uint64_t delay = 1;
};

inline std::shared_ptr<StepChain> &RunningSteps() {
    static std::shared_ptr<StepChain> chain;
    return chain;
}

inline void RunNextStep(std::shared_ptr<StepChain> chain) {
    if (chain->next >= chain->steps.size())
        return;
    chain->delay = 1;
    chain->steps[chain->next++]();
    sim::AddTimer(sim::NowMs() + chain->delay, [chain] { RunNextStep(chain); });
}

// Each step is a timer, and timers run only when the queue is empty. A step must not block
// (sim actions only post); Pause(ms) lets that much time pass before the next one.
inline void Steps(std::vector<Step> steps) {
    auto chain = std::make_shared<StepChain>();
    chain->steps = std::move(steps);
    RunningSteps() = chain;
    sim::AddTimer(sim::NowMs() + 1, [chain] { RunNextStep(chain); });
}

inline Step Pause(uint64_t ms) {
    return [ms] { RunningSteps()->delay = ms; };
}

} // namespace test

#endif
