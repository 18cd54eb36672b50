// The whole program in a child process: the main dialog's start-up, its message loop, the line,
// the player and the shutdown, on a simulated machine with timed calls and user actions. What
// the run left behind (exit status, logs, boxes, journal, what was still held at the end) comes
// back to the parent, for the fault-injection table and the sweep over every platform call.
#ifndef RINGWARD_TEST_PROGRAM_RUN_H
#define RINGWARD_TEST_PROGRAM_RUN_H

#include "platform/sim/line_service.h"

#include <functional>
#include <map>
#include <stdint.h>
#include <string>
#include <vector>

namespace test {
namespace program {

// ---- The machine and the files --------------------------------------------------------------

// The registry key of modem n, and a voice modem on the next line device whose key names maker.
std::string ModemKey(int n);
sim::LineDeviceConfig &AddModem(const std::string &maker = "Agere Systems");

// "Block.txt" blocking 800555 (and 900 with "Go Away.wav"), "Accept Always.txt" letting
// 2125550100 through, and the three messages (half a second of 8 kHz PCM each).
void WriteStandardFiles();

// ---- Timed events, for the arrange function of a run ------------------------------------------

void At(uint64_t ms, std::function<void()> action);
void PressStartAt(uint64_t ms);
// A call ringing in at ms; returns its number for HangUpFarEnd.
int CallAt(uint64_t ms, const char *number, const char *name, int rings = 4, bool callerId = true,
           DWORD device = 0);
// The user ends the program as a person would: stops screening if the button says "Stop
// screening calls", then presses Exit; while it still runs, a few seconds later, presses the
// Start/Stop button once more and tries again.
void UserExitsAt(uint64_t ms);
// One modem, the standard files, Start at 1 s, a blocked call from 8005551234 at 2 s, which is
// answered, played ZapMessage.wav, dropped and released, and the user's exit at 30 s.
void BlockedCallScenario();

// ---- A run and what it left -------------------------------------------------------------------

struct BoxSeen {
    bool owned;
    std::string caption;
    unsigned style;
    std::string text;
    bool reportInLogFirst; // a failure report's text was in "EventLog.txt" when its box showed
};

// A failure or information report as the event log holds it.
struct Report {
    std::string tag;   // "MLC 580"; "" for an information report
    std::string value; // as printed
    std::string message;
    std::string gle;
};

struct ProgramRun {
    int status = 0;       // wait status of the child
    std::string eventLog; // "EventLog.txt" afterwards
    std::string callsLog; // "Calls Received.txt"
    std::string journal;  // the platform calls, one a line
    std::vector<BoxSeen> boxes;
    // What was still held when the process ended: "blocks", "mmio", "waveout", "regkeys" (the
    // program's own), "app", "line", "calls" (the telephony service's view), "hCall", "hLine",
    // "hLineApp", "eventLog", "callsLog" (the state record), "exitPressed" (the user's exit ran).
    std::map<std::string, long long> left;

    bool ExitedWithCodeZero() const;
    bool Hung() const;    // killed by the watchdog, or waiting when nothing could happen any more
    bool Crashed() const; // ended by any other signal
    std::vector<Report> Reports() const;
    std::vector<std::string> ReportTags() const;
    std::vector<std::string> JournalFunctions() const;
    std::vector<std::string> JournalTexts() const; // each call's text argument, or ""
    long long Left(const std::string &what) const;
    std::string Describe() const; // everything above, for a failed check's message
};

// Runs the program in a child: a fresh machine and state, arrange (machine, files in the current
// directory, timed events, faults), then the main dialog as the application object runs it. The
// child ends through the program's own exit, or by the watchdog after timeoutSeconds.
ProgramRun RunProgram(const std::function<void()> &arrange, unsigned timeoutSeconds = 30);

// Exit status of a run that waited when nothing could happen any more.
enum : int { kStalledExitCode = 7, kDialogReturnedExitCode = 3 };

} // namespace program
} // namespace test

#endif
