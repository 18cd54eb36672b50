// Line messages: the input's bytes are a sequence of events on the simulated line while
// screening is on: calls ringing in, raw line messages with arbitrary devices and parameters,
// far ends hanging up, time passing, screening switched, telephony and heap calls failing. The
// handler must not crash, leak or read out of bounds, must write a record only for a caller-ID
// message and, while the messages are the service's own, at most one record per call announced;
// when it ends the program it must have released call, line and usage. (A raw caller-ID message
// after a call's idle drop and before the drop's reply does make a second record: the handler
// forgets the caller ID once it has issued the drop, as it is meant to.)
//
// ShutdownAndExit ends the process; here exit() is wrapped (-Wl,--wrap=exit) to unwind back to
// the target, so that one process can run many inputs.
#include "common/state.h"
#include "fuzz_support.h"
#include "platform/sim/journal.h"
#include "platform/sim/memory.h"
#include "platform/sim/multimedia.h"
#include "platform/sim/sim.h"
#include "platform/sim/telephony.h"
#include "screening/screening.h"
#include "wave_files.h"

#include <fuzzer/FuzzedDataProvider.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

namespace {

struct ProgramExited {
    int code;
};
bool catchExit = false;

const int kMostEvents = 64;
const uint64_t kLongestPauseMs = 20000;

// Counts what the handler was given, then hands the message on.
int announcedCalls = 0;
int callerIdMessages = 0;
bool rawMessages = false;
void CALLBACK CountingCallback(DWORD hDevice, DWORD msg, DWORD_PTR instance, DWORD_PTR p1,
                               DWORD_PTR p2, DWORD_PTR p3) {
    if (msg == LINE_APPNEWCALL && g_state.screening)
        announcedCalls++;
    if (msg == LINE_CALLINFO && p1 == LINECALLINFOSTATE_CALLERID && g_state.screening)
        callerIdMessages++;
    LineCallback(hDevice, msg, instance, p1, p2, p3);
}

void OpenLine() {
    fuzz::Require(sim::OpenVoiceModemLine(CountingCallback, &g_state.hLineApp, &g_state.hLine) == 0,
                  "opening the modem's line");
}

void RunFor(uint64_t ms) {
    uint64_t end = sim::NowMs() + ms;
    sim::AddTimer(end, [] {});
    sim::RunMessageLoop([end] { return sim::NowMs() >= end; });
}

const char *const kNumbers[] = {"8005551234", "2125550100",     "P",         "O", "5550123",
                                "",           "1-800-555-0199", "3125550000"};

void Ring(FuzzedDataProvider &in) {
    sim::CallConfig call;
    call.callerIdDelivered = in.ConsumeBool();
    call.numberDelivered = in.ConsumeBool();
    call.number = kNumbers[in.ConsumeIntegralInRange<size_t>(0, 7)];
    call.nameDelivered = in.ConsumeBool();
    call.name = in.ConsumeBool() ? "P" : "SOME, BODY";
    call.rings = in.ConsumeIntegralInRange<int>(0, 5);
    call.hangUpAfterMs = in.ConsumeBool() ? -1 : in.ConsumeIntegralInRange<int>(0, 3000);
    sim::TheLineService().ScheduleCall(call, sim::NowMs());
}

DWORD PickDevice(FuzzedDataProvider &in) {
    switch (in.ConsumeIntegralInRange<int>(0, 4)) {
    case 0:
        return g_state.hCall;
    case 1:
        return g_state.hLine;
    case 2:
        return sim::TheLineService().CallHandle(in.ConsumeIntegralInRange<int>(1, 4));
    case 3:
        return 0;
    default:
        return in.ConsumeIntegral<DWORD>();
    }
}

DWORD PickParam(FuzzedDataProvider &in) {
    static const DWORD kInteresting[] = {LINECALLINFOSTATE_CALLERID,
                                         LINECALLSTATE_IDLE,
                                         LINECALLSTATE_OFFERING,
                                         LINECALLSTATE_CONNECTED,
                                         LINECALLSTATE_ACCEPTED,
                                         LINECALLSTATE_DISCONNECTED,
                                         0x8001,
                                         LINEERR_OPERATIONFAILED,
                                         0,
                                         1,
                                         2,
                                         3};
    switch (in.ConsumeIntegralInRange<int>(0, 4)) {
    case 0:
        return (DWORD)g_state.answerRequestId;
    case 1:
        return (DWORD)g_state.dropRequestId;
    case 2:
        return g_state.hCall;
    case 3:
        return kInteresting[in.ConsumeIntegralInRange<size_t>(0, 11)];
    default:
        return in.ConsumeIntegral<DWORD>();
    }
}

void InjectMessage(FuzzedDataProvider &in) {
    static const DWORD kMessages[] = {LINE_APPNEWCALL, LINE_CALLINFO, LINE_CALLSTATE,
                                      LINE_REPLY,      LINE_CLOSE,    LINE_LINEDEVSTATE};
    DWORD msg = in.ConsumeBool() ? kMessages[in.ConsumeIntegralInRange<size_t>(0, 5)]
                                 : in.ConsumeIntegral<DWORD>();
    DWORD device = PickDevice(in);
    DWORD p1 = PickParam(in), p2 = PickParam(in);
    sim::TheLineService().InjectMessage(sim::NowMs(), device, msg, p1, p2, 0);
    rawMessages = true;
}

void InjectFault(FuzzedDataProvider &in) {
    static const char *const kFunctions[] = {
        "lineGetCallInfoA", "lineAnswer", "lineGetIDA", "lineDrop",    "lineDeallocateCall",
        "realloc",          "calloc",     "mmioOpenA",  "waveOutWrite"};
    const char *function = kFunctions[in.ConsumeIntegralInRange<size_t>(0, 8)];
    sim::FailCall(function, sim::TypicalError(function), in.ConsumeIntegralInRange<int>(1, 3));
}

void RunEvents(FuzzedDataProvider &in) {
    for (int i = 0; i < kMostEvents && in.remaining_bytes() > 0; i++) {
        switch (in.ConsumeIntegralInRange<int>(0, 6)) {
        case 0:
            Ring(in);
            break;
        case 1:
        case 2:
            InjectMessage(in);
            break;
        case 3:
            sim::TheLineService().HangUpFarEnd(in.ConsumeIntegralInRange<int>(1, 4));
            break;
        case 4:
            g_state.screening = !g_state.screening;
            break;
        case 5:
            InjectFault(in);
            break;
        }
        RunFor(in.ConsumeIntegralInRange<uint64_t>(1, kLongestPauseMs));
    }
    RunFor(kLongestPauseMs * 3); // whatever is under way comes to its end
}

size_t CountLines(const char *text, size_t length) {
    size_t lines = 0;
    for (size_t i = 0; i < length; i++)
        lines += text[i] == '\n';
    return lines;
}

void Prepare() {
    fuzz::EnterWorkDirectory();
    static bool written = false;
    if (!written) {
        fuzz::WriteText("ZapMessage.wav", test::PcmWave(1, 8000, 16, test::Samples(800, 1)));
        fuzz::WriteText("AnonCallerMessage.wav", test::PcmWave(1, 8000, 8, test::Samples(400, 2)));
        fuzz::WriteText("Go Away.wav", test::PcmWave(1, 8000, 16, test::Samples(1600, 3)));
        written = true;
    }
    fuzz::BootWithSmallLists({"555"});
    g_state.screening = 1;
    announcedCalls = 0;
    callerIdMessages = 0;
    rawMessages = false;
}

} // namespace

