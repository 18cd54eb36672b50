// ErrHan: the one judge of results, and the writer of failure and information reports.
#include "diag/errhan.h"

#include "common/state.h"

#include <stdio.h>
#include <string.h>

const char kDisplayName[] = "Ringward";

static const UINT kReportBoxStyle = MB_ICONERROR | MB_SETFOREGROUND;
static const size_t kLongMessage = 12; // from this length an unknown code replaces the message

// Does value meet code? An unlisted code never does, and I has nothing to meet.
static bool CheckPasses(DWORD code, LONG value) {
    switch (code) {
    case cond::Z:
    case cond::ZU:
        return value == 0;
    case cond::NZ:
        return value != 0;
    case cond::NN:
        return value >= 0;
    case cond::GT:
        return value > 0;
    case cond::TF:
    case cond::ONE:
        return value == 1;
    case cond::NM1:
        return value != -1;
    default:
        return false; // F, and every code the checker does not know
    }
}

static bool IsKnownCode(DWORD code) {
    switch (code) {
    case cond::F:
    case cond::I:
    case cond::Z:
    case cond::ZU:
    case cond::NZ:
    case cond::NN:
    case cond::GT:
    case cond::TF:
    case cond::ONE:
    case cond::NM1:
        return true;
    default:
        return false;
    }
}

// A report whose own entry cannot be written is still shown: the box is all the user gets, and
// no second report follows.
static void WriteReport(const char *text) {
    if (g_state.eventLog) {
        char entry[kLogEntrySize];
        snprintf(entry, sizeof entry, "%s\n\n", text);
        PlatformAppendEntry(g_state.eventLog, entry);
    }
    MessageBoxA(NULL, text, kDisplayName, kReportBoxStyle);
}

int ErrHan(LONG *value, DWORD code, const char *tag, const char *message) {
    LONG original = value ? *value : 0;
    if (code != cond::I && CheckPasses(code, original)) {
        if (value)
            *value = 0;
        return 0;
    }
    if (!tag)
        tag = "";
    if (!message)
        message = "";

    char unknownCode[32];
    if (!IsKnownCode(code) && strlen(message) >= kLongMessage) {
        snprintf(unknownCode, sizeof unknownCode, "ERRHAN:%X", (unsigned)code);
        message = unknownCode;
    }

    __time64_t now = _time64(NULL);
    const char *timeText = _ctime64(&now);
    if (!timeText)
        timeText = "";

    char report[kReportSize];
    if (code == cond::I) {
        snprintf(report, sizeof report, "%s%s: %s", timeText, kDisplayName, message);
    } else {
        int lastError = (int)GetLastError();
        snprintf(report, sizeof report, "%s%s: %d, %s: %s\nGLE = %d", timeText, kDisplayName,
                 (int)original, tag, message, lastError);
    }
    WriteReport(report);

    if (code == cond::I)
        return 0;
    if (code != cond::ZU && value)
        *value = -1;
    return 1;
}
