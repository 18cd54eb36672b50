// Peak memory of the Linux program in scripted runs of 100, 1,000 and 10,000 calls, which must
// not grow with the number of calls. The script is one round of five calls (two blocked with a
// 5-second message, one on the accept list, one unlisted, one without caller ID) that starts again
// every 150 simulated seconds, so the script itself is the same size for every run; the program is
// stopped with a termination signal once the wanted number of calls has rung.
#include "bench_process.h"
#include "bench_support.h"

#include <benchmark/benchmark.h>
#include <fstream>
#include <map>
#include <stdlib.h>

namespace {

const char kRound[] = "boxes auto\n"
                      "at 0.5 press start\n"
                      "at 1 call number=\"1-900-555-0199\" name=\"PRIZE DESK\"\n"
                      "at 31 call number=\"(212) 555-0007\" name=\"MOM\" rings=3\n"
                      "at 61 call number=\"1-900-555-0010\" name=\"SURVEY\"\n"
                      "at 91 call number=\"310-555-0123\" name=\"NEIGHBOUR\" rings=2\n"
                      "at 121 call no-callerid rings=1\n"
                      "at 149 press stop\n"
                      "loop 150\n";

// The number of the call in a note "[time] Call N ...", or 0.
int CallNumberOf(const std::string &line) {
    size_t at = line.find("] Call ");
    return at == std::string::npos ? 0 : atoi(line.c_str() + at + 7);
}

struct MemoryRun {
    bool ok;
    long peakKb;
    int calls;
};

MemoryRun RunCalls(const std::string &dir, int calls) {
    int highest = 0;
    bench::ProgramRun run =
        bench::RunProgram(dir, {"--script", "round.txt"}, [calls, &highest](const std::string &l) {
            highest = std::max(highest, CallNumberOf(l));
            return highest > calls;
        });
    // A termination signal ends the program through its orderly shutdown, with code 0.
    return MemoryRun{run.exitCode == 0 && highest > calls, run.peakRssKb, highest - 1};
}

void PeakMemory(benchmark::State &state) {
    bench::Enter("memory");
    bench::WriteFullLists();
    bench::WriteMessage("ZapMessage.wav", 5);
    bench::WriteMessage("Go Away.wav", 5);
    std::ofstream("round.txt") << kRound;
    std::string dir = bench::CurrentDir();
    std::map<int, MemoryRun> runs;
    for (auto _ : state) {
        for (int calls : {100, 1000, 10000}) {
            runs[calls] = RunCalls(dir, calls);
            if (!runs[calls].ok)
                state.SkipWithError("the scripted run did not end cleanly");
        }
    }
    state.counters["peak_100_calls_MB"] = runs[100].peakKb / 1024.0;
    state.counters["peak_1000_calls_MB"] = runs[1000].peakKb / 1024.0;
    state.counters["peak_10000_calls_MB"] = runs[10000].peakKb / 1024.0;
    // Over the longest stretch, where allocator slack weighs least.
    state.counters["growth_per_1000_calls_MB"] = (runs[10000].peakKb - runs[100].peakKb) / 1024.0 *
                                                 1000.0 / (runs[10000].calls - runs[100].calls);
    bench::Leave();
}
BENCHMARK(PeakMemory)->Iterations(1)->Unit(benchmark::kSecond);

const bool kBudgets = [] {
    bench::AddBudget({"PeakMemory", "growth_per_1000_calls_MB", 1, "MB", 0.25, false,
                      "no growth with the number of calls (allocator slack only)"});
    return true;
}();

} // namespace
