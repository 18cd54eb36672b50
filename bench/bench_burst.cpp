// How many line messages per second the handler gets through when a burst arrives at once, as
// after a message has been played and the line's messages have queued meanwhile: each one is
// dispatched to LineCallback with screening on and writes its event-log line.
#include "bench_support.h"

#include "common/state.h"
#include "platform/sim/sim.h"
#include "platform/sim/telephony.h"
#include "screening/screening.h"

#include <benchmark/benchmark.h>

namespace {

enum : int { kBurst = 500 };

void Burst(benchmark::State &state, const char *logMode) {
    bench::Enter("burst");
    bench::OpenLogs(logMode);
    bench::OpenModemLine(LineCallback);
    g_state.screening = 1;
    sim::LineService &line = sim::TheLineService();
    for (auto _ : state) {
        for (int i = 0; i < kBurst; i++)
            line.InjectMessage(sim::NowMs(), g_state.hLine, LINE_LINEDEVSTATE, LINEDEVSTATE_RINGING,
                               1, (DWORD_PTR)(i + 1));
        sim::RunDueTimers();
        if (sim::PendingMessages() != (size_t)kBurst) {
            state.SkipWithError("the burst did not arrive at once");
            break;
        }
        bench::Clock::time_point start = bench::Clock::now();
        size_t handled = sim::DispatchAll();
        state.SetIterationTime(bench::Seconds(start, bench::Clock::now()));
        if (handled != (size_t)kBurst) {
            state.SkipWithError("messages were lost");
            break;
        }
        sim::ClearJournal();
    }
    state.SetItemsProcessed(state.iterations() * kBurst);
    state.counters["burst"] = kBurst;
    bench::Leave();
}
BENCHMARK_CAPTURE(Burst, commit, bench::kCommitMode)
    ->UseManualTime()
    ->Iterations(5)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Burst, no_commit, bench::kPlainMode)
    ->UseManualTime()
    ->Iterations(20)
    ->Unit(benchmark::kMillisecond);

// A call's own messages up to its caller ID, a backlog of ten, cleared within 200 ms.
const bool kBudgets = [] {
    bench::AddBudget({"Burst/", "items_per_second", 1, "msg/s", 50, true,
                      "10 queued messages cleared within the 200 ms margin"});
    return true;
}();

} // namespace
