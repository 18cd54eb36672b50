// ringward-check replay [LOG]: every logged call decided again by the screening decision on the
// lists of the current folder as they are now, and each call whose verdict would change, with
// the entry that now decides: the what-if after editing a list.
#include "check/check.h"

#include <string.h>

enum : int { kLoggedDigits = 10 }; // the record shows the first ten characters of a number

// Whether a number the log cut to its ten digits might have met an entry longer than that.
static int CutMayMatter(const char *number) {
    if (strlen(number) != (size_t)kLoggedDigits)
        return 0;
    for (int i = 0; i < g_state.acceptCount; i++)
        if (strlen(g_state.acceptList[i]) > (size_t)kLoggedDigits &&
            strncmp(g_state.acceptList[i], number, kLoggedDigits) == 0)
            return 1;
    for (int i = 0; i < g_state.blockCount; i++)
        if (strlen(g_state.blockList[i]) > (size_t)kLoggedDigits &&
            strncmp(g_state.blockList[i], number, kLoggedDigits) == 0)
            return 1;
    return 0;
}

static void SayChange(FILE *out, const char *logName, const CallRecord *call, const Lists *lists,
                      Verdict now, int entry) {
    char name[kLoggedNameSize], shown[kShownSize];
    memcpy(name, call->name, sizeof name);
    TrimWhitespace(name); // the log fills it to 16
    fprintf(out, "%s:%d: %s  %-12s  %s  %s, now %s", logName, call->line, call->time, call->shown,
            Quoted(name, shown), call->blocked ? "Blocked" : "Allowed",
            now == VERDICT_BLOCKED ? "Blocked" : "Allowed");
    if (entry < 0)
        fprintf(out, ": no entry matches");
    else if (now == VERDICT_ALLOWED)
        fprintf(out, " by %s:%d (entry %s)", lists->accept.name, lists->accept.entryLine[entry],
                g_state.acceptList[entry]);
    else
        fprintf(out, " by %s:%d (entry %s)", lists->block.name, lists->block.entryLine[entry],
                g_state.blockList[entry]);
    fprintf(out, "%s\n",
            CutMayMatter(call->number) ? " (uncertain: an entry longer than the ten digits the "
                                         "log keeps may match)"
                                       : "");
}

int ReplayLog(const char *logPath, FILE *out, FILE *err) {
    CallLog log;
    if (!OpenCallLog(&log, logPath)) {
        fprintf(err, "ringward-check: cannot read %s\n", logPath);
        return kExitUsage;
    }
    Lists lists;
    ReadLists("", &lists, NULL);
    int calls = 0, nowAllowed = 0, nowBlocked = 0;
    CallRecord call;
    while (ReadCallRecord(&log, &call)) {
        calls++;
        snprintf(g_state.callerNumber, sizeof g_state.callerNumber, "%s", call.number);
        int entry;
        Verdict now = DecideCaller(&entry);
        if ((now == VERDICT_BLOCKED) == call.blocked)
            continue;
        if (now == VERDICT_BLOCKED)
            nowBlocked++;
        else
            nowAllowed++;
        SayChange(out, logPath, &call, &lists, now, entry);
    }
    CloseCallLog(&log);

    int changed = nowAllowed + nowBlocked;
    fprintf(out, "replayed %d call%s of %s against the lists as they are now: ", calls,
            calls == 1 ? "" : "s", logPath);
    if (changed == 0)
        fprintf(out, "none would be decided otherwise");
    else
        fprintf(out, "%d would be decided otherwise (%d now allowed, %d now blocked)", changed,
                nowAllowed, nowBlocked);
    if (log.unreadable > 0)
        fprintf(out, "; %d line%s could not be read as records", log.unreadable,
                log.unreadable == 1 ? "" : "s");
    fprintf(out, "\nThe log keeps only the first ten digits of a number, 16 characters of a name "
                 "and not which entry decided: each call is decided again on what it keeps.\n");
    if (!lists.block.present)
        fprintf(out, "note: Block.txt is missing: the program does not start without it\n");
    return changed > 0 || log.unreadable > 0 ? kExitFindings : kExitClean;
}
