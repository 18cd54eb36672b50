// ringward-check watch [--line N] [--seconds S]: every message of one line, as the telephony
// system delivers it, with its parameters in decimal and hex and what they mean; for every
// caller-ID message the call information as delivered, and the caller as the program would
// read and decide it on the lists of the current folder. The line is opened to monitor only, so
// the watch can never answer or drop a call; it lets go of each call's handle when the call goes
// idle, and on Ctrl-C or after S seconds releases the calls, the line and the telephony usage,
// in that order. One thread: the messages come through the telephony service's hidden window,
// from this thread's message loop, as they come to the program.
#include "check/check.h"

#include <stdlib.h>
#include <string.h>

enum : int {
    kMaxWatchedCalls = 16, // calls held at once; a modem's line has one or two
    kMsPerSecond = 1000,
};
enum : UINT { kStopMessage = WM_APP + 1 }; // to the thread: stop watching (wParam: why)
enum : WPARAM { kStopLineClosed = 0x100 }; // beside CTRL_C_EVENT and CTRL_BREAK_EVENT

static const char kIndent[] = "    ";
static const char kCallerIndent[] = "      ";

// The watch's own record: what the line callback and the loop share.
struct WatchState {
    FILE *out;
    Lists lists;
    HLINEAPP app;
    HLINE line;
    DWORD version;
    DWORD startTick;
    DWORD thread;
    HCALL calls[kMaxWatchedCalls]; // the handles the service has given
    int callCount;
    long messages;
};
static WatchState g_watch;

