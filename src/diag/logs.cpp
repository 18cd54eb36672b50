// Writing the two logs, "EventLog.txt" and "Calls Received.txt": each entry whole or absent,
// and a failed write reported once, when the caller is ready for a box, rather than lost
// without a word.
#include "diag/errhan.h"

#include "common/state.h"

#include <stdarg.h>
#include <stdio.h>

const char kEventLogName[] = "EventLog.txt";
const char kCallsLogName[] = "Calls Received.txt";

static const char *const kWriteMessages[] = {
    "W - Error writing EventLog.txt.",       // EVENT_LOG
    "W - Error writing Calls Received.txt.", // CALLS_LOG
};

static FILE *StreamOf(LogFile log) {
    return log == EVENT_LOG ? g_state.eventLog : g_state.callsLog;
}

static LogWrites *WritesOf(LogFile log) {
    return log == EVENT_LOG ? &g_state.eventLogWrites : &g_state.callsLogWrites;
}

int WriteLogEntry(LogFile log, const char *tag, const char *format, ...) {
    FILE *stream = StreamOf(log);
    if (!stream)
        return 0;
    char entry[kLogEntrySize];
    va_list args;
    va_start(args, format);
    vsnprintf(entry, sizeof entry, format, args);
    va_end(args);

    LogWrites *writes = WritesOf(log);
    if (PlatformAppendEntry(stream, entry) == 0) {
        writes->reported = 0;
        return 0;
    }
    // The report may have to wait (no box between an answer and its judgement): keep what it
    // shows.
    if (!writes->reported && !writes->pendingTag) {
        writes->pendingTag = tag;
        writes->pendingError = GetLastError();
    }
    return -1;
}

void ReportLogFailures(void) {
    for (int log = EVENT_LOG; log <= CALLS_LOG; log++) {
        LogWrites *writes = WritesOf((LogFile)log);
        if (!writes->pendingTag)
            continue;
        const char *tag = writes->pendingTag;
        writes->pendingTag = NULL;
        writes->reported = 1; // before the box, whose message loop may write again
        SetLastError(writes->pendingError);
        LONG value = -1;
        ErrHan(&value, cond::Z, tag, kWriteMessages[log]);
    }
}
