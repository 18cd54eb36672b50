// Loading of the number lists, "Accept Always.txt" and "Block.txt", into the fixed tables of
// the state record, once at start-up. The reading itself (line pieces, comments, the "@",
// NormalizeNumber, the limits) is the list reader's; here are the tables, the limit messages
// and the report of a missing "Block.txt".
#include "lists/lists.h"

#include "common/state.h"
#include "diag/errhan.h"
#include "lists/list_reader.h"
#include "screening/screening.h"

#include <stdio.h>
#include <string.h>

const char kAcceptFileName[] = "Accept Always.txt";
const char kBlockFileName[] = "Block.txt";
const char kAcceptLimitFormat[] = "Limit of %d numbers to accept reached.  Continuing.";
const char kBlockLimitFormat[] = "Limit of %d numbers to block reached.  Continuing.";
static const UINT kLimitBoxStyle = MB_ICONERROR | MB_SETFOREGROUND;

enum : int { kLimitTextSize = 80 };

// The limit message is the main dialog's own box, not a failure report: no log line.
static void ShowLimitMessage(const char *format) {
    char text[kLimitTextSize];
    snprintf(text, sizeof text, format, (int)kListSlots);
    MessageBoxA(g_state.mainWindow, text, kDisplayName, kLimitBoxStyle);
}

// Reads the pieces the program reads into the list's table: entries, and beside them the
// message names when messages is not null, counting them in *count as they come. Shows the
// limit message when the table fills.
static void FillList(FILE **file, ListKind kind, char (*entries)[kEntrySize],
                     char (*messages)[kMessageNameSize], int *count, const char *limitFormat) {
    ListReader reader;
    ListLine line;
    *count = 0;
    StartListReader(&reader, *file, kind);
    while (ListReaderStop(&reader) == LIST_READING && ReadListLine(&reader, &line)) {
        if (line.kind != LIST_LINE_ENTRY)
            continue;
        StoreListEntry(&line, entries, messages, count);
    }
    if (ListReaderStop(&reader) == LIST_STOP_ENTRIES)
        ShowLimitMessage(limitFormat);
    fclose(*file);
    *file = NULL;
}

void LoadAcceptList(void) {
    g_state.acceptFile = fopen(kAcceptFileName, "rb");
    if (!g_state.acceptFile)
        return;
    FillList(&g_state.acceptFile, LIST_ACCEPT, g_state.acceptList, NULL, &g_state.acceptCount,
             kAcceptLimitFormat);
}

int LoadBlockList(void) {
    g_state.blockFile = fopen(kBlockFileName, "rb");
    if (!g_state.blockFile) {
        LONG value = 0;
        ErrHan(&value, cond::F, "OID 300", "F - Error opening Block.txt file.");
        return -1;
    }
    FillList(&g_state.blockFile, LIST_BLOCK, g_state.blockList, g_state.blockMessages,
             &g_state.blockCount, kBlockLimitFormat);
    return 0;
}

void ParseBlockEntry(char *line, char *messageName) {
    messageName[0] = '\0';
    TrimWhitespace(line);
    const char *message = SplitMessagePart(line);
    if (message)
        CopyCut(messageName, kMessageNameSize, message);
    NormalizeNumber(line);
}