static const FlagName kMessages[] = {
    {LINE_ADDRESSSTATE, "LINE_ADDRESSSTATE"},
    {LINE_CALLINFO, "LINE_CALLINFO"},
    {LINE_CALLSTATE, "LINE_CALLSTATE"},
    {LINE_CLOSE, "LINE_CLOSE"},
    {LINE_DEVSPECIFIC, "LINE_DEVSPECIFIC"},
    {5, "LINE_DEVSPECIFICFEATURE"},
    {6, "LINE_GATHERDIGITS"},
    {7, "LINE_GENERATE"},
    {LINE_LINEDEVSTATE, "LINE_LINEDEVSTATE"},
    {LINE_MONITORDIGITS, "LINE_MONITORDIGITS"},
    {10, "LINE_MONITORMEDIA"},
    {11, "LINE_MONITORTONE"},
    {LINE_REPLY, "LINE_REPLY"},
    {LINE_REQUEST, "LINE_REQUEST"},
    {LINE_CREATE, "LINE_CREATE"},
    {LINE_APPNEWCALL, "LINE_APPNEWCALL"},
    {LINE_REMOVE, "LINE_REMOVE"},
};
static const FlagName kCallStates[] = {
    {LINECALLSTATE_IDLE, "IDLE"},
    {LINECALLSTATE_OFFERING, "OFFERING"},
    {LINECALLSTATE_ACCEPTED, "ACCEPTED"},
    {LINECALLSTATE_DIALTONE, "DIALTONE"},
    {LINECALLSTATE_DIALING, "DIALING"},
    {LINECALLSTATE_RINGBACK, "RINGBACK"},
    {LINECALLSTATE_BUSY, "BUSY"},
    {LINECALLSTATE_SPECIALINFO, "SPECIALINFO"},
    {LINECALLSTATE_CONNECTED, "CONNECTED"},
    {LINECALLSTATE_PROCEEDING, "PROCEEDING"},
    {LINECALLSTATE_ONHOLD, "ONHOLD"},
    {0x800, "CONFERENCED"},
    {0x1000, "ONHOLDPENDCONF"},
    {0x2000, "ONHOLDPENDTRANSFER"},
    {LINECALLSTATE_DISCONNECTED, "DISCONNECTED"},
    {LINECALLSTATE_UNKNOWN, "UNKNOWN"},
};
static const FlagName kOfferingModes[] = {{LINEOFFERINGMODE_ACTIVE, "ACTIVE"}, {0x2, "INACTIVE"}};
static const FlagName kConnectedModes[] = {
    {LINECONNECTEDMODE_ACTIVE, "ACTIVE"},
    {0x2, "INACTIVE"},
    {0x4, "ACTIVEHELD"},
    {0x8, "INACTIVEHELD"},
    {0x10, "CONFIRMED"},
};
static const FlagName kDisconnectModes[] = {
    {LINEDISCONNECTMODE_NORMAL, "NORMAL"},
    {0x2, "UNKNOWN"},
    {0x4, "REJECT"},
    {0x8, "PICKUP"},
    {0x10, "FORWARDED"},
    {0x20, "BUSY"},
    {0x40, "NOANSWER"},
    {0x80, "BADADDRESS"},
    {0x100, "UNREACHABLE"},
    {0x200, "CONGESTION"},
    {0x400, "INCOMPATIBLE"},
    {0x800, "UNAVAIL"},
    {0x1000, "NODIALTONE"},
};
static const FlagName kPrivileges[] = {
    {LINECALLPRIVILEGE_NONE, "NONE"},
    {LINECALLPRIVILEGE_MONITOR, "MONITOR"},
    {LINECALLPRIVILEGE_OWNER, "OWNER"},
};
static const FlagName kCallInfoStates[] = {
    {0x1, "OTHER"},
    {0x2, "DEVSPECIFIC"},
    {0x4, "BEARERMODE"},
    {0x8, "RATE"},
    {0x10, "MEDIAMODE"},
    {0x20, "APPSPECIFIC"},
    {0x40, "CALLID"},
    {0x80, "RELATEDCALLID"},
    {0x100, "ORIGIN"},
    {0x200, "REASON"},
    {0x400, "COMPLETIONID"},
    {0x800, "NUMOWNERINCR"},
    {0x1000, "NUMOWNERDECR"},
    {0x2000, "NUMMONITORS"},
    {0x4000, "TRUNK"},
    {LINECALLINFOSTATE_CALLERID, "CALLERID"},
    {0x10000, "CALLEDID"},
    {0x20000, "CONNECTEDID"},
    {0x40000, "REDIRECTIONID"},
    {0x80000, "REDIRECTINGID"},
    {0x100000, "DISPLAY"},
    {0x200000, "USERUSERINFO"},
    {0x8000000, "MONITORMODES"},
};
static const FlagName kLineStates[] = {
    {0x1, "OTHER"},         {LINEDEVSTATE_RINGING, "RINGING"},
    {0x4, "CONNECTED"},     {0x8, "DISCONNECTED"},
    {0x10, "MSGWAITON"},    {0x20, "MSGWAITOFF"},
    {0x40, "INSERVICE"},    {0x80, "OUTOFSERVICE"},
    {0x100, "MAINTENANCE"}, {0x200, "OPEN"},
    {0x400, "CLOSE"},       {0x800, "NUMCALLS"},
    {0x40000, "REINIT"},    {0x100000, "CAPSCHANGE"},
    {0x1000000, "REMOVED"},
};
static const FlagName kCallerIdFlags[] = {
    {LINECALLPARTYID_BLOCKED, "BLOCKED"},
    {LINECALLPARTYID_OUTOFAREA, "OUTOFAREA"},
    {LINECALLPARTYID_NAME, "NAME"},
    {LINECALLPARTYID_ADDRESS, "ADDRESS"},
    {0x10, "PARTIAL"},
    {LINECALLPARTYID_UNKNOWN, "UNKNOWN"},
    {LINECALLPARTYID_UNAVAIL, "UNAVAIL"},
};

static const char *MessageName(DWORD msg) {
    for (const FlagName &name : kMessages)
        if (name.bit == msg)
            return name.name;
    return "an unknown message";
}

// "dwParam1 = 32768 (0x00008000)": the decimal as the program's event log prints it.
static const char *ParamText(const char *label, DWORD_PTR value, char *out) {
    snprintf(out, kResultTextSize, "%s = %ld (0x%08lX)", label, (long)(LONG)(DWORD)value,
             (unsigned long)(DWORD)value);
    return out;
}

