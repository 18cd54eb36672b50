// The user-interface thread's message queue and the message boxes that run a loop over it.
// Messages to the thread itself (PostThreadMessageA) wait in the same queue, in their turn; a
// dialog's loop passes over them, as DispatchMessage does with a message that has no window.
#include "platform/sim/internal.h"
#include "platform/sim/sim.h"

#include <algorithm>
#include <deque>

namespace sim {

namespace {
struct Queued {
    std::function<void()> task; // a line or window message: runs when dispatched
    bool toThread;              // a message to the thread itself, in msg
    MSG msg;
};
struct UiState {
    std::deque<Queued> queue;
    InputSource *input = nullptr;
    std::function<void()> idleEnd;
    std::vector<MessageBoxRecord> boxes;
    MessageBoxHandler handler;
    std::vector<NoteListener> noteListeners;
};
UiState &U() {
    static UiState state;
    return state;
}
} // namespace

void PostLineMessage(const LineMessage &m) {
    PostTask([m] {
        if (m.callback)
            m.callback(m.hDevice, m.msg, m.instance, m.param1, m.param2, m.param3);
    });
}

void PostTask(std::function<void()> task) {
    U().queue.push_back(Queued{std::move(task), false, MSG()});
}

void PostThreadQueueMessage(const MSG &msg) {
    U().queue.push_back(Queued{nullptr, true, msg});
}

bool TakeQueuedMessage(std::function<void()> *task, MSG *toThread) {
    if (U().queue.empty())
        return false;
    Queued first = std::move(U().queue.front());
    U().queue.pop_front();
    *task = std::move(first.task);
    if (first.toThread)
        *toThread = first.msg;
    return true;
}

size_t PendingMessages() {
    return U().queue.size();
}

bool DispatchOne() {
    std::function<void()> task;
    MSG toThread;
    if (!TakeQueuedMessage(&task, &toThread))
        return false;
    if (task)
        task();
    return true;
}

size_t DispatchAll() {
    size_t count = 0;
    while (DispatchOne())
        count++;
    return count;
}

void DiscardMessages() {
    U().queue.clear();
}

void SetInputSource(InputSource *source) {
    U().input = source;
}

void SetIdleEndHandler(std::function<void()> handler) {
    U().idleEnd = std::move(handler);
}

bool CallIdleEndHandler() {
    if (!U().idleEnd)
        return false;
    U().idleEnd();
    return true;
}

// Nothing waits: let time pass to the next timer, or wait for input. False when nothing can
// ever happen again.
bool WaitForSomething() {
    uint64_t next = NextTimerDue();
    if (ClockIsSimulated()) {
        // Simulated time only moves when nobody could act before the next timer.
        if (U().input && U().input->Wait(NowMs()))
            return true;
        if (next != UINT64_MAX) {
            Advance(next - std::min(next, NowMs()));
            return true;
        }
        return U().input && U().input->Wait(UINT64_MAX);
    }
    if (next <= NowMs()) {
        RunDueTimers();
        return true;
    }
    if (U().input)
        return U().input->Wait(next);
    if (next == UINT64_MAX)
        return false;
    Advance(next - NowMs());
    return true;
}

void RunMessageLoop(const std::function<bool()> &done) {
    while (!done()) {
        RunDueTimers();
        if (DispatchOne())
            continue;
        if (done())
            break;
        if (!WaitForSomething()) {
            CallIdleEndHandler();
            return;
        }
    }
}

void Note(const std::string &text) {
    for (const NoteListener &listener : U().noteListeners)
        listener(text);
}

void AddNoteListener(NoteListener listener) {
    U().noteListeners.push_back(std::move(listener));
}

void ResetMessages() {
    U().noteListeners.clear();
    U().input = nullptr;
    U().idleEnd = nullptr;
    U().queue.clear();
    U().boxes.clear();
    U().handler = nullptr;
}

const std::vector<MessageBoxRecord> &MessageBoxes() {
    return U().boxes;
}

void ClearMessageBoxes() {
    U().boxes.clear();
}

void SetMessageBoxHandler(MessageBoxHandler handler) {
    U().handler = std::move(handler);
}

int AnswerAfterDispatching(const MessageBoxRecord &) {
    RunDueTimers();
    DispatchAll();
    return IDOK;
}

} // namespace sim

int WINAPI MessageBoxA(HWND hWnd, LPCSTR lpText, LPCSTR lpCaption, UINT uType) {
    sim::MessageBoxRecord box{hWnd, lpText ? lpText : "", lpCaption ? lpCaption : "Error", uType};
    sim::U().boxes.push_back(box);
    if (sim::U().handler)
        return sim::U().handler(box);
    return sim::AnswerAfterDispatching(box);
}
