// ringward-check number TEXT [--name NAME]: one caller as the program would meet it. The texts
// go into a call-information record as the modem's driver delivers them, ReadCallerId reads
// them, the screening decision decides on the lists of the current folder, and the call record
// is formatted as LogCall would write it now.
#include "check/check.h"

#include <stdlib.h>
#include <string.h>

// Puts text, with its NUL, at *offset of the record, and its size and offset into the fields.
static void PutCallerText(char *record, DWORD *offset, const char *text, DWORD *sizeField,
                          DWORD *offsetField) {
    DWORD size = (DWORD)strlen(text) + 1;
    memcpy(record + *offset, text, size);
    *sizeField = size;
    *offsetField = *offset;
    *offset += size;
}

// Sets callerNumber and callerName as ReadCallerId does from a record carrying text and name
// (null: no name delivered). 0 when there is no memory for the record.
static int ReadCaller(const char *text, const char *name) {
    DWORD size = kLineCallInfoFixedSize + (DWORD)strlen(text) + 1 + (name ? strlen(name) + 1 : 0);
    char *record = (char *)calloc(size, 1);
    if (!record)
        return 0;
    LINECALLINFO *info = (LINECALLINFO *)record;
    info->dwTotalSize = size;
    DWORD offset = kLineCallInfoFixedSize;
    PutCallerText(record, &offset, text, &info->dwCallerIDSize, &info->dwCallerIDOffset);
    if (name)
        PutCallerText(record, &offset, name, &info->dwCallerIDNameSize,
                      &info->dwCallerIDNameOffset);
    ReadCallerId(info);
    free(record);
    return 1;
}

static void SayVerdict(FILE *out, const Lists *lists, const char *indent, Verdict verdict,
                       int entry) {
    if (entry < 0) {
        fprintf(out, "%sverdict:  Allowed: no entry matches\n", indent);
        return;
    }
    const ListFile *list = verdict == VERDICT_ALLOWED ? &lists->accept : &lists->block;
    const char *value =
        verdict == VERDICT_ALLOWED ? g_state.acceptList[entry] : g_state.blockList[entry];
    fprintf(out, "%sverdict:  %s by %s:%d (entry %s)\n", indent,
            verdict == VERDICT_ALLOWED ? "Allowed" : "Blocked", list->name, list->entryLine[entry],
            value);
}

static void SayMessage(FILE *out, const char *indent, Verdict verdict) {
    if (verdict == VERDICT_ALLOWED) {
        fprintf(out, "%smessage:  none: the call rings through\n", indent);
        return;
    }
    const char *message = MessageForBlockedCaller();
    char shown[kShownSize], words[kFindingSize];
    int fatal;
    const char *problem = MessageProblem("", message, words, &fatal);
    fprintf(out, "%smessage:  %s%s%s%s%s\n", indent, Quoted(message, shown),
            problem ? ", which " : "", problem ? problem : "", problem && fatal ? ": " : "",
            problem && fatal ? kPlayFailure : "");
}

void SayCaller(FILE *out, const Lists *lists, const char *indent) {
    char shown[kShownSize];
    if (g_state.callerNumber[0] == '\0')
        fprintf(out, "%snumber:   none: nothing usable was delivered\n", indent);
    else
        fprintf(out, "%snumber:   %s\n", indent, g_state.callerNumber);
    fprintf(out, "%sname:     %s\n", indent, Quoted(g_state.callerName, shown));
    int entry;
    Verdict verdict = DecideCaller(&entry);
    ScreenCaller(); // the program's own step: it chooses the message
    SayVerdict(out, lists, indent, verdict, entry);
    SayMessage(out, indent, verdict);

    char timeText[kCallTimeSize], record[kCallRecordSize];
    FormatCallTime(timeText);
    FormatCallRecord(record, sizeof record, timeText, g_state.callerName, g_state.callerNumber,
                     verdict == VERDICT_ALLOWED ? "Allowed" : "Blocked");
    fprintf(out, "%srecord:   %s", indent, record);
}

int CheckNumber(const char *text, const char *name, FILE *out) {
    Lists lists;
    ReadLists("", &lists, NULL);
    if (!ReadCaller(text, name)) {
        fprintf(out, "ringward-check: out of memory\n");
        return kExitUsage;
    }
    SayCaller(out, &lists, "");
    if (strlen(text) + 1 >= (size_t)kCallerTextSize)
        fprintf(out, "note: a number of more than 254 characters is taken for none\n");
    if (name && strlen(name) + 1 >= (size_t)kCallerTextSize)
        fprintf(out, "note: a name of more than 254 characters is taken for none\n");
    if (!lists.block.present)
        fprintf(out, "note: Block.txt is missing: the program does not start without it\n");
    return kExitClean;
}
