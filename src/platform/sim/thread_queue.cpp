// A console program's own thread on the simulated machine: GetMessageA and DispatchMessageA
// over the queue that line and window messages wait in, messages to the thread itself, thread
// timers, and the console's Ctrl-C, which SIGINT stands for. The program never needs these (its
// dialogs run their own loops); ringward-check runs its line watch on them.
#include "platform/sim/internal.h"
#include "platform/sim/journal.h"
#include "platform/sim/sim.h"

#include <algorithm>
#include <chrono>
#include <iterator>
#include <map>
#include <signal.h>
#include <thread>
#include <vector>

namespace sim {

namespace {

const DWORD kThreadId = 1; // the machine's one thread
// Stands for the window a dispatched message was posted to (the telephony service's hidden
// window, a dialog): DispatchMessageA hands it to that window's procedure.
const HWND kQueuedWindow = (HWND)(uintptr_t)0x7FFF0000;
const UINT kQueuedMessage = WM_USER + 0x7F00;
const unsigned kCtrlPollMs = 5; // how often a real-time wait looks for Ctrl-C

struct ThreadTimer {
    UINT elapseMs;
    TIMERPROC proc;
    int clockTimer; // the machine timer of the next elapse
    bool due;       // elapsed since its last WM_TIMER
};

struct QueueState {
    std::map<WPARAM, std::function<void()>> fetched; // taken by GetMessageA, to dispatch
    WPARAM nextFetched = 1;
    std::map<UINT_PTR, ThreadTimer> timers;
    UINT_PTR nextTimer = 1;
    std::vector<PHANDLER_ROUTINE> ctrlHandlers; // the last one added is asked first
    bool ignoreCtrlC = false;                   // SetConsoleCtrlHandler(NULL, TRUE)
    bool sigintCaught = false;
};
QueueState &Q() {
    static QueueState state;
    return state;
}

volatile sig_atomic_t ctrlRequested = 0;

void OnInterrupt(int) {
    ctrlRequested = 1;
}

void CatchSigint(bool catchIt) {
    if (Q().sigintCaught == catchIt)
        return;
    struct sigaction action = {};
    action.sa_handler = catchIt ? OnInterrupt : SIG_DFL;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, NULL); // a real-time wait notices it within kCtrlPollMs
    Q().sigintCaught = catchIt;
}

void ArmTimer(UINT_PTR id) {
    auto it = Q().timers.find(id);
    it->second.clockTimer = AddTimer(NowMs() + it->second.elapseMs, [id] {
        auto t = Q().timers.find(id);
        if (t == Q().timers.end())
            return;
        t->second.due = true; // elapses while one is pending do not pile up
        ArmTimer(id);
    });
}

// WM_TIMER comes only when no posted message waits, as on Windows.
bool TakeTimerMessage(MSG *msg) {
    for (auto &entry : Q().timers) {
        if (!entry.second.due)
            continue;
        entry.second.due = false;
        *msg = MSG();
        msg->message = WM_TIMER;
        msg->wParam = entry.first;
        msg->lParam = (LPARAM)entry.second.proc;
        msg->time = GetTickCount();
        return true;
    }
    return false;
}

bool TakeMessage(MSG *msg) {
    std::function<void()> task;
    MSG toThread;
    if (TakeQueuedMessage(&task, &toThread)) {
        if (!task) {
            *msg = toThread;
            return true;
        }
        WPARAM serial = Q().nextFetched++;
        Q().fetched[serial] = std::move(task);
        *msg = MSG();
        msg->hwnd = kQueuedWindow;
        msg->message = kQueuedMessage;
        msg->wParam = serial;
        msg->time = GetTickCount();
        return true;
    }
    return TakeTimerMessage(msg);
}

void DeliverCtrl(DWORD event) {
    if (event == CTRL_C_EVENT && Q().ignoreCtrlC)
        return;
    std::vector<PHANDLER_ROUTINE> handlers = Q().ctrlHandlers;
    for (auto it = handlers.rbegin(); it != handlers.rend(); ++it)
        if ((*it)(event))
            return;
    // No handler took it: the process ends, as the console's default handler ends it.
    CatchSigint(false);
    raise(SIGINT);
}

void PollCtrl() {
    if (!ctrlRequested)
        return;
    ctrlRequested = 0;
    DeliverCtrl(CTRL_C_EVENT);
}

class ConsoleWait : public InputSource {
  public:
    bool Wait(uint64_t untilMs) override {
        if (ctrlRequested)
            return true;
        if (ClockIsSimulated())
            return false;
        while (untilMs == UINT64_MAX || NowMs() < untilMs) {
            std::this_thread::sleep_for(std::chrono::milliseconds(kCtrlPollMs));
            if (ctrlRequested)
                return true;
        }
        return true;
    }
};

} // namespace

InputSource &ConsoleInput() {
    static ConsoleWait wait;
    return wait;
}

void RaiseConsoleCtrl(DWORD event) {
    DeliverCtrl(event);
}

void ResetThreadQueue() {
    CatchSigint(false);
    ctrlRequested = 0;
    Q() = QueueState();
}

} // namespace sim

using sim::Enter;
using sim::Finish;
using sim::Q;

