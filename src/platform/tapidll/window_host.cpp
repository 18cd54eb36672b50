// The hidden window of the telephony DLL: queued line messages, the timeline's timer and the
// watch for a start file.
#include "platform/tapidll/window_host.h"

#include "platform/sim/sim.h"
#include "platform/tapidll/log.h"

#include <windows.h>

namespace tapidll {

namespace {

const char kWindowClass[] = "RingwardTapiHiddenWindow";

enum : UINT {
    kLineMessage = WM_APP + 1, // one line message waits in the queue
};
enum : UINT_PTR {
    kTimelineTimer = 1,
    kFileTimer = 2,
};
enum : UINT { kFilePollMs = 100 };

WindowHost *theHost = nullptr; // the one host; its window procedure finds it here

} // namespace

bool WindowHost::Start(HINSTANCE module, sim::LineService *lineService) {
    service = lineService;
    theHost = this;
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = module;
    windowClass.lpszClassName = kWindowClass;
    if (!RegisterClassA(&windowClass) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
        return false;
    window =
        CreateWindowExA(0, kWindowClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, module, nullptr);
    return window != nullptr;
}

uint64_t WindowHost::NowMs() {
    return sim::NowMs();
}

void WindowHost::Deliver(LINECALLBACK callback, DWORD hDevice, DWORD msg, DWORD_PTR instance,
                         DWORD_PTR param1, DWORD_PTR param2, DWORD_PTR param3) {
    waiting.push_back(Message{callback, hDevice, msg, instance, {param1, param2, param3}});
    if (!window || !PostMessageA(window, kLineMessage, 0, 0))
        waiting.pop_back(); // no window to carry it: the message is lost, as it would be
}

void WindowHost::WakeAt(uint64_t ms) {
    wakes.insert(ms);
    Arm();
}

void WindowHost::Note(const std::string &text) {
    LogLine(text);
}

void WindowHost::At(uint64_t ms, std::function<void()> action) {
    actions.insert({ms, std::move(action)});
    Arm();
}

void WindowHost::WhenFileExists(const std::string &path, std::function<void()> action) {
    watchedFile = path;
    fileAction = std::move(action);
    if (window)
        SetTimer(window, kFileTimer, kFilePollMs, nullptr);
}

// One message per posted notice, in the order they were queued. A callback that runs a message
// loop of its own (a message box) receives the next ones from inside it, as with the real one.
void WindowHost::DeliverNext() {
    if (waiting.empty())
        return;
    Message m = waiting.front();
    waiting.pop_front();
    if (m.callback)
        m.callback(m.hDevice, m.msg, m.instance, m.params[0], m.params[1], m.params[2]);
}

void WindowHost::RunDue() {
    uint64_t now = NowMs();
    while (!actions.empty() && actions.begin()->first <= now) {
        std::function<void()> action = std::move(actions.begin()->second);
        actions.erase(actions.begin());
        action();
    }
    wakes.erase(wakes.begin(), wakes.upper_bound(now));
    if (service)
        service->RunDue();
}

void WindowHost::CheckFile() {
    if (GetFileAttributesA(watchedFile.c_str()) == INVALID_FILE_ATTRIBUTES)
        return;
    KillTimer(window, kFileTimer);
    LogLine("start file " + watchedFile + " found");
    std::function<void()> action = std::move(fileAction);
    fileAction = nullptr;
    if (action)
        action();
}

// Sets the timer for the earliest thing due, if that changed.
void WindowHost::Arm() {
    uint64_t due = UINT64_MAX;
    if (!actions.empty())
        due = actions.begin()->first;
    if (!wakes.empty() && *wakes.begin() < due)
        due = *wakes.begin();
    if (!window || due == armedFor)
        return;
    armedFor = due;
    if (due == UINT64_MAX) {
        KillTimer(window, kTimelineTimer);
        return;
    }
    uint64_t now = NowMs();
    UINT delay = due > now ? (UINT)(due - now) : USER_TIMER_MINIMUM;
    SetTimer(window, kTimelineTimer, delay < USER_TIMER_MINIMUM ? USER_TIMER_MINIMUM : delay,
             nullptr);
}

LRESULT CALLBACK WindowHost::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    WindowHost *host = theHost;
    if (!host || window != host->window)
        return DefWindowProcA(window, message, wParam, lParam);
    LogNewCalls();
    if (message == kLineMessage) {
        host->DeliverNext();
        LogNewCalls();
        return 0;
    }
    if (message == WM_TIMER && wParam == kTimelineTimer) {
        host->armedFor = UINT64_MAX; // re-armed below for whatever is due next
        KillTimer(window, kTimelineTimer);
        host->RunDue();
        host->Arm();
        return 0;
    }
    if (message == WM_TIMER && wParam == kFileTimer) {
        host->CheckFile();
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

} // namespace tapidll
