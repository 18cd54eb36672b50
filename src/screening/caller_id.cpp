// Caller identification and the screening decision: the caller-ID texts of a call-information
// record, number normalisation, prefix matching against the two lists, and the call record.
#include "screening/screening.h"

#include "common/state.h"
#include "diag/errhan.h"

#include <stdio.h>
#include <string.h>

static const char kNoNumber[] = "N";
static const char kNoName[] = "No CID Name";
const char kAnonMessageName[] = "AnonCallerMessage.wav";
const char kZapMessageName[] = "ZapMessage.wav";
static const char kLogCallTag[] = "LGC 300"; // the record could not be written

static int IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// A one-character number survives only as one of the special letters.
static void NormalizeSingle(char *text) {
    switch (text[0]) {
    case 'N':
    case 'O':
    case 'P':
        break;
    case 'o':
        text[0] = 'O';
        break;
    case 'p':
        text[0] = 'P';
        break;
    default:
        text[0] = '\0';
        break;
    }
}

void NormalizeNumber(char *text) {
    TrimWhitespace(text);
    if (strlen(text) < 2) {
        NormalizeSingle(text);
        return;
    }
    size_t kept = 0;
    for (const char *p = text; *p; p++) {
        if (IsDigit(*p))
            text[kept++] = *p;
    }
    text[kept] = '\0';
    if (kept == 11 && text[0] == '1') {
        memmove(text, text + 1, kept); // the NUL moves along
        kept--;
    }
    if (kept > kMaxNumberDigits)
        text[kMaxNumberDigits] = '\0';
}

// Copies the caller-ID text of size bytes at offset into out (kCallerTextSize bytes), stopping
// at a NUL. A text outside 1..255 bytes, or reaching past the record's end, is not delivered.
static bool CopyCallerText(const LINECALLINFO *record, DWORD size, DWORD offset, char *out) {
    DWORD extent = record->dwTotalSize;
    if (size < 1 || size >= (DWORD)kCallerTextSize)
        return false;
    if (offset > extent || size > extent - offset)
        return false;
    const char *text = (const char *)record + offset;
    DWORD len = 0;
    while (len < size && text[len] != '\0')
        len++;
    memcpy(out, text, len);
    out[len] = '\0';
    return true;
}

// The name is the caller's own text: commas would split the record's fields, and control bytes
// could break or forge its lines.
static void SanitizeName(char *name) {
    for (unsigned char *p = (unsigned char *)name; *p; p++) {
        if (*p == ',')
            *p = ';';
        else if (*p < 0x20 || *p == 0x7F)
            *p = ' ';
    }
}

void ReadCallerId(const LINECALLINFO *record) {
    strcpy(g_state.callerNumber, kNoNumber);
    strcpy(g_state.callerName, kNoName);
    CopyCallerText(record, record->dwCallerIDSize, record->dwCallerIDOffset, g_state.callerNumber);
    if (CopyCallerText(record, record->dwCallerIDNameSize, record->dwCallerIDNameOffset,
                       g_state.callerName))
        SanitizeName(g_state.callerName);
    NormalizeNumber(g_state.callerNumber);
    if (strcmp(g_state.callerNumber, kNoNumber) == 0) {
        if (strcmp(g_state.callerName, "P") == 0)
            strcpy(g_state.callerNumber, "P");
        else if (strcmp(g_state.callerName, "O") == 0)
            strcpy(g_state.callerNumber, "O");
    }
}

static bool StartsWith(const char *number, const char *prefix) {
    return strncmp(number, prefix, strlen(prefix)) == 0;
}

Verdict DecideCaller(int *entry) {
    for (int i = 0; i < g_state.acceptCount; i++) {
        if (StartsWith(g_state.callerNumber, g_state.acceptList[i])) {
            *entry = i;
            return VERDICT_ALLOWED;
        }
    }
    for (int i = 0; i < g_state.blockCount; i++) {
        if (StartsWith(g_state.callerNumber, g_state.blockList[i])) {
            *entry = i;
            return VERDICT_BLOCKED;
        }
    }
    *entry = -1;
    return VERDICT_ALLOWED;
}

Verdict ScreenCaller(void) {
    int entry;
    Verdict verdict = DecideCaller(&entry);
    if (verdict == VERDICT_BLOCKED)
        snprintf(g_state.messageFile, sizeof g_state.messageFile, "%s",
                 g_state.blockMessages[entry]);
    return verdict;
}

const char *MessageForBlockedCaller(void) {
    if (g_state.messageFile[0] != '\0')
        return g_state.messageFile;
    return strcmp(g_state.callerNumber, "P") == 0 ? kAnonMessageName : kZapMessageName;
}

// The digits of a number from position start on; an empty text once the number has ended, so
// that a short number shows blanks and nothing past its end is read.
static const char *Group(const char *number, size_t start) {
    return strlen(number) > start ? number + start : "";
}

void FormatCallTime(char *out) {
    __time64_t now = _time64(NULL);
    const struct tm *local = _localtime64(&now);
    if (!local || strftime(out, kCallTimeSize, "%m/%d/%Y %H:%M:%S", local) == 0)
        out[0] = '\0';
    out[kCallTimeSize - 1] = '\0';
}

void FormatCallRecord(char *out, size_t size, const char *timeText, const char *name,
                      const char *number, const char *decision) {
    const char *label = NULL;
    switch (number[0]) {
    case 'P':
        label = "Private";
        break;
    case 'O':
        label = "Out of area";
        break;
    case 'N':
        label = "No CID num";
        break;
    }
    if (label)
        snprintf(out, size, "%s,   %-16.16s,   %-10.10s,   %s\n", timeText, name, label, decision);
    else
        snprintf(out, size, "%s,   %-16.16s,   %3.3s-%3.3s-%4.4s,   %s\n", timeText, name,
                 Group(number, 0), Group(number, 3), Group(number, 6), decision);
}

void LogCall(const char *name, const char *number, const char *decision) {
    char timeText[kCallTimeSize];
    FormatCallTime(timeText);
    char record[kCallRecordSize];
    FormatCallRecord(record, sizeof record, timeText, name, number, decision);
    // A record that cannot be written is taken back and reported later, by the line callback.
    WriteLogEntry(CALLS_LOG, kLogCallTag, "%s", record);
}
