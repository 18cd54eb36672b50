// The simulated machine's clock: simulated or real time, the timers that stand for work done by
// devices and services on their own, and the run-time's time functions built on it.
#include "platform/sim/internal.h"
#include "platform/sim/sim.h"

#include <chrono>
#include <map>
#include <thread>

namespace sim {

namespace {
struct Timer {
    int id;
    TimerFn fn;
};
struct ClockState {
    bool simulated = true;
    int64_t startEpoch = kDefaultStartTime; // wall-clock seconds at simulated time 0
    uint64_t simNowMs = 0;
    std::chrono::steady_clock::time_point realStart = std::chrono::steady_clock::now();
    std::multimap<uint64_t, Timer> timers; // by due time, then in order of creation
    int nextId = 1;
};
ClockState &C() {
    static ClockState state;
    return state;
}
} // namespace

void UseSimulatedClock(int64_t startEpochSeconds) {
    C().simulated = true;
    C().startEpoch = startEpochSeconds;
    C().simNowMs = 0;
}

void UseRealClock() {
    C().simulated = false;
    C().realStart = std::chrono::steady_clock::now();
    C().startEpoch = (int64_t)time(NULL);
}

bool ClockIsSimulated() {
    return C().simulated;
}

uint64_t NowMs() {
    if (C().simulated)
        return C().simNowMs;
    auto elapsed = std::chrono::steady_clock::now() - C().realStart;
    return (uint64_t)std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count();
}

int AddTimer(uint64_t dueMs, TimerFn fn) {
    int id = C().nextId++;
    C().timers.insert({dueMs, Timer{id, std::move(fn)}});
    return id;
}

void CancelTimer(int id) {
    for (auto it = C().timers.begin(); it != C().timers.end(); ++it) {
        if (it->second.id == id) {
            C().timers.erase(it);
            return;
        }
    }
}

uint64_t NextTimerDue() {
    return C().timers.empty() ? UINT64_MAX : C().timers.begin()->first;
}

// Runs the earliest timer if it is due by limit; a timer may add others.
static bool RunOneDue(uint64_t limit) {
    auto it = C().timers.begin();
    if (it == C().timers.end() || it->first > limit)
        return false;
    if (C().simulated && it->first > C().simNowMs)
        C().simNowMs = it->first;
    TimerFn fn = std::move(it->second.fn);
    C().timers.erase(it);
    fn();
    return true;
}

void RunDueTimers() {
    while (RunOneDue(NowMs())) {
    }
}

void Advance(uint64_t ms) {
    if (!C().simulated) {
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
        RunDueTimers();
        return;
    }
    uint64_t target = C().simNowMs + ms;
    while (RunOneDue(target)) {
    }
    C().simNowMs = target;
}

int64_t WallClockSeconds() {
    return C().startEpoch + (int64_t)(NowMs() / 1000);
}

void ResetClock() {
    C().timers.clear();
    UseSimulatedClock(kDefaultStartTime);
}

} // namespace sim

// ---- The platform functions -----------------------------------------------------------------

void WINAPI Sleep(DWORD dwMilliseconds) {
    sim::Advance(dwMilliseconds);
}

DWORD WINAPI GetTickCount(void) {
    return (DWORD)sim::NowMs();
}

__time64_t _time64(__time64_t *timer) {
    __time64_t now = sim::WallClockSeconds();
    if (timer)
        *timer = now;
    return now;
}

struct tm *_localtime64(const __time64_t *timer) {
    static struct tm result;
    if (!timer)
        return NULL;
    time_t t = (time_t)*timer;
    return localtime_r(&t, &result);
}

// The Windows run-time writes the day with two digits and English names, whatever the locale.
char *_ctime64(const __time64_t *timer) {
    static const char *const kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char *const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    static char text[32];
    const struct tm *local = _localtime64(timer);
    if (!local || local->tm_year + 1900 > 9999 || local->tm_year + 1900 < 1970)
        return NULL;
    snprintf(text, sizeof text, "%s %s %02d %02d:%02d:%02d %04d\n", kDays[local->tm_wday],
             kMonths[local->tm_mon], local->tm_mday, local->tm_hour, local->tm_min, local->tm_sec,
             local->tm_year + 1900);
    return text;
}
