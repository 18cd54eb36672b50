// ShutdownAndExit: the one orderly way out. Call before line, line before the telephony usage,
// and the event log last, so that the reports of the release steps still reach it.
#include "screening/screening.h"

#include "common/state.h"
#include "diag/errhan.h"

#include <stdio.h>
#include <stdlib.h>

static const DWORD kDropSettleMs = 1000; // lets the drop take effect before the release

static void CloseLog(FILE **log) {
    if (*log) {
        fclose(*log);
        *log = NULL;
    }
}

void ShutdownAndExit(void) {
    // A report's message box can run the line callback, which may come here again.
    if (g_state.shutdownStarted)
        return;
    g_state.shutdownStarted = 1;

    LONG result;
    if (g_state.hCall != 0) {
        result = lineDrop(g_state.hCall, NULL, 0);
        Sleep(kDropSettleMs);
        ErrHan(&result, cond::NN, "SHU 300", "S - Error hanging up line.");
        result = lineDeallocateCall(g_state.hCall);
        g_state.hCall = 0;
        ErrHan(&result, cond::Z, "SHU 320", "S - Error deallocating call.");
    }
    if (g_state.hLine != 0) {
        result = lineClose(g_state.hLine);
        g_state.hLine = 0;
        ErrHan(&result, cond::Z, "SHU 340", "W - Error closing device.");
    }
    if (g_state.hLineApp != 0) {
        result = lineShutdown(g_state.hLineApp);
        g_state.hLineApp = 0;
        ErrHan(&result, cond::Z, "SHU 360", "W - Error shutting down device.");
    }
    CloseLog(&g_state.callsLog);
    CloseLog(&g_state.eventLog);
    exit(0);
}
