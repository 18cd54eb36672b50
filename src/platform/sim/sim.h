// Control interface of the simulated operating system: what tests, the demo and scripted runs
// use to set the machine up, drive it and look at what the program did to it. The program
// itself never includes this header; it reaches the simulation only through platform.h.
#ifndef RINGWARD_SIM_H
#define RINGWARD_SIM_H

#include "platform/platform.h"

#include <functional>
#include <stdint.h>
#include <string>
#include <vector>

namespace sim {

// ---- Clock and timers ---------------------------------------------------------------------
// Time is counted in milliseconds from the start of the simulation. With the simulated clock it
// stands still until Sleep or Advance moves it, so runs are exact and instant; with the real
// clock it follows the machine's monotonic clock. Timers stand for what the hardware and the
// services do by themselves (a buffer finishing, a phone ringing); they run when time passes.

enum : int64_t { kDefaultStartTime = 1796654848 }; // Mon Dec 07 2026 14:47:28 UTC

void UseSimulatedClock(int64_t startEpochSeconds = kDefaultStartTime);
void UseRealClock();
bool ClockIsSimulated();
uint64_t NowMs();
// Moves simulated time forward by ms, running every timer that falls due on the way, in order;
// with the real clock it sleeps.
void Advance(uint64_t ms);
using TimerFn = std::function<void()>;
int AddTimer(uint64_t dueMs, TimerFn fn); // returns an id for CancelTimer
void CancelTimer(int id);
void RunDueTimers();
// The due time of the earliest timer, or UINT64_MAX when there is none.
uint64_t NextTimerDue();
// Wall-clock seconds now: the start time plus the time passed.
int64_t WallClockSeconds();

// ---- The user-interface thread's message queue and loop -------------------------------
// Line messages and window messages wait here, in arrival order, until a message loop
// dispatches them, one at a time. Nothing is dispatched from inside a platform call.

struct LineMessage {
    LINECALLBACK callback;
    DWORD hDevice;
    DWORD msg;
    DWORD_PTR instance;
    DWORD_PTR param1;
    DWORD_PTR param2;
    DWORD_PTR param3;
};
void PostLineMessage(const LineMessage &message);
// Any other message: a window message, a key, a script step. Runs when dispatched.
void PostTask(std::function<void()> task);
size_t PendingMessages();
bool DispatchOne();   // dispatches the first waiting message; false when none waits
size_t DispatchAll(); // dispatches until the queue is empty; returns how many
void DiscardMessages();

// Where a waiting message loop gets new input from (the terminal, a script). Wait blocks until
// input has been posted or until the clock reaches untilMs (UINT64_MAX: no timer is set), and
// returns false when no input can ever come again.
class InputSource {
  public:
    virtual ~InputSource() = default;
    virtual bool Wait(uint64_t untilMs) = 0;
};
void SetInputSource(InputSource *source); // null: none (tests)
// What a loop does when nothing can happen any more: no message, no timer, no input.
void SetIdleEndHandler(std::function<void()> handler);

// The thread's message loop, as every modal dialog and message box runs it: dispatch what
// waits, let time pass to the next timer, wait for input, until done() is true.
void RunMessageLoop(const std::function<bool()> &done);

// ---- A console program's wait ---------------------------------------------------------------

// The input source of a console program: time passes in real time (on the simulated clock it
// never waits), and Ctrl-C, which SIGINT stands for once SetConsoleCtrlHandler has asked for
// it, ends the wait so that the program's handler runs.
InputSource &ConsoleInput();
// Hands a console control event to the program's handlers now, as a Ctrl-C would.
void RaiseConsoleCtrl(DWORD event);

// ---- Message boxes ------------------------------------------------------------------------

struct MessageBoxRecord {
    HWND owner;
    std::string text;
    std::string caption;
    UINT style;
};
// Every box shown, in order.
const std::vector<MessageBoxRecord> &MessageBoxes();
void ClearMessageBoxes();
// Who answers a box. The default answers OK after dispatching the waiting line messages, as
// the platform's modal loop does while the user reads the box.
using MessageBoxHandler = std::function<int(const MessageBoxRecord &)>;
void SetMessageBoxHandler(MessageBoxHandler handler);
int AnswerAfterDispatching(const MessageBoxRecord &box);

// ---- Journal of platform calls and injected failures --------------------------------------

struct ApiCall {
    std::string function;
    std::vector<uint64_t> args; // integer arguments in order, pointers as 0 or 1 (present)
    std::string text;           // the text argument, if the call has one
    int64_t result;
    uint64_t timeMs; // the clock when the call was made
};
const std::vector<ApiCall> &Journal();
std::vector<ApiCall> CallsTo(const std::string &function);
void ClearJournal();
// One line per call, "[time] function(args, \"text\") = result", for checks and traces.
std::string JournalText();

// Makes the nth next call of function (1 = the very next) return result instead of doing its
// work; with a text, only calls with that text argument count (the file of a stream's "_write",
// say). Functions that return a handle take result as the error code they report; the
// run-time's streams ("_read", "_write", "_commit", "fflush") take it as the system error left
// behind, and a failed "_write" leaves half of its bytes in the file, as a disk that fills does.
void FailCall(const std::string &function, int64_t result, int nth = 1,
              const std::string &text = "");
// Makes the nth next platform call of any journalled function fail with that function's
// typical error; 0 switches it off. For sweeps over every call of a run.
void FailNthCall(int nth);
// Number of journalled calls made so far (counts every function).
int CallCount();
void ClearFaults();

// ---- Notes of what happens on the machine --------------------------------------------------
// The simulated devices say what they do ("call 1 from 8005551234 rings", "playing
// ZapMessage.wav, 4.2 s"), for the demo's display and for traces. Listeners see every note.

void Note(const std::string &text);
using NoteListener = std::function<void(const std::string &)>;
void AddNoteListener(NoteListener listener);

// ---- Kernel -------------------------------------------------------------------------------

void SetLastErrorValue(DWORD value);

// Brings the whole simulated machine back to its state at boot (clock, queue, boxes, journal,
// faults, devices). Tests call it before each case.
void Reset();

} // namespace sim

#endif
