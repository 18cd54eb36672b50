// ringward-check [DIR]: the lists and messages of a folder, judged before a caller finds out.
// Line by line (list_lines.cpp), then the entries against each other the way ScreenCaller
// meets them (an accept entry first, then the first block entry that matches), then every
// message a blocked caller could hear, then one line of summary.
#include "check/check.h"

#include <string.h>

const char kPlayFailure[] = "a caller who should hear it ends the program (\"F - Error playing "
                            "zap message.\")";

enum : int { kSummarySize = 256 };

static int StartsWith(const char *number, const char *prefix) {
    return strncmp(number, prefix, strlen(prefix)) == 0;
}

// The first entry of the accept table, in table order, that makes entry i redundant (every
// number i lets through, it lets through already): the same entry earlier in the table, or a
// shorter prefix of it anywhere. -1 when there is none.
static int CoveringAccept(int i) {
    for (int j = 0; j < g_state.acceptCount; j++) {
        if (j == i)
            continue;
        int same = strcmp(g_state.acceptList[j], g_state.acceptList[i]) == 0;
        if ((same && j < i) || (!same && StartsWith(g_state.acceptList[i], g_state.acceptList[j])))
            return j;
    }
    return -1;
}

static void JudgeAcceptEntries(Findings *findings, const ListFile *list) {
    for (int i = 0; i < g_state.acceptCount; i++) {
        int j = CoveringAccept(i);
        if (j < 0)
            continue;
        const char *entry = g_state.acceptList[i], *other = g_state.acceptList[j];
        if (strcmp(entry, other) == 0)
            AddFinding(findings, IN_ACCEPT_LIST, list->name, list->entryLine[i],
                       "entry %s is a duplicate of line %d", entry, list->entryLine[j]);
        else
            AddFinding(findings, IN_ACCEPT_LIST, list->name, list->entryLine[i],
                       "entry %s changes nothing: line %d (entry %s) already lets every number "
                       "beginning with %s through",
                       entry, list->entryLine[j], other, other);
    }
}

// A block entry decides for some caller only if no accept entry and no earlier block entry is
// a prefix of it: the caller whose number is the entry itself then meets it first. Returns 1
// when entry i decides, else says why not.
static int JudgeBlockEntry(Findings *findings, const Lists *lists, int i) {
    const char *entry = g_state.blockList[i];
    int line = lists->block.entryLine[i];
    for (int j = 0; j < g_state.acceptCount; j++) {
        if (StartsWith(entry, g_state.acceptList[j])) {
            AddFinding(findings, IN_BLOCK_LIST, kBlockFileName, line,
                       "entry %s never blocks anyone: every caller it matches is let through by "
                       "Accept Always.txt:%d (entry %s)",
                       entry, lists->accept.entryLine[j], g_state.acceptList[j]);
            return 0;
        }
    }
    for (int j = 0; j < i; j++) {
        if (!StartsWith(entry, g_state.blockList[j]))
            continue;
        char message[kFindingSize] = "";
        const char *own = g_state.blockMessages[i];
        if (own[0] != '\0' && strcmp(own, g_state.blockMessages[j]) != 0) {
            char shown[kShownSize];
            snprintf(message, sizeof message, ", so its message %s never plays",
                     Quoted(own, shown));
        }
        if (strcmp(entry, g_state.blockList[j]) == 0)
            AddFinding(findings, IN_BLOCK_LIST, kBlockFileName, line,
                       "entry %s is a duplicate of line %d, which decides first%s", entry,
                       lists->block.entryLine[j], message);
        else
            AddFinding(findings, IN_BLOCK_LIST, kBlockFileName, line,
                       "entry %s never decides: line %d (entry %s) comes first and matches every "
                       "number it matches%s",
                       entry, lists->block.entryLine[j], g_state.blockList[j], message);
        return 0;
    }
    return 1;
}

// What the block entries that decide for some caller play: their own messages, and which of
// the two standard ones.
struct MessageUse {
    int decides[kListSlots];
    int zap;
    int anon;
};

static void JudgeBlockEntries(Findings *findings, const Lists *lists, MessageUse *use) {
    memset(use, 0, sizeof *use);
    for (int i = 0; i < g_state.blockCount; i++) {
        use->decides[i] = JudgeBlockEntry(findings, lists, i);
        if (!use->decides[i] || g_state.blockMessages[i][0] != '\0')
            continue;
        if (strcmp(g_state.blockList[i], "P") == 0)
            use->anon = 1;
        else
            use->zap = 1;
    }
}