static void SayMessageLine(DWORD hDevice, DWORD msg, DWORD_PTR p1, DWORD_PTR p2, DWORD_PTR p3) {
    char when[kCallTimeSize], device[kResultTextSize], one[kResultTextSize], two[kResultTextSize],
        three[kResultTextSize];
    FormatCallTime(when);
    DWORD elapsed = GetTickCount() - g_watch.startTick;
    fprintf(g_watch.out, "%s +%lu.%03lu %s (%lu): %s, %s, %s, %s\n", when,
            (unsigned long)(elapsed / kMsPerSecond), (unsigned long)(elapsed % kMsPerSecond),
            MessageName(msg), (unsigned long)msg, ParamText("hDevice", hDevice, device),
            ParamText("dwParam1", p1, one), ParamText("dwParam2", p2, two),
            ParamText("dwParam3", p3, three));
}

// ---- The calls' handles ------------------------------------------------------------------------

static int FindCall(HCALL call) {
    for (int i = 0; i < g_watch.callCount; i++)
        if (g_watch.calls[i] == call)
            return i;
    return -1;
}

static void Deallocate(const char *indent, HCALL call) {
    char text[kResultTextSize];
    fprintf(g_watch.out, "%slineDeallocateCall(0x%08lX): %s\n", indent, (unsigned long)call,
            ResultText(lineDeallocateCall(call), text));
}

// A handle the service has given is held until its call goes idle.
static void KeepCall(HCALL call) {
    if (call == 0 || FindCall(call) >= 0)
        return;
    if (g_watch.callCount == kMaxWatchedCalls) {
        fprintf(g_watch.out, "%smore than %d calls at once: this one is let go at once\n", kIndent,
                kMaxWatchedCalls);
        Deallocate(kIndent, call);
        return;
    }
    g_watch.calls[g_watch.callCount++] = call;
}

static void ReleaseCall(HCALL call) {
    int i = FindCall(call);
    if (i < 0)
        return;
    Deallocate(kIndent, call);
    g_watch.calls[i] = g_watch.calls[--g_watch.callCount];
}

// ---- What each message says ------------------------------------------------------------------

// The state, with its mode where the state has one, and the privilege where it comes.
static void SayCallState(DWORD hDevice, DWORD_PTR p1, DWORD_PTR p2, DWORD_PTR p3) {
    static const struct {
        DWORD state;
        const FlagName *modes;
        size_t count;
    } kModes[] = {
        {LINECALLSTATE_OFFERING, kOfferingModes, COUNT_OF(kOfferingModes)},
        {LINECALLSTATE_CONNECTED, kConnectedModes, COUNT_OF(kConnectedModes)},
        {LINECALLSTATE_DISCONNECTED, kDisconnectModes, COUNT_OF(kDisconnectModes)},
    };
    char state[kFlagsTextSize], mode[kFlagsTextSize], privilege[kFlagsTextSize];
    mode[0] = privilege[0] = '\0';
    for (const auto &m : kModes) {
        if (m.state == p1) {
            snprintf(mode, sizeof mode, ", mode ");
            FlagsText((DWORD)p2, m.modes, m.count, mode + strlen(mode));
        }
    }
    if (p3) {
        snprintf(privilege, sizeof privilege, ", privilege ");
        FlagsText((DWORD)p3, kPrivileges, COUNT_OF(kPrivileges), privilege + strlen(privilege));
    }
    fprintf(g_watch.out, "%scall 0x%08lX: %s%s%s\n", kIndent, (unsigned long)hDevice,
            FlagsText((DWORD)p1, kCallStates, COUNT_OF(kCallStates), state), mode, privilege);
}

struct CallInfoRequest {
    HCALL call;
    RecordRequests requests;
};

static LONG FillCallInfo(void *block, void *context) {
    CallInfoRequest *request = (CallInfoRequest *)context;
    LONG result = lineGetCallInfoA(request->call, (LPLINECALLINFO)block);
    RecordRequests *asked = &request->requests;
    if (asked->count++ == 0) {
        asked->firstResult = result;
        asked->firstNeeded = ((const LINECALLINFO *)block)->dwNeededSize;
    }
    return result;
}

