// Shared pieces of the benchmarks: a working folder on the real disk for each benchmark, the
// files the program reads (full number lists, WAVE messages), the simulated modem line opened
// the way modem discovery opens it, percentiles of timed samples, and the budgets that the
// summary at the end holds each figure against.
#ifndef RINGWARD_BENCH_SUPPORT_H
#define RINGWARD_BENCH_SUPPORT_H

#include "platform/platform.h"

#include <chrono>
#include <stdint.h>
#include <string>
#include <vector>

namespace bench {

using Clock = std::chrono::steady_clock;

enum : int {
    kFullList = 200,    // entries in each full list
    kSampleRate = 8000, // the modem's voice rate
    kBitsPerSample = 16,
};

// The log modes compared: the program's own, which commits on every flush, and plain appending.
extern const char kCommitMode[];
extern const char kPlainMode[];

double Seconds(Clock::time_point from, Clock::time_point to);

// A fresh, empty folder under the benchmarks' working folder (on the disk the run started on),
// made the current directory, on a freshly booted simulated machine with a zeroed state record.
// Message boxes are answered at once. Leave() closes the logs and goes back.
void Enter(const std::string &name);
void Leave();
std::string CurrentDir();

// The logs opened as start-up opens them, in the mode given.
void OpenLogs(const char *mode);

// "Accept Always.txt" and "Block.txt" with kFullList entries each, as a user writes them.
// Accept entries are 212-555-0000 and on, block entries 900-555-0000 and on; every fourth
// block entry names "Go Away.wav".
void WriteFullLists();
std::string AcceptNumber(int index); // the normalised number of an entry
std::string BlockNumber(int index);

// A plain PCM WAVE file of the modem's format, seconds long.
void WriteMessage(const std::string &path, double seconds);

// Registers with the simulated telephony service with callback and opens the voice modem's
// line, as modem discovery does; g_state holds the handles.
void OpenModemLine(LINECALLBACK callback);

// Runs the thread's message loop for ms of simulated time.
void RunFor(uint64_t ms);

// The qth quantile (0..1) of samples, nearest rank.
double Quantile(std::vector<double> samples, double q);

// What a figure is held against: the summary shows the named counter (or, when counter is
// empty, the time of one iteration in seconds) times scale, in unit, and compares it with limit.
struct Budget {
    std::string benchmark; // the benchmark's name, or a prefix of it ending in "/"
    std::string counter;
    double scale;
    std::string unit;
    double limit; // in unit
    bool atLeast; // the figure must reach limit rather than stay below it
    std::string text;
};
void AddBudget(const Budget &budget);
const Budget *BudgetFor(const std::string &benchmark, const std::string &counter);
const std::vector<Budget> &Budgets();

} // namespace bench

#endif
