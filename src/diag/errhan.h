// Result checks and failure reports: ErrHan judges a value against a condition code, and on
// failure appends a report to "EventLog.txt" and shows it in a message box. Also the report of
// an unhandled exception, and the writing of the two logs with the reports of their failures.
#ifndef RINGWARD_ERRHAN_H
#define RINGWARD_ERRHAN_H

#include "platform/platform.h"

// Condition codes: the ASCII letters of the name, the first letter in the highest byte used.
namespace cond {
enum : DWORD {
    F = 0x46,       // always fails
    I = 0x49,       // information report, no check
    Z = 0x5A,       // passes on 0
    ZU = 0x5A55,    // passes on 0; a failure leaves the value as it was
    NZ = 0x4E5A,    // passes on anything but 0
    NN = 0x4E4E,    // passes on 0 or more
    GT = 0x4754,    // passes above 0
    TF = 0x5446,    // passes on exactly 1
    ONE = 0x31,     // the code '1': passes on exactly 1
    NM1 = 0x4E4D31, // passes on anything but -1
};
}

extern const char kDisplayName[]; // "Ringward": in every report and every box caption

enum : int { kReportSize = 1024 }; // a report holds at most 1023 characters

// Judges *value by code. Returns 0 when the check passes (value set to 0) or after an
// information report; 1 after a failure report (value set to -1, except with ZU).
int ErrHan(LONG *value, DWORD code, const char *tag, const char *message);

// Reports an unhandled exception and lets the system's own handling follow.
LONG WINAPI TopLevelExceptionFilter(EXCEPTION_POINTERS *pointers);

// ---- The two logs -------------------------------------------------------------------------

enum LogFile { EVENT_LOG, CALLS_LOG };

extern const char kEventLogName[]; // "EventLog.txt"
extern const char kCallsLogName[]; // "Calls Received.txt"

enum : int { kLogEntrySize = kReportSize + 2 }; // the longest entry: a report and an empty line

#if defined(__GNUC__)
#define RW_PRINTF(f, a) __attribute__((format(printf, f, a)))
#else
#define RW_PRINTF(f, a)
#endif

// Appends one entry, formatted, to a log that is open (a closed one takes nothing), whole or
// not at all. The first failure of a log is noted under tag, to be reported by
// ReportLogFailures; once reported, that log's failures are silent until one of its writes
// succeeds again. 0, or -1 after a failure.
int WriteLogEntry(LogFile log, const char *tag, const char *format, ...) RW_PRINTF(3, 4);

// Reports each log failure noted since the last call, with the system error that the failed
// write left. The caller goes on: calls are still screened while their records are lost.
void ReportLogFailures(void);

#endif