// A caller-ID text as the record holds it: its size and offset, and every byte of it.
static void SayDelivered(const char *label, const LINECALLINFO *info, DWORD blockSize, DWORD size,
                         DWORD offset) {
    char shown[kShownSize];
    if (size == 0)
        fprintf(g_watch.out, "%s%s none (size 0, offset %lu)\n", kIndent, label,
                (unsigned long)offset);
    else if (offset > blockSize || size > blockSize - offset)
        fprintf(g_watch.out, "%s%s %lu bytes at %lu, past the end of the record (%lu bytes)\n",
                kIndent, label, (unsigned long)size, (unsigned long)offset,
                (unsigned long)blockSize);
    else
        fprintf(g_watch.out, "%s%s %lu bytes at %lu: %s\n", kIndent, label, (unsigned long)size,
                (unsigned long)offset, QuotedBytes((const char *)info + offset, size, shown));
}

// The call information of a caller-ID message, then the caller as the program reads it.
static void SayCallerId(HCALL call, DWORD_PTR infoStates) {
    CallInfoRequest request;
    memset(&request, 0, sizeof request);
    request.call = call;
    request.requests.firstSize = kLineCallInfoFixedSize;
    void *block;
    DWORD size;
    LONG result = FetchRecord(kLineCallInfoFixedSize, CallInfoFixedSize(g_watch.version),
                              FillCallInfo, &request, &block, &size);
    if (!block) {
        fprintf(g_watch.out, "%scall information: no memory for the record\n", kIndent);
        return;
    }
    request.requests.lastSize = size;
    request.requests.lastResult = result;
    char asked[kFindingSize], flags[kFlagsTextSize];
    fprintf(g_watch.out, "%scall information: %s\n", kIndent,
            RequestsText(&request.requests, asked));
    if (result != 0) {
        free(block);
        return;
    }
    LINECALLINFO *info = (LINECALLINFO *)block;
    fprintf(g_watch.out, "%sdwCallerIDFlags = %s\n", kIndent,
            FlagsText(info->dwCallerIDFlags, kCallerIdFlags, COUNT_OF(kCallerIdFlags), flags));
    SayDelivered("number:", info, size, info->dwCallerIDSize, info->dwCallerIDOffset);
    SayDelivered("name:  ", info, size, info->dwCallerIDNameSize, info->dwCallerIDNameOffset);
    info->dwTotalSize = size; // the block, not what the service left in it, bounds the texts
    ReadCallerId(info);
    free(block);
    fprintf(g_watch.out, "%sas the program reads it%s:\n", kIndent,
            infoStates == LINECALLINFOSTATE_CALLERID
                ? ""
                : " (it acts on a dwParam1 of exactly 0x00008000 only, so not on this one)");
    SayCaller(g_watch.out, &g_watch.lists, kCallerIndent);
}

static void SayReply(DWORD_PTR p1, DWORD_PTR p2) {
    char outcome[kResultTextSize];
    fprintf(g_watch.out, "%srequest %ld: %s\n", kIndent, (long)(LONG)(DWORD)p1,
            p2 == 0 ? "0 (done)" : ResultText((LONG)(DWORD)p2, outcome));
}

static void CALLBACK OnLineMessage(DWORD hDevice, DWORD msg, DWORD_PTR, DWORD_PTR p1, DWORD_PTR p2,
                                   DWORD_PTR p3) {
    char text[kFlagsTextSize], more[kFlagsTextSize];
    g_watch.messages++;
    SayMessageLine(hDevice, msg, p1, p2, p3);
    switch (msg) {
    case LINE_APPNEWCALL:
        fprintf(g_watch.out, "%snew call 0x%08lX on address %lu, privilege %s\n", kIndent,
                (unsigned long)(DWORD)p2, (unsigned long)(DWORD)p1,
                FlagsText((DWORD)p3, kPrivileges, COUNT_OF(kPrivileges), text));
        KeepCall((HCALL)p2);
        break;
    case LINE_CALLSTATE:
        SayCallState(hDevice, p1, p2, p3);
        if (p3)
            KeepCall(hDevice);
        if (p1 == LINECALLSTATE_IDLE)
            ReleaseCall(hDevice);
        break;
    case LINE_CALLINFO:
        fprintf(g_watch.out, "%scall 0x%08lX: %s\n", kIndent, (unsigned long)hDevice,
                FlagsText((DWORD)p1, kCallInfoStates, COUNT_OF(kCallInfoStates), text));
        if (p1 & LINECALLINFOSTATE_CALLERID)
            SayCallerId(hDevice, p1);
        break;
    case LINE_REPLY:
        SayReply(p1, p2);
        break;
    case LINE_LINEDEVSTATE:
        fprintf(g_watch.out, "%sline: %s, dwParam2 %s, dwParam3 %lu\n", kIndent,
                FlagsText((DWORD)p1, kLineStates, COUNT_OF(kLineStates), text),
                FlagsText((DWORD)p2, NULL, 0, more), (unsigned long)(DWORD)p3);
        break;
    case LINE_CLOSE:
        fprintf(g_watch.out, "%sthe telephony system has closed the line\n", kIndent);
        g_watch.line = 0; // its handle is gone
        PostThreadMessageA(g_watch.thread, kStopMessage, kStopLineClosed, 0);
        break;
    default:
        break;
    }
    fflush(g_watch.out);
}