BOOL WINAPI GetMessageA(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax) {
    if (!lpMsg || hWnd || wMsgFilterMin || wMsgFilterMax) {
        SetLastError(ERROR_INVALID_PARAMETER); // the whole queue is all this reads
        return -1;
    }
    bool idleHandled = false;
    for (;;) {
        sim::RunDueTimers();
        sim::PollCtrl();
        if (sim::TakeMessage(lpMsg))
            return lpMsg->message != WM_QUIT;
        if (sim::WaitForSomething())
            continue;
        // Nothing can come any more: where a real thread would wait for ever, the machine's
        // owner decides once, and then the wait fails.
        if (idleHandled || !sim::CallIdleEndHandler()) {
            SetLastError(ERROR_TIMEOUT);
            return -1;
        }
        idleHandled = true;
    }
}

LRESULT WINAPI DispatchMessageA(const MSG *lpMsg) {
    if (!lpMsg)
        return 0;
    if (lpMsg->hwnd == sim::kQueuedWindow && lpMsg->message == sim::kQueuedMessage) {
        auto it = Q().fetched.find(lpMsg->wParam);
        if (it == Q().fetched.end())
            return 0;
        std::function<void()> task = std::move(it->second);
        Q().fetched.erase(it);
        task();
        return 0;
    }
    if (lpMsg->message == WM_TIMER && lpMsg->lParam)
        ((TIMERPROC)lpMsg->lParam)(lpMsg->hwnd, WM_TIMER, lpMsg->wParam, lpMsg->time);
    return 0; // a message without a window has no procedure to go to
}

BOOL WINAPI PostThreadMessageA(DWORD idThread, UINT Msg, WPARAM wParam, LPARAM lParam) {
    int64_t r;
    if (Enter("PostThreadMessageA", {idThread, Msg, (uint64_t)wParam, (uint64_t)lParam}, NULL, &r))
        return sim::FailWith<BOOL>(r);
    if (idThread != sim::kThreadId) {
        SetLastError(ERROR_INVALID_THREAD_ID);
        return (BOOL)Finish(FALSE);
    }
    MSG msg = MSG();
    msg.message = Msg;
    msg.wParam = wParam;
    msg.lParam = lParam;
    msg.time = GetTickCount();
    sim::PostThreadQueueMessage(msg);
    return (BOOL)Finish(TRUE);
}

DWORD WINAPI GetCurrentThreadId(void) {
    return sim::kThreadId;
}

// Thread timers only: a window's timer is not part of the subset.
UINT_PTR WINAPI SetTimer(HWND hWnd, UINT_PTR nIDEvent, UINT uElapse, TIMERPROC lpTimerFunc) {
    int64_t r;
    if (Enter("SetTimer", {(uint64_t)(uintptr_t)hWnd, (uint64_t)nIDEvent, uElapse}, NULL, &r))
        return sim::FailWith<UINT_PTR>(r);
    if (hWnd) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return (UINT_PTR)Finish(0);
    }
    // Out of range is set to the nearest limit (SetTimer).
    UINT elapse = uElapse < USER_TIMER_MINIMUM   ? USER_TIMER_MINIMUM
                  : uElapse > USER_TIMER_MAXIMUM ? USER_TIMER_MAXIMUM
                                                 : uElapse;
    auto existing = Q().timers.find(nIDEvent);
    UINT_PTR id = existing != Q().timers.end() ? nIDEvent : Q().nextTimer++;
    if (existing != Q().timers.end())
        sim::CancelTimer(existing->second.clockTimer);
    Q().timers[id] = sim::ThreadTimer{elapse, lpTimerFunc, 0, false};
    sim::ArmTimer(id);
    return (UINT_PTR)Finish((int64_t)id);
}

BOOL WINAPI KillTimer(HWND hWnd, UINT_PTR uIDEvent) {
    int64_t r;
    if (Enter("KillTimer", {(uint64_t)(uintptr_t)hWnd, (uint64_t)uIDEvent}, NULL, &r))
        return sim::FailWith<BOOL>(r);
    auto it = Q().timers.find(uIDEvent);
    if (hWnd || it == Q().timers.end()) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return (BOOL)Finish(FALSE);
    }
    sim::CancelTimer(it->second.clockTimer);
    Q().timers.erase(it);
    return (BOOL)Finish(TRUE);
}

// A null routine makes the process ignore Ctrl-C, or heed it again (SetConsoleCtrlHandler).
BOOL WINAPI SetConsoleCtrlHandler(PHANDLER_ROUTINE HandlerRoutine, BOOL Add) {
    int64_t r;
    if (Enter("SetConsoleCtrlHandler", {(uint64_t)(HandlerRoutine != NULL), (uint64_t)Add}, NULL,
              &r))
        return sim::FailWith<BOOL>(r);
    std::vector<PHANDLER_ROUTINE> &handlers = Q().ctrlHandlers;
    if (!HandlerRoutine) {
        Q().ignoreCtrlC = Add != FALSE;
    } else if (Add) {
        handlers.push_back(HandlerRoutine);
    } else {
        auto it = std::find(handlers.rbegin(), handlers.rend(), HandlerRoutine);
        if (it == handlers.rend()) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return (BOOL)Finish(FALSE);
        }
        handlers.erase(std::next(it).base());
    }
    sim::CatchSigint(!handlers.empty() || Q().ignoreCtrlC);
    return (BOOL)Finish(TRUE);
}
