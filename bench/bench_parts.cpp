// What each piece of the answer path costs on its own: NormalizeNumber, ScreenCaller against
// full lists (the caller found first, in the middle, last, or not at all), LogCall, and the one
// event-log line that every line message writes, with the commit on every flush and without.
#include "bench_support.h"

#include "common/state.h"
#include "lists/lists.h"
#include "screening/screening.h"

#include <benchmark/benchmark.h>
#include <string.h>

namespace {

void Normalize(benchmark::State &state, const char *delivered) {
    char text[kCallerTextSize];
    for (auto _ : state) {
        strcpy(text, delivered);
        NormalizeNumber(text);
        benchmark::DoNotOptimize(text);
        benchmark::ClobberMemory();
    }
}
BENCHMARK_CAPTURE(Normalize, punctuated, "(800) 555-1234");
BENCHMARK_CAPTURE(Normalize, leading_one, "1-800-555-1234");
BENCHMARK_CAPTURE(Normalize, forty_digits, "1234567890123456789012345678901234567890");

// The search order is the accept list, then the block list: 400 entries in all.
enum Place { ACCEPT_FIRST, ACCEPT_LAST, BLOCK_FIRST, BLOCK_MIDDLE, BLOCK_LAST, NO_MATCH };

std::string CallerAt(Place place) {
    switch (place) {
    case ACCEPT_FIRST:
        return bench::AcceptNumber(0);
    case ACCEPT_LAST:
        return bench::AcceptNumber(bench::kFullList - 1);
    case BLOCK_FIRST:
        return bench::BlockNumber(0);
    case BLOCK_MIDDLE:
        return bench::BlockNumber(bench::kFullList / 2);
    case BLOCK_LAST:
        return bench::BlockNumber(bench::kFullList - 1);
    default:
        return "3105550123";
    }
}

void Screen(benchmark::State &state, Place place) {
    bench::Enter("screen");
    bench::WriteFullLists();
    LoadAcceptList();
    LoadBlockList();
    strcpy(g_state.callerNumber, CallerAt(place).c_str());
    Verdict expected = place == BLOCK_FIRST || place == BLOCK_MIDDLE || place == BLOCK_LAST
                           ? VERDICT_BLOCKED
                           : VERDICT_ALLOWED;
    if (g_state.blockCount != bench::kFullList || ScreenCaller() != expected)
        state.SkipWithError("the lists did not give the expected verdict");
    for (auto _ : state) {
        benchmark::DoNotOptimize(ScreenCaller());
        benchmark::ClobberMemory();
    }
    bench::Leave();
}
BENCHMARK_CAPTURE(Screen, accept_first, ACCEPT_FIRST);
BENCHMARK_CAPTURE(Screen, accept_last, ACCEPT_LAST);
BENCHMARK_CAPTURE(Screen, block_first, BLOCK_FIRST);
BENCHMARK_CAPTURE(Screen, block_middle, BLOCK_MIDDLE);
BENCHMARK_CAPTURE(Screen, block_last, BLOCK_LAST);
BENCHMARK_CAPTURE(Screen, no_match, NO_MATCH);

void LogOneCall(benchmark::State &state, const char *logMode) {
    bench::Enter("logcall");
    bench::OpenLogs(logMode);
    for (auto _ : state)
        LogCall("PRIZE DESK", "9005550199", "Blocked");
    bench::Leave();
}
BENCHMARK_CAPTURE(LogOneCall, commit, bench::kCommitMode)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(LogOneCall, no_commit, bench::kPlainMode)->Unit(benchmark::kMicrosecond);

// With screening off a line message writes its event-log line and nothing else.
void EventLogLine(benchmark::State &state, const char *logMode) {
    bench::Enter("eventline");
    bench::OpenLogs(logMode);
    for (auto _ : state)
        LineCallback(0x20001, LINE_LINEDEVSTATE, 0, LINEDEVSTATE_RINGING, 1, 2);
    bench::Leave();
}
BENCHMARK_CAPTURE(EventLogLine, commit, bench::kCommitMode)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(EventLogLine, no_commit, bench::kPlainMode)->Unit(benchmark::kMicrosecond);

// No budget of their own: together they must fit in the answer path's 200 ms; each is shown
// against that whole budget.
const bool kBudgets = [] {
    const char *text = "a share of the whole 200 ms margin";
    for (const char *name : {"Normalize/", "Screen/", "LogOneCall/", "EventLogLine/"})
        bench::AddBudget({name, "", 1e6, "us", 200000, false, text});
    return true;
}();

} // namespace
