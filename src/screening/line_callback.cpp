// LineCallback: the telephony API's line callback. Logs every message and, while screening is
// on, follows the newest call: identifies the caller when the caller ID arrives, answers a
// blocked caller, plays the message once connected, hangs up, and releases the call when the
// drop has completed. Every failed check ends the program.
#include "screening/screening.h"

#include "common/state.h"
#include "diag/errhan.h"
#include "playback/player.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

enum : int {
    kNothingFollowed = 0,
    kAnnounced = 1,
    kOffered = 2,
    kRangOut = 3, // idle right after being offered: it rang without any caller ID
};

static const char kReallocMessage[] = "F - Error during realloc.";

// Judges a result; a failed check ends the program. True when it failed (the caller returns).
static bool Fails(LONG value, DWORD code, const char *tag, const char *message) {
    if (!ErrHan(&value, code, tag, message))
        return false;
    ReportLogFailures(); // what the logs lost is told before the end
    ShutdownAndExit();
    return true;
}

static void LogLineEvent(DWORD dwMsg, DWORD_PTR dwParam1, DWORD_PTR dwParam2) {
    char timeText[kCallTimeSize];
    FormatCallTime(timeText);
    WriteLogEntry(EVENT_LOG, "MLC 800",
                  "%s LineCallback event: dwMsg = %d, dwParam1 = %d, dwParam2 = %d\n", timeText,
                  (int)dwMsg, (int)(DWORD)dwParam1, (int)(DWORD)dwParam2);
}

// A line may report a call whose far end has gone as disconnected and keep it so until it is
// dropped, also one whose caller gave up while it rang: the handler takes such a call for idle.
static bool CallIsOver(DWORD state) {
    return state == LINECALLSTATE_IDLE || state == LINECALLSTATE_DISCONNECTED;
}

static int NextCallProgress(DWORD dwMsg, DWORD state, int previous) {
    if (dwMsg == LINE_APPNEWCALL)
        return previous <= kAnnounced ? kAnnounced : kNothingFollowed;
    if (dwMsg == LINE_CALLSTATE && state == LINECALLSTATE_OFFERING)
        return previous == kAnnounced ? kOffered : kNothingFollowed;
    if (dwMsg == LINE_CALLSTATE && CallIsOver(state))
        return previous == kOffered ? kRangOut : kNothingFollowed;
    return kNothingFollowed;
}

static LONG FillCallInfo(void *block, void *) {
    return lineGetCallInfoA(g_state.hCall, (LPLINECALLINFO)block);
}

static LONG FillWaveOutId(void *block, void *) {
    return lineGetIDA(g_state.hLine, 0, 0, LINECALLSELECT_LINE, (LPVARSTRING)block, "wave/out");
}

// Fetches the call information of hCall; null after a failure that ends the program.
static LINECALLINFO *FetchCallInfo(void) {
    void *record;
    DWORD size;
    LONG result = FetchRecord(kLineCallInfoFixedSize, CallInfoFixedSize(g_state.lineVersion),
                              FillCallInfo, NULL, &record, &size);
    if (!record) {
        Fails(0, cond::NZ, "MLC 540", kReallocMessage);
        return NULL;
    }
    if (result != 0) {
        free(record);
        Fails(result, cond::F, "MLC 560", "F - Error during lineGetCallInfo.");
        return NULL;
    }
    // The block's own size, not what the platform left in it, bounds every text read from it.
    LINECALLINFO *info = (LINECALLINFO *)record;
    info->dwTotalSize = size;
    return info;
}

static void OnCallerId(DWORD hDevice) {
    if (hDevice != (DWORD)g_state.hCall) {
        Fails(0, cond::F, "MLC 520", "F - Call handle mismatch.");
        return;
    }
    if (g_state.callInfoHandled)
        return; // the same call's caller ID once more
    g_state.callInfoHandled = 1;

    LINECALLINFO *info = FetchCallInfo();
    if (!info)
        return;
    ReadCallerId(info);
    free(info);

    if (ScreenCaller() == VERDICT_ALLOWED) {
        LogCall(g_state.callerName, g_state.callerNumber, "Allowed");
        return; // left ringing
    }
    // The record is written before the answer is judged, so a failed answer still leaves it.
    LONG result = lineAnswer(g_state.hCall, NULL, 0);
    g_state.answerRequestId = result;
    LogCall(g_state.callerName, g_state.callerNumber, "Blocked");
    Fails(result, cond::NN, "MLC 580", "F - Error during lineAnswer.");
}

