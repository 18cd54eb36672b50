// Loading of the number lists, "Accept Always.txt" and "Block.txt", into the fixed tables of
// the state record, once at start-up. Every entry goes through NormalizeNumber so that entries
// and callers' numbers share one form.
#include "lists/lists.h"

#include "common/state.h"
#include "diag/errhan.h"
#include "screening/screening.h"

#include <stdio.h>
#include <string.h>

static const char kAcceptFileName[] = "Accept Always.txt";
static const char kBlockFileName[] = "Block.txt";
static const char kAcceptLimitFormat[] = "Limit of %d numbers to accept reached.  Continuing.";
static const char kBlockLimitFormat[] = "Limit of %d numbers to block reached.  Continuing.";
static const UINT kLimitBoxStyle = MB_ICONERROR | MB_SETFOREGROUND;

enum : int {
    kLineBufferSize = 134, // one read returns at most 133 characters
    kMaxBlockLines = 200,  // lines of "Block.txt" read in all, whatever they hold
    kLimitTextSize = 80,
};

static int IsComment(const char *line) {
    return line[0] == '/' && line[1] == '/';
}

// Copies text into a slot of size bytes, cutting it to size - 1 characters.
static void CopyCut(char *slot, size_t size, const char *text) {
    size_t length = strnlen(text, size - 1);
    memcpy(slot, text, length);
    slot[length] = '\0';
}

// The limit message is the main dialog's own box, not a failure report: no log line.
static void ShowLimitMessage(const char *format) {
    char text[kLimitTextSize];
    snprintf(text, sizeof text, format, (int)kListSlots);
    MessageBoxA(g_state.mainWindow, text, kDisplayName, kLimitBoxStyle);
}

static void CloseListFile(FILE **file) {
    fclose(*file);
    *file = NULL;
}

void LoadAcceptList(void) {
    g_state.acceptFile = fopen(kAcceptFileName, "rb");
    if (!g_state.acceptFile)
        return;
    g_state.acceptCount = 0;

    char line[kLineBufferSize];
    while (fgets(line, sizeof line, g_state.acceptFile)) {
        TrimWhitespace(line);
        if (IsComment(line))
            continue;
        NormalizeNumber(line);
        if (line[0] == '\0')
            continue;
        CopyCut(g_state.acceptList[g_state.acceptCount], kEntrySize, line);
        g_state.acceptCount++;
        if (g_state.acceptCount == kListSlots) {
            ShowLimitMessage(kAcceptLimitFormat);
            break;
        }
    }
    CloseListFile(&g_state.acceptFile);
}

// Stores a parsed entry in the next block slot. Returns 1 when the table is now full.
static int AddBlockEntry(const char *number, const char *messageName) {
    CopyCut(g_state.blockList[g_state.blockCount], kEntrySize, number);
    CopyCut(g_state.blockMessages[g_state.blockCount], kMessageNameSize, messageName);
    g_state.blockCount++;
    return g_state.blockCount == kListSlots;
}

int LoadBlockList(void) {
    g_state.blockFile = fopen(kBlockFileName, "rb");
    if (!g_state.blockFile) {
        LONG value = 0;
        ErrHan(&value, cond::F, "OID 300", "F - Error opening Block.txt file.");
        return -1;
    }
    g_state.blockCount = 0;

    char line[kLineBufferSize];
    char messageName[kMessageNameSize];
    for (int linesRead = 0; linesRead < kMaxBlockLines; linesRead++) {
        if (!fgets(line, sizeof line, g_state.blockFile))
            break;
        TrimWhitespace(line);
        if (IsComment(line))
            continue;
        ParseBlockEntry(line, messageName);
        if (line[0] == '\0')
            continue;
        if (AddBlockEntry(line, messageName)) {
            ShowLimitMessage(kBlockLimitFormat);
            break;
        }
    }
    CloseListFile(&g_state.blockFile);
    return 0;
}

void ParseBlockEntry(char *line, char *messageName) {
    messageName[0] = '\0';
    TrimWhitespace(line);
    char *at = strchr(line, '@');
    if (at) {
        *at = '\0';
        TrimWhitespace(line);
        CopyCut(messageName, kMessageNameSize, TrimWhitespace(at + 1));
    }
    NormalizeNumber(line);
}
