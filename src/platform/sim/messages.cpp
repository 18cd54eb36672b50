// The user-interface thread's message queue and the message boxes that run a loop over it.
#include "platform/sim/internal.h"
#include "platform/sim/sim.h"

#include <deque>

namespace sim {

namespace {
struct UiState {
    std::deque<LineMessage> queue;
    std::vector<MessageBoxRecord> boxes;
    MessageBoxHandler handler;
};
UiState &U() {
    static UiState state;
    return state;
}
} // namespace

void PostLineMessage(const LineMessage &message) {
    U().queue.push_back(message);
}

size_t PendingMessages() {
    return U().queue.size();
}

bool DispatchOne() {
    if (U().queue.empty())
        return false;
    LineMessage m = U().queue.front();
    U().queue.pop_front();
    if (m.callback)
        m.callback(m.hDevice, m.msg, m.instance, m.param1, m.param2, m.param3);
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

void ResetMessages() {
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