// The id of the line's wave-out device, in *deviceId; false after a failure.
static bool FetchWaveOutId(DWORD *deviceId) {
    void *record;
    DWORD size;
    LONG result =
        FetchRecord(kVarStringFixedSize, kVarStringFixedSize, FillWaveOutId, NULL, &record, &size);
    if (!record) {
        Fails(0, cond::NZ, "MLC 720", kReallocMessage);
        return false;
    }
    const VARSTRING *id = (const VARSTRING *)record;
    // The id is read where the record says it is, but never from outside the block.
    DWORD offset = id->dwStringOffset;
    bool inside = offset >= kVarStringFixedSize && offset <= size - sizeof(DWORD);
    if (result == 0 && inside)
        memcpy(deviceId, (const BYTE *)record + offset, sizeof(DWORD));
    free(record);
    if (result != 0)
        return !Fails(result, cond::F, "MLC 740", "F - Error during lineGetID.");
    if (!inside)
        return !Fails((LONG)offset, cond::F, "MLC 740", "F - Error during lineGetID.");
    return true;
}

// A drop that has ended, one way or the other: no request pending, the call's tracking cleared.
static void ForgetDrop(void) {
    g_state.dropRequestId = 0;
    g_state.callInfoHandled = 0;
}

// What a completed drop leaves besides: the call released and its handle forgotten.
static void FinishDrop(void) {
    ForgetDrop();
    if (g_state.hCall == 0)
        return;
    LONG result = lineDeallocateCall(g_state.hCall);
    g_state.hCall = 0;
    Fails(result, cond::Z, "MLC 340", "F - Error hanging up line.");
}

// A provider's refusal, at once or in the drop's reply, to drop a call that is idle already.
static bool RefusedAsIdle(LONG result) {
    return result == (LONG)LINEERR_INVALCALLSTATE;
}

// Drops the followed call; the drop's reply completes it. A line may refuse to drop a call that
// is idle already (one that rang out, or whose caller hung up during the message): such a call
// is as good as dropped.
static void DropCall(const char *tag, const char *message) {
    LONG result = lineDrop(g_state.hCall, NULL, 0);
    g_state.dropRequestId = result;
    if (RefusedAsIdle(result)) {
        FinishDrop();
        return;
    }
    Fails(result, cond::NN, tag, message);
}

static void OnConnected(void) {
    DWORD deviceId = 0;
    if (!FetchWaveOutId(&deviceId))
        return;
    if (PlayWaveMessage((WORD)deviceId, MessageForBlockedCaller()) == 0) {
        Fails(0, cond::F, "MLC 760", "F - Error playing zap message.");
        return; // the call is dropped by the shutdown
    }
    DropCall("MLC 780", "S - Error hanging up line.");
}

static void OnIdle(void) {
    if (!g_state.callInfoHandled && g_state.callProgress != kRangOut)
        return;
    g_state.callProgress = kNothingFollowed;
    g_state.callInfoHandled = 0;
    DropCall("MLC 700", "F - Error during lineDrop.");
}

// A request id of 0 means "none pending": a reply never matches it.
static bool IsPending(LONG field, LONG requestId) {
    return field != 0 && field == requestId;
}

static void OnReply(LONG requestId, LONG outcome) {
    if (IsPending(g_state.answerRequestId, requestId)) {
        g_state.answerRequestId = 0;
        if (outcome != 0) {
            Fails(outcome, cond::F, "MLC 300", "F - Error during lineAnswer.");
            return;
        }
    }
    if (!IsPending(g_state.dropRequestId, requestId))
        return;
    if (outcome != 0 && !RefusedAsIdle(outcome)) {
        ForgetDrop();
        Fails(outcome, cond::F, "MLC 320", "W - Error during ignoring call lineDrop.");
        return;
    }
    FinishDrop();
}

// While screening is on: the message's part in the life of the followed call.
static void FollowCall(DWORD hDevice, DWORD dwMsg, DWORD param1, DWORD_PTR dwParam2) {
    g_state.callProgress = NextCallProgress(dwMsg, param1, g_state.callProgress);
    switch (dwMsg) {
    case LINE_APPNEWCALL:
        g_state.hLine = (HLINE)hDevice;
        g_state.hCall = (HCALL)dwParam2;
        break;
    case LINE_CALLINFO:
        if (param1 == LINECALLINFOSTATE_CALLERID)
            OnCallerId(hDevice);
        break;
    case LINE_CALLSTATE:
        if (CallIsOver(param1))
            OnIdle();
        else if (param1 == LINECALLSTATE_CONNECTED)
            OnConnected();
        break;
    case LINE_REPLY:
        OnReply((LONG)param1, (LONG)(DWORD)dwParam2);
        break;
    }
}

void CALLBACK LineCallback(DWORD hDevice, DWORD dwMsg, DWORD_PTR dwCallbackInstance,
                           DWORD_PTR dwParam1, DWORD_PTR dwParam2, DWORD_PTR dwParam3) {
    (void)dwCallbackInstance;
    (void)dwParam3;
    LogLineEvent(dwMsg, dwParam1, dwParam2);
    if (g_state.screening)
        FollowCall(hDevice, dwMsg, (DWORD)dwParam1, dwParam2);
    // Only once the steps are done: no box may open between an answer and its judgement.
    ReportLogFailures();
}