// Windows calls this on a thread of its own: it only asks the watching thread to stop.
static BOOL WINAPI OnConsoleCtrl(DWORD event) {
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT)
        return FALSE;
    PostThreadMessageA(g_watch.thread, kStopMessage, event, 0);
    return TRUE;
}

// ---- The line and the loop -----------------------------------------------------------------

// The device to watch: the one given, or the one discovery would open. 0 when found, else the
// exit code, having said why.
static int ChooseLine(DWORD requested, DWORD devices, DWORD highest, LineDeviceFacts *chosen,
                      FILE *err) {
    if (requested != kNoLine) {
        if (requested >= devices) {
            fprintf(err, "ringward-check: there is no line device %lu (the system has %lu)\n",
                    (unsigned long)requested, (unsigned long)devices);
            return kExitUsage;
        }
        DeviceVerdict verdict = ExamineLineDevice(g_watch.app, requested, highest, chosen);
        if (verdict != DEVICE_NEGOTIATION_FAILED)
            return 0;
        char text[kResultTextSize];
        fprintf(g_watch.out, "watching: device %lu agrees no version: %s\n",
                (unsigned long)requested, ResultText(chosen->negotiateResult, text));
        ReleaseLineDeviceFacts(chosen);
        return kExitNoModem;
    }
    for (DWORD id = 0; id < devices; id++) {
        DeviceJudgement judged;
        JudgeLineDevice(g_watch.app, id, highest, &judged);
        if (judged.verdict == DEVICE_CANDIDATE) {
            *chosen = judged.facts;
            chosen->keyPath = chosen->key + (judged.facts.keyPath - judged.facts.key);
            return 0;
        }
        ReleaseLineDeviceFacts(&judged.facts);
        if (EndsDiscovery(judged.verdict))
            break;
    }
    fprintf(g_watch.out, "watching: no line the program would use (ringward-check modem tells "
                         "why); --line N watches line device N\n");
    return kExitNoModem;
}

enum WatchEnd { END_CTRL_C, END_SECONDS, END_LINE_CLOSED, END_LOOP_FAILED };

static WatchEnd RunLoop(UINT_PTR timer) {
    MSG msg;
    for (;;) {
        BOOL got = GetMessageA(&msg, NULL, 0, 0);
        if (got == -1)
            return END_LOOP_FAILED;
        if (got == 0)
            return END_CTRL_C; // WM_QUIT: asked to end
        if (!msg.hwnd && msg.message == kStopMessage)
            return msg.wParam == kStopLineClosed ? END_LINE_CLOSED : END_CTRL_C;
        if (!msg.hwnd && msg.message == WM_TIMER && msg.wParam == timer && timer)
            return END_SECONDS;
        DispatchMessageA(&msg);
    }
}

static void SayEnd(WatchEnd end, DWORD seconds) {
    static const char *const kEnds[] = {"Ctrl-C", "", "the line was closed",
                                        "the message loop failed"};
    char why[kResultTextSize];
    if (end == END_SECONDS)
        snprintf(why, sizeof why, "%lu seconds", (unsigned long)seconds);
    else
        snprintf(why, sizeof why, "%s", kEnds[end]);
    fprintf(g_watch.out, "ended: %s, after %ld message%s\n", why, g_watch.messages,
            g_watch.messages == 1 ? "" : "s");
}

