// Start-up with both lists full: from the program's start to the main dialog shown in the
// Stopped state ("Start screening calls"), with the line open. In process: a forked copy of
// this process runs the program's start-up on a freshly booted machine and reports the moment
// the dialog's own message loop first runs. Whole program: the Linux program is spawned with a
// script that presses Exit as soon as the dialog takes input, so the figure also holds loading
// the executable and the way out.
#include "bench_process.h"
#include "bench_support.h"

#include "app/resource.h"
#include "common/state.h"
#include "platform/afx.h"
#include "platform/sim/registry.h"
#include "platform/sim/sim.h"
#include "platform/sim/telephony.h"
#include "platform/sim/ui.h"

#include <benchmark/benchmark.h>
#include <fstream>
#include <sys/wait.h>
#include <unistd.h>

namespace {

const char kStoppedCaption[] = "Start screening calls";

bool DialogShownStopped() {
    return sim::DialogOpen(IDD_QUORVEL_DIALOG) && !sim::MessageBoxOpen() &&
           sim::ControlText(IDC_STARTSTOP) == kStoppedCaption && g_state.hLine != 0 &&
           g_state.acceptCount == bench::kFullList && g_state.blockCount == bench::kFullList;
}

// The forked copy: boots the default machine and starts the program; the first message that
// its loops dispatch is this check, which the main dialog's loop is the first to run.
[[noreturn]] void StartInChild(bench::Clock::time_point start, int reportFd) {
    sim::Reset();
    g_state = ScreeningState();
    sim::TheLineService().Devices() = {sim::VoiceModemDevice(sim::kDefaultModemKey, 0)};
    sim::SetRegistryString(sim::kDefaultModemKey, "Manufacturer", "Agere Systems");
    sim::SetMessageBoxHandler([](const sim::MessageBoxRecord &) { return IDOK; });
    sim::PostTask([start, reportFd] {
        double seconds = DialogShownStopped() ? bench::Seconds(start, bench::Clock::now()) : -1;
        ssize_t written = write(reportFd, &seconds, sizeof seconds);
        _exit(written == sizeof seconds ? 0 : 1);
    });
    AfxWinMain(NULL, NULL, (LPSTR) "", 1);
    _exit(2); // the program ended before its dialog took input
}

double StartOnce() {
    int fds[2];
    if (pipe(fds) != 0)
        return -1;
    bench::Clock::time_point start = bench::Clock::now();
    pid_t child = fork();
    if (child == 0)
        StartInChild(start, fds[1]);
    close(fds[1]);
    double seconds = -1;
    if (child < 0 || read(fds[0], &seconds, sizeof seconds) != sizeof seconds)
        seconds = -1;
    close(fds[0]);
    int status;
    if (child > 0)
        waitpid(child, &status, 0);
    return seconds;
}

void StartUpInProcess(benchmark::State &state) {
    bench::Enter("startup");
    bench::WriteFullLists();
    std::vector<double> samples;
    for (auto _ : state) {
        double seconds = StartOnce();
        if (seconds < 0) {
            state.SkipWithError("the dialog was not shown in the Stopped state");
            break;
        }
        state.SetIterationTime(seconds);
        samples.push_back(seconds * 1e3);
    }
    state.counters["median_ms"] = bench::Quantile(samples, 0.5);
    state.counters["p99_ms"] = bench::Quantile(samples, 0.99);
    bench::Leave();
}
BENCHMARK(StartUpInProcess)->UseManualTime()->Iterations(200)->Unit(benchmark::kMillisecond);

void StartUpWholeProgram(benchmark::State &state) {
    bench::Enter("startup-program");
    bench::WriteFullLists();
    std::ofstream("start.txt") << "boxes auto\nat 0.001 press exit\n";
    std::string dir = bench::CurrentDir();
    std::vector<double> samples;
    for (auto _ : state) {
        bench::ProgramRun run = bench::RunProgram(dir, {"--script", "start.txt"}, nullptr);
        if (run.exitCode != 0) {
            state.SkipWithError("the program did not start and exit cleanly");
            break;
        }
        state.SetIterationTime(run.seconds);
        samples.push_back(run.seconds * 1e3);
    }
    state.counters["median_ms"] = bench::Quantile(samples, 0.5);
    state.counters["p99_ms"] = bench::Quantile(samples, 0.99);
    bench::Leave();
}
BENCHMARK(StartUpWholeProgram)->UseManualTime()->Iterations(50)->Unit(benchmark::kMillisecond);

// Start-up is done before any call can be screened; a user expects the dialog at once.
const bool kBudgets = [] {
    const char *text = "dialog ready well within a second of the start";
    for (const char *name : {"StartUpInProcess", "StartUpWholeProgram"})
        for (const char *counter : {"median_ms", "p99_ms"})
            bench::AddBudget({name, counter, 1, "ms", 1000, false, text});
    return true;
}();

} // namespace
