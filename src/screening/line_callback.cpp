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
static const char kAnonMessage[] = "AnonCallerMessage.wav";
static const char kZapMessage[] = "ZapMessage.wav";

// Judges a result; a failed check ends the program. True when it failed (the caller returns).
static bool Fails(LONG value, DWORD code, const char *tag, const char *message) {
    if (!ErrHan(&value, code, tag, message))
        return false;
    ReportLogFailures(); // what the logs lost is told before the end
    ShutdownAndExit();
    return true;
}

static void LogLineEvent(DWORD dwMsg, DWORD_PTR dwParam1, DWORD_PTR dwParam2) {
    if (!g_state.eventLog)
        return;
    char timeText[kCallTimeSize];
    FormatCallTime(timeText);
    WriteLogEntry(EVENT_LOG, "MLC 800",
                  "%s LineCallback event: dwMsg = %d, dwParam1 = %d, dwParam2 = %d\n", timeText,
                  (int)dwMsg, (int)(DWORD)dwParam1, (int)(DWORD)dwParam2);
}

static int NextCallProgress(DWORD dwMsg, DWORD state, int previous) {
    if (dwMsg == LINE_APPNEWCALL)
        return previous <= kAnnounced ? kAnnounced : kNothingFollowed;
    if (dwMsg == LINE_CALLSTATE && state == LINECALLSTATE_OFFERING)
        return previous == kAnnounced ? kOffered : kNothingFollowed;
    if (dwMsg == LINE_CALLSTATE && state == LINECALLSTATE_IDLE)
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
    LONG result = FetchRecord(kLineCallInfoFixedSize, FillCallInfo, NULL, &record, &size);
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
    LONG result = FetchRecord(kVarStringFixedSize, FillWaveOutId, NULL, &record, &size);
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

static const char *ChosenMessage(void) {
    if (g_state.messageFile[0] != '\0')
        return g_state.messageFile;
    return strcmp(g_state.callerNumber, "P") == 0 ? kAnonMessage : kZapMessage;
}

static void OnConnected(void) {
    DWORD deviceId = 0;
    if (!FetchWaveOutId(&deviceId))
        return;
    if (PlayWaveMessage((WORD)deviceId, ChosenMessage()) == 0) {
        Fails(0, cond::F, "MLC 760", "F - Error playing zap message.");
        return; // the call is dropped by the shutdown
    }
    LONG result = lineDrop(g_state.hCall, NULL, 0);
    g_state.dropRequestId = result;
    Fails(result, cond::NN, "MLC 780", "S - Error hanging up line.");
}

static void OnIdle(void) {
    if (!g_state.callInfoHandled && g_state.callProgress != kRangOut)
        return;
    g_state.callProgress = kNothingFollowed;
    g_state.callInfoHandled = 0;
    LONG result = lineDrop(g_state.hCall, NULL, 0);
    g_state.dropRequestId = result;
    Fails(result, cond::NN, "MLC 700", "F - Error during lineDrop.");
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
    g_state.dropRequestId = 0;
    g_state.callInfoHandled = 0;
    if (outcome != 0) {
        Fails(outcome, cond::F, "MLC 320", "W - Error during ignoring call lineDrop.");
        return;
    }
    if (g_state.hCall == 0)
        return;
    LONG result = lineDeallocateCall(g_state.hCall);
    g_state.hCall = 0;
    Fails(result, cond::Z, "MLC 340", "F - Error hanging up line.");
}

void CALLBACK LineCallback(DWORD hDevice, DWORD dwMsg, DWORD_PTR dwCallbackInstance,
                           DWORD_PTR dwParam1, DWORD_PTR dwParam2, DWORD_PTR dwParam3) {
    (void)dwCallbackInstance;
    (void)dwParam3;
    LogLineEvent(dwMsg, dwParam1, dwParam2);
    if (!g_state.screening) {
        ReportLogFailures();
        return;
    }

    DWORD param1 = (DWORD)dwParam1;
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
        if (param1 == LINECALLSTATE_IDLE)
            OnIdle();
        else if (param1 == LINECALLSTATE_CONNECTED)
            OnConnected();
        break;
    case LINE_REPLY:
        OnReply((LONG)param1, (LONG)(DWORD)dwParam2);
        break;
    }
    // Only once the steps are done: no box may open between an answer and its judgement.
    ReportLogFailures();
}