// The calls still held, then the line, then the telephony usage.
static void ReleaseAll(void) {
    char text[kResultTextSize];
    while (g_watch.callCount > 0)
        Deallocate("released: ", g_watch.calls[--g_watch.callCount]);
    if (g_watch.line)
        fprintf(g_watch.out, "released: lineClose: %s\n",
                ResultText(lineClose(g_watch.line), text));
    fprintf(g_watch.out, "released: lineShutdown: %s\n",
            ResultText(lineShutdown(g_watch.app), text));
}

// "Block.txt (3 entries)", or that it is missing.
static const char *ListSummary(const ListFile *list, char *out) {
    if (!list->present)
        snprintf(out, kResultTextSize, "%s (missing)", list->name);
    else
        snprintf(out, kResultTextSize, "%s (%d entr%s)", list->name, list->count,
                 list->count == 1 ? "y" : "ies");
    return out;
}

static void SayWatched(const LineDeviceFacts *facts, DWORD seconds) {
    char name[kShownSize], version[kResultTextSize], accept[kResultTextSize],
        block[kResultTextSize];
    fprintf(g_watch.out,
            "watching: device %lu %s at version %s, opened to monitor only: the watch never "
            "answers or drops a call\n",
            (unsigned long)facts->id, LineNameText(facts, name),
            VersionText(facts->version, version));
    if (seconds)
        fprintf(g_watch.out, "until:    %lu seconds have passed, or Ctrl-C\n",
                (unsigned long)seconds);
    else
        fprintf(g_watch.out, "until:    Ctrl-C\n");
    fprintf(g_watch.out, "lists:    %s and %s of this folder decide the callers\n",
            ListSummary(&g_watch.lists.accept, accept), ListSummary(&g_watch.lists.block, block));
}

// Opens the chosen line to monitor and runs the loop until the end; then releases everything.
static int Watch(const LineDeviceFacts *facts, DWORD seconds) {
    char text[kResultTextSize];
    g_watch.version = facts->version;
    LONG result = lineOpenA(g_watch.app, facts->id, &g_watch.line, facts->version, 0, 0,
                            LINECALLPRIVILEGE_MONITOR, 0, NULL);
    if (result != 0) {
        g_watch.line = 0;
        fprintf(g_watch.out, "watching: device %lu cannot be opened to monitor: %s\n",
                (unsigned long)facts->id, ResultText(result, text));
        ReleaseAll();
        return kExitNoModem;
    }
    // Ctrl-C is taken before the heading says it is.
    g_watch.thread = GetCurrentThreadId();
    SetConsoleCtrlHandler(OnConsoleCtrl, TRUE);
    SayWatched(facts, seconds);
    fflush(g_watch.out);
    g_watch.startTick = GetTickCount();
    UINT_PTR timer = seconds ? SetTimer(NULL, 0, seconds * kMsPerSecond, NULL) : 0;
    WatchEnd end = RunLoop(timer);
    if (timer)
        KillTimer(NULL, timer);
    SayEnd(end, seconds);
    ReleaseAll();
    SetConsoleCtrlHandler(OnConsoleCtrl, FALSE);
    return end == END_LOOP_FAILED ? kExitUsage : kExitClean;
}

int WatchLine(DWORD line, DWORD seconds, FILE *out, FILE *err) {
    memset(&g_watch, 0, sizeof g_watch);
    g_watch.out = out;
    PrintReportHeading(out, "watch");
    ReadLists("", &g_watch.lists, NULL);
    DWORD devices = 0, highest = 0;
    LONG result =
        InitializeTelephony(OnLineMessage, kCheckAppName, &g_watch.app, &devices, &highest);
    if (result != 0)
        return SayTelephonyUnusable(out, result);
    LineDeviceFacts facts;
    int chosen = ChooseLine(line, devices, highest, &facts, err);
    if (chosen != 0) {
        lineShutdown(g_watch.app);
        return chosen;
    }
    int code = Watch(&facts, seconds);
    ReleaseLineDeviceFacts(&facts);
    return code;
}
