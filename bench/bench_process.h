// Running the Linux program itself for the benchmarks that need a whole process: start-up, and
// the memory of scripted runs.
#ifndef RINGWARD_BENCH_PROCESS_H
#define RINGWARD_BENCH_PROCESS_H

#include <functional>
#include <stdint.h>
#include <string>
#include <vector>

namespace bench {

struct ProgramRun {
    bool started = false;
    int exitCode = -1;  // -1 when it did not end by itself
    long peakRssKb = 0; // the largest resident set the process had
    double seconds = 0; // from the spawn to the end
};

// Called with each line the program prints on standard output; returning true sends the program
// a termination signal (once).
using LineWatcher = std::function<bool(const std::string &line)>;

// Runs the program in dir with args; standard error goes to dir/stderr.txt.
ProgramRun RunProgram(const std::string &dir, const std::vector<std::string> &args,
                      const LineWatcher &watch);

} // namespace bench

#endif