// The messages of entries that decide, each once, at the first line naming it; the standard
// ones are judged on their own. Returns how many.
static int JudgeNamedMessages(Findings *findings, const char *dir, const Lists *lists,
                              const MessageUse *use) {
    int checked = 0;
    for (int i = 0; i < g_state.blockCount; i++) {
        const char *name = g_state.blockMessages[i];
        int seen = !use->decides[i] || name[0] == '\0' || strcmp(name, kZapMessageName) == 0 ||
                   strcmp(name, kAnonMessageName) == 0;
        for (int j = 0; j < i && !seen; j++)
            seen = use->decides[j] && strcmp(g_state.blockMessages[j], name) == 0;
        if (seen)
            continue;
        checked++;
        char words[kFindingSize], shown[kShownSize];
        int fatal;
        const char *problem = MessageProblem(dir, name, words, &fatal);
        if (problem)
            AddFinding(findings, IN_BLOCK_LIST, kBlockFileName, lists->block.entryLine[i],
                       "message %s %s%s%s", Quoted(name, shown), problem, fatal ? ": " : "",
                       fatal ? kPlayFailure : "");
    }
    return checked;
}

static void JudgeStandardMessage(Findings *findings, const char *dir, const char *name,
                                 const char *who, int used) {
    char words[kFindingSize];
    int fatal;
    const char *problem = MessageProblem(dir, name, words, &fatal);
    if (problem)
        AddFinding(findings, IN_MESSAGES, name, 0, "%s%s%s; it plays to %s%s", problem,
                   fatal ? ": " : "", fatal ? kPlayFailure : "", who,
                   used ? "" : " (no entry of Block.txt needs it now)");
}

static void SayListCount(char *out, size_t size, const ListFile *list, int withMessages) {
    size_t used = strlen(out);
    if (!list->present) {
        snprintf(out + used, size - used, "%s (missing)", list->name);
        return;
    }
    used += snprintf(out + used, size - used, "%s (%d entr%s", list->name, list->count,
                     list->count == 1 ? "y" : "ies");
    if (list->kind == LIST_BLOCK)
        used += snprintf(out + used, size - used, ", %d with a message of its own", withMessages);
    snprintf(out + used, size - used, ")");
}

int CheckFolder(const char *dir, FILE *out) {
    Findings *findings = NewFindings(out);
    if (!findings) {
        fprintf(out, "ringward-check: out of memory\n");
        return kExitUsage;
    }
    Lists lists;
    ReadLists(dir, &lists, findings);
    if (!lists.accept.present)
        AddNote(findings, IN_ACCEPT_LIST, kAcceptFileName, 0,
                "missing: no caller is let through for sure (the program starts without it)");
    if (!lists.block.present)
        AddFinding(findings, IN_BLOCK_LIST, kBlockFileName, 0,
                   "missing: the program reports \"F - Error opening Block.txt file.\" and ends "
                   "at start-up");
    JudgeAcceptEntries(findings, &lists.accept);
    MessageUse use;
    JudgeBlockEntries(findings, &lists, &use);
    int messages = JudgeNamedMessages(findings, dir, &lists, &use);
    JudgeStandardMessage(findings, dir, kZapMessageName,
                         "blocked callers whose entry names no message of its own", use.zap);
    JudgeStandardMessage(findings, dir, kAnonMessageName,
                         "blocked private callers whose entry names no message of its own",
                         use.anon);
    messages += 2;

    int withMessages = 0;
    for (int i = 0; i < g_state.blockCount; i++)
        withMessages += g_state.blockMessages[i][0] != '\0';
    int notes;
    int count = PrintFindings(findings, out, &notes);
    char summary[kSummarySize] = "checked ";
    SayListCount(summary, sizeof summary, &lists.accept, 0);
    strcat(summary, ", ");
    SayListCount(summary, sizeof summary, &lists.block, withMessages);
    size_t used = strlen(summary);
    used += snprintf(summary + used, sizeof summary - used, " and %d messages: ", messages);
    if (count == 0)
        used += snprintf(summary + used, sizeof summary - used, "no findings");
    else
        used += snprintf(summary + used, sizeof summary - used, "%d finding%s", count,
                         count == 1 ? "" : "s");
    if (notes > 0)
        snprintf(summary + used, sizeof summary - used, ", %d note%s", notes,
                 notes == 1 ? "" : "s");
    fprintf(out, "%s\n", summary);
    return count > 0 ? kExitFindings : kExitClean;
}
