// PlayWaveMessage from the call to the buffer written to the device, for messages of 5 s,
// 60 s and 10 minutes at 8 kHz: the whole file is read into memory before anything is played,
// so this cost grows with the message. The device plays on the simulated clock, so the wait
// for the end of playback costs no real time; the read path is timed on the real clock.

// Before the platform header, whose macros rename the heap functions that it declares.
#include <malloc.h>

#include "bench_support.h"

#include "platform/sim/multimedia.h"
#include "platform/sim/sim.h"
#include "playback/player.h"

#include <benchmark/benchmark.h>

namespace {

bench::Clock::time_point writtenAt;
bool writeSeen;

// The device notes the start of playback from inside waveOutWrite.
void WatchForWrite(const std::string &note) {
    if (note.compare(0, 8, "playing ") == 0) {
        writeSeen = true;
        writtenAt = bench::Clock::now();
    }
}

// Blocks this large are mapped afresh for each call, as on the program's first playback: the C
// library would otherwise raise its threshold after the first free and hand the same, already
// touched, memory back each time, which makes the figure depend on what ran before.
enum : int { kFreshBlockThreshold = 128 * 1024 };

void CallToWrite(benchmark::State &state) {
    double seconds = (double)state.range(0);
    mallopt(M_MMAP_THRESHOLD, kFreshBlockThreshold);
    bench::Enter("player");
    bench::WriteMessage("Message.wav", seconds);
    sim::AddNoteListener(WatchForWrite);
    for (auto _ : state) {
        writeSeen = false;
        bench::Clock::time_point calledAt = bench::Clock::now();
        if (PlayWaveMessage(0, "Message.wav") == 0 || !writeSeen) {
            state.SkipWithError("the message was not played");
            break;
        }
        state.SetIterationTime(bench::Seconds(calledAt, writtenAt));
        sim::ClearJournal();
        sim::ClearPlayedBuffers();
    }
    state.counters["message_s"] = seconds;
    state.counters["data_MB"] = seconds * bench::kSampleRate * (bench::kBitsPerSample / 8) / 1e6;
    bench::Leave();
}
BENCHMARK(CallToWrite)
    ->ArgName("seconds")
    ->Arg(5)
    ->Arg(60)
    ->Arg(600)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

// The caller hears silence from the connection until the write; the thread is blocked too.
const bool kBudgets = [] {
    bench::AddBudget({"CallToWrite/", "", 1e3, "ms", 200, false,
                      "silence after connecting: below the 200 ms answer margin"});
    return true;
}();

} // namespace
