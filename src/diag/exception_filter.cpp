// The process-wide filter for an unhandled exception: two reports, then the system's own
// handling. It releases nothing; the reports are already flushed to the event log.
#include "diag/errhan.h"

#include <stdint.h>
#include <stdio.h>

enum : int { kExceptionTextSize = 256 };

LONG WINAPI TopLevelExceptionFilter(EXCEPTION_POINTERS *pointers) {
    const EXCEPTION_RECORD *record = pointers ? pointers->ExceptionRecord : NULL;
    unsigned code = record ? (unsigned)record->ExceptionCode : 0;
    unsigned flags = record ? (unsigned)record->ExceptionFlags : 0;
    unsigned long long address =
        record ? (unsigned long long)(uintptr_t)record->ExceptionAddress : 0;

    char message[kExceptionTextSize];
    snprintf(message, sizeof message, "%s%s%X%s%X%s%llX", "F - Unhandled exception occurred.",
             "\nCode: 0x", code, "\nFlags: 0x", flags, "\nAddress: 0x", address);

    LONG value = 0;
    ErrHan(&value, cond::F, "UXX 300", message);
    ErrHan(NULL, cond::I, "", "UXX 320: I - Exiting Dunmere");
    return EXCEPTION_CONTINUE_SEARCH;
}
