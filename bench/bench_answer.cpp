// From the caller-ID message to lineAnswer issued, through LineCallback on the simulated line,
// for a caller blocked by the last entry of a full block list after a full accept list, with
// the logs committed on every flush and, to show what the commit costs, without.
#include "bench_support.h"

#include "common/state.h"
#include "lists/lists.h"
#include "platform/sim/multimedia.h"
#include "platform/sim/sim.h"
#include "platform/sim/telephony.h"
#include "screening/screening.h"

#include <benchmark/benchmark.h>

namespace {

enum : uint64_t { kWholeCallMs = 20000 }; // a blocked call from first ring to release

bench::Clock::time_point callerIdAt, answeredAt;
bool callerIdSeen, answerSeen;

// The program's callback, with the moment the caller-ID message is handed to it.
void CALLBACK TimedLineCallback(DWORD hDevice, DWORD dwMsg, DWORD_PTR dwCallbackInstance,
                                DWORD_PTR dwParam1, DWORD_PTR dwParam2, DWORD_PTR dwParam3) {
    if (dwMsg == LINE_CALLINFO && dwParam1 == LINECALLINFOSTATE_CALLERID) {
        callerIdSeen = true;
        callerIdAt = bench::Clock::now();
    }
    LineCallback(hDevice, dwMsg, dwCallbackInstance, dwParam1, dwParam2, dwParam3);
}

// The line service notes an answer from inside lineAnswer.
void WatchForAnswer(const std::string &note) {
    static const std::string kAnswered = " answered";
    if (note.size() > kAnswered.size() &&
        note.compare(note.size() - kAnswered.size(), kAnswered.size(), kAnswered) == 0) {
        answerSeen = true;
        answeredAt = bench::Clock::now();
    }
}

bool SetUpScreening(const char *logMode) {
    bench::WriteFullLists();
    bench::WriteMessage("ZapMessage.wav", 0.2);
    bench::WriteMessage("Go Away.wav", 0.2);
    bench::OpenLogs(logMode);
    LoadAcceptList();
    if (LoadBlockList() != 0 || g_state.acceptCount != bench::kFullList ||
        g_state.blockCount != bench::kFullList)
        return false;
    bench::OpenModemLine(TimedLineCallback);
    g_state.screening = 1;
    sim::AddNoteListener(WatchForAnswer);
    return true;
}

void CallerIdToAnswer(benchmark::State &state, const char *logMode) {
    bench::Enter("answer");
    if (!SetUpScreening(logMode)) {
        state.SkipWithError("the full lists did not load");
        bench::Leave();
        return;
    }
    sim::CallConfig call;
    call.number = "1-900-555-0" + bench::BlockNumber(bench::kFullList - 1).substr(7);
    call.name = "PRIZE DESK";
    std::vector<double> samples;
    for (auto _ : state) {
        callerIdSeen = answerSeen = false;
        sim::TheLineService().ScheduleCall(call, sim::NowMs());
        bench::RunFor(kWholeCallMs);
        if (!callerIdSeen || !answerSeen || g_state.hCall != 0) {
            state.SkipWithError("the blocked call was not answered and released");
            break;
        }
        double seconds = bench::Seconds(callerIdAt, answeredAt);
        state.SetIterationTime(seconds);
        samples.push_back(seconds * 1e3);
        sim::ClearJournal();
        sim::ClearPlayedBuffers();
    }
    state.counters["median_ms"] = bench::Quantile(samples, 0.5);
    state.counters["p99_ms"] = bench::Quantile(samples, 0.99);
    state.counters["max_ms"] = bench::Quantile(samples, 1.0);
    bench::Leave();
}

BENCHMARK_CAPTURE(CallerIdToAnswer, commit, bench::kCommitMode)
    ->UseManualTime()
    ->Iterations(1000)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(CallerIdToAnswer, no_commit, bench::kPlainMode)
    ->UseManualTime()
    ->Iterations(1000)
    ->Unit(benchmark::kMicrosecond);

const bool kBudgets = [] {
    const char *text = "caller-ID burst ends >= 200 ms before the 2nd ring (GR-30)";
    for (const char *counter : {"median_ms", "p99_ms"})
        bench::AddBudget({"CallerIdToAnswer/", counter, 1, "ms", 200, false, text});
    return true;
}();

} // namespace