extern "C" void __real_exit(int code);

// ShutdownAndExit's exit, during an input: back to the target.
extern "C" void __wrap_exit(int code) {
    if (catchExit) {
        catchExit = false;
        throw ProgramExited{code};
    }
    __real_exit(code);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    Prepare();
    char *events = nullptr, *records = nullptr;
    size_t eventsLength = 0, recordsLength = 0;
    g_state.eventLog = open_memstream(&events, &eventsLength);
    g_state.callsLog = open_memstream(&records, &recordsLength);
    OpenLine();

    FuzzedDataProvider in(data, size);
    bool exited = false;
    catchExit = true;
    try {
        RunEvents(in);
    } catch (const ProgramExited &e) {
        fuzz::Require(e.code == 0, "the program ends with code 0");
        exited = true;
    }
    catchExit = false;

    if (exited) {
        fuzz::Require(!g_state.hCall && !g_state.hLine && !g_state.hLineApp, "handles released");
        fuzz::Require(!g_state.eventLog && !g_state.callsLog, "logs closed");
        fuzz::Require(sim::TheLineService().OpenLine() == 0, "the line is closed");
        fuzz::Require(sim::TheLineService().AppHandle() == 0, "the usage has ended");
    } else {
        fclose(g_state.eventLog);
        fclose(g_state.callsLog);
        g_state.eventLog = g_state.callsLog = nullptr;
    }
    size_t written = CountLines(records, recordsLength);
    fuzz::Require(written <= (size_t)callerIdMessages, "a record only for a caller ID");
    fuzz::Require(rawMessages || written <= (size_t)announcedCalls, "at most one record per call");
    fuzz::Require(sim::HeldBlocks() == 0, "no block is left");
    fuzz::Require(sim::OpenMultimediaFiles() == 0, "no file is left open");
    free(events);
    free(records);
    return 0;
}
