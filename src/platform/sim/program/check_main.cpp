// ringward-check on Linux: the simulated operating system gives it the real files (fopen, the
// multimedia file I/O) and the real clock, and keeps no journal of what it does.
#include "check/check.h"
#include "platform/sim/records.h"
#include "platform/sim/sim.h"

int main(int argc, char **argv) {
    sim::UseRealClock();
    sim::KeepJournal(false);
    return RunCheck(argc, argv, stdout, stderr);
}
