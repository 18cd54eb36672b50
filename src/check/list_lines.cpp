// The lists as the program reads them: both files through the list reader into the state
// record's tables, and, for the check, what every line read becomes when that is not what it
// seems to say: lines that give no entry, digits that count although they look like a comment,
// letters, lost or kept leading 1s, long lines read in pieces, cut message names, the lines past
// the limits, and files saved as UTF-16, with a byte-order mark or with NUL bytes.
#include "check/check.h"

#include <string.h>

enum : int {
    kSniffSize = 512,         // bytes looked at to tell how a file was saved
    kEntriesNamed = 3,        // entries named in the finding on a UTF-16 file
    kElevenDigits = 11,       // a number with its leading 1, which NormalizeNumber drops
    kByteOrderMarkLength = 3, // EF BB BF
};

enum Encoding { ENCODING_BYTES, ENCODING_UTF8_BOM, ENCODING_UTF16_LE, ENCODING_UTF16_BE };

// What judging the lines of one file needs to remember from line to line.
struct LineJudge {
    Findings *findings;
    const ListFile *list;
    Encoding encoding;
    int longLineSaid; // the line whose pieces were last reported
};

static FindingFile WhereOf(const ListFile *list) {
    return list->kind == LIST_ACCEPT ? IN_ACCEPT_LIST : IN_BLOCK_LIST;
}

static int IsDigit(char c) {
    return c >= '0' && c <= '9';
}

static int HasLetter(const char *text) {
    for (; *text; text++)
        if ((*text >= 'a' && *text <= 'z') || (*text >= 'A' && *text <= 'Z'))
            return 1;
    return 0;
}

static int CountDigits(const char *text) {
    int digits = 0;
    for (; *text; text++)
        digits += IsDigit(*text);
    return digits;
}

static char FirstDigit(const char *text) {
    while (*text && !IsDigit(*text))
        text++;
    return *text;
}

// How the file was saved, from its first bytes; the file is left at its start.
static Encoding SniffEncoding(FILE *file) {
    unsigned char head[kSniffSize];
    size_t n = fread(head, 1, sizeof head, file);
    rewind(file);
    if (n >= 2 && head[0] == 0xFF && head[1] == 0xFE)
        return ENCODING_UTF16_LE;
    if (n >= 2 && head[0] == 0xFE && head[1] == 0xFF)
        return ENCODING_UTF16_BE;
    if (n >= 3 && head[0] == 0xEF && head[1] == 0xBB && head[2] == 0xBF)
        return ENCODING_UTF8_BOM;
    // Without a mark: text in UTF-16 has a NUL in every other byte.
    size_t highZero = 0, lowZero = 0;
    for (size_t i = 0; i + 1 < n; i += 2) {
        highZero += head[i] != 0 && head[i + 1] == 0;
        lowZero += head[i] == 0 && head[i + 1] != 0;
    }
    if (n >= 4 && highZero * 4 >= n)
        return ENCODING_UTF16_LE;
    if (n >= 4 && lowZero * 4 >= n)
        return ENCODING_UTF16_BE;
    return ENCODING_BYTES;
}

// One finding on the line, in words already put together.
static void Say(const LineJudge *judge, const ListLine *line, const char *text) {
    AddFinding(judge->findings, WhereOf(judge->list), judge->list->name, line->lineNumber, "%s",
               text);
}

static void Mention(const LineJudge *judge, const ListLine *line, const char *text) {
    AddNote(judge->findings, WhereOf(judge->list), judge->list->name, line->lineNumber, "%s", text);
}

// A line that gives no entry, and why.
static void JudgeDropped(const LineJudge *judge, const ListLine *line) {
    char shown[kShownSize];
    const char *part = line->numberPart;
    const char *why;
    if (part[0] == '\0')
        why = "there is no number before the \"@\"";
    else if (part[1] == '\0' && part[0] == 'n')
        why = "a lone n is dropped (N, a capital, stands for callers without a number)";
    else if (part[1] == '\0' && IsDigit(part[0]))
        why = "a single digit is dropped";
    else if (part[1] == '\0')
        why = "a single character other than N, O or P is dropped";
    else
        why = "it holds no digits (P stands for private callers, O for out of area, N for no "
              "number)";
    char text[kFindingSize];
    snprintf(text, sizeof text, "%s gives no entry: %s", Quoted(line->text, shown), why);
    Say(judge, line, text);
}

// An entry whose stored form is not what its line seems to say.
static void JudgeEntry(const LineJudge *judge, const ListLine *line) {
    char shown[kShownSize];
    const char *part = line->numberPart;
    const char *text = Quoted(line->text, shown);
    int digits = CountDigits(part);
    const char *why = NULL;
    if (strstr(part, "//"))
        why = "\"//\" starts a comment only at the beginning of a line, so the digits after it "
              "count";
    else if (judge->list->kind == LIST_ACCEPT && strchr(part, '@'))
        why = "\"@\" means nothing in Accept Always.txt, so the digits after it count";
    else if (strlen(part) >= 2 && HasLetter(part))
        why = "letters are dropped, not read as digits";
    else if (digits > kMaxNumberDigits)
        why = "only the first 30 digits count";
    else if (digits == kElevenDigits && FirstDigit(part) != '1')
        why = "eleven digits that do not begin with 1 are all compared, so it matches no "
              "ten-digit number";
    else if (FirstDigit(part) == '1' && digits != kElevenDigits)
        why = "callers' eleven-digit numbers lose their leading 1, so an entry that begins with "
              "1 matches hardly any of them; write it without the 1";
    char said[kFindingSize];
    if (why) {
        snprintf(said, sizeof said, "%s is entry %s: %s", text, line->entry, why);
        Say(judge, line, said);
    } else if (digits == kElevenDigits) {
        snprintf(said, sizeof said,
                 "%s is entry %s: the leading 1 of an eleven-digit number is dropped, as it is "
                 "from callers' numbers",
                 text, line->entry);
        Mention(judge, line, said);
    }
    if (line->hasAt && strlen(line->messagePart) >= (size_t)kMessageNameSize) {
        snprintf(said, sizeof said,
                 "the message name is cut to its first 47 characters: the program looks for %s",
                 Quoted(line->message, shown));
        Say(judge, line, said);
    }
}

// The mark of a file saved as UTF-8 with a byte-order mark is three bytes of its first line
// to the program. Returns 1 when all there is to say of the line has been said.
static int JudgeByteOrderMark(const LineJudge *judge, const ListLine *line) {
    const char *rest = line->text + kByteOrderMarkLength;
    while (*rest == ' ' || *rest == '\t')
        rest++;
    int comment = rest[0] == '/' && rest[1] == '/';
    int single = rest[0] != '\0' && rest[1] == '\0';
    const char *start = "begins with a UTF-8 byte-order mark, which the program reads as three "
                        "characters of this line";
    char said[kFindingSize];
    if ((comment && line->kind == LIST_LINE_ENTRY) || single) {
        if (comment)
            snprintf(said, sizeof said, "%s, so this comment is read as entry %s", start,
                     line->entry);
        else if (line->kind == LIST_LINE_ENTRY)
            snprintf(said, sizeof said, "%s, so the single character after it is entry %s", start,
                     line->entry);
        else
            snprintf(said, sizeof said, "%s, so the single character after it gives no entry",
                     start);
        strcat(said, "; save the file without it");
        Say(judge, line, said);
        return 1;
    }
    snprintf(said, sizeof said, "%s; harmless here, but better saved without it", start);
    Mention(judge, line, said);
    return comment; // a comment that gives nothing stays harmless; anything else is judged
}

static void JudgeLine(LineJudge *judge, const ListLine *line) {
    char shown[kShownSize];
    char said[kFindingSize];
    if (judge->encoding == ENCODING_UTF16_LE || judge->encoding == ENCODING_UTF16_BE)
        return; // the finding on the whole file says what the program gets
    if (line->piece > 0 && line->kind != LIST_LINE_BLANK &&
        judge->longLineSaid != line->lineNumber) {
        judge->longLineSaid = line->lineNumber;
        snprintf(said, sizeof said,
                 "is longer than 133 characters: the program reads 133 at a time, and reads %s "
                 "as a line of its own",
                 Quoted(line->text, shown));
        Say(judge, line, said);
    }
    if (line->hasNul) {
        snprintf(said, sizeof said,
                 "holds a NUL byte: the program reads the line only up to it, %s",
                 Quoted(line->text, shown));
        Say(judge, line, said);
    }
    if (judge->encoding == ENCODING_UTF8_BOM && line->lineNumber == 1 && line->piece == 0 &&
        JudgeByteOrderMark(judge, line))
        return;
    if (line->kind == LIST_LINE_NO_NUMBER)
        JudgeDropped(judge, line);
    else if (line->kind == LIST_LINE_ENTRY)
        JudgeEntry(judge, line);
}

// A file the program reads as bytes gives what it gives: say what that is.
static void JudgeUtf16(Findings *findings, const ListFile *list, Encoding encoding) {
    char entries[kFindingSize] = "";
    size_t used = 0;
    const char(*table)[kEntrySize] =
        list->kind == LIST_ACCEPT ? g_state.acceptList : g_state.blockList;
    for (int i = 0; i < list->count && i < kEntriesNamed; i++)
        used += snprintf(entries + used, sizeof entries - used, "%s%s (line %d)", i ? ", " : ": ",
                         table[i], list->entryLine[i]);
    if (list->count > kEntriesNamed)
        snprintf(entries + used, sizeof entries - used, ", ...");
    const char *effect = "";
    if (list->count == 1)
        effect = list->kind == LIST_ACCEPT ? ", which lets every number beginning with it through"
                                           : ", which blocks every number beginning with it";
    char count[kFindingSize];
    if (list->count == 0)
        snprintf(count, sizeof count, "no entries");
    else
        snprintf(count, sizeof count, "%d entr%s", list->count, list->count == 1 ? "y" : "ies");
    AddFinding(findings, WhereOf(list), list->name, 0,
               "saved as UTF-16 (%s); the program reads bytes and gets %s from it%s%s; save it "
               "as plain text (ANSI)",
               encoding == ENCODING_UTF16_LE ? "little-endian" : "big-endian", count, entries,
               effect);
}

// The lines the program never reads, and the limit message it shows.
static void JudgeLimits(Findings *findings, const ListFile *list) {
    FindingFile where = WhereOf(list);
    char box[kFindingSize];
    snprintf(box, sizeof box, list->kind == LIST_ACCEPT ? kAcceptLimitFormat : kBlockLimitFormat,
             (int)kListSlots);
    if (list->stop == LIST_STOP_ENTRIES && list->unreadEntries == 0)
        AddNote(findings, where, list->name, list->entryLine[kListSlots - 1],
                "the 200th entry: the program shows \"%s\" at every start", box);
    else if (list->stop == LIST_STOP_ENTRIES)
        AddFinding(findings, where, list->name, list->firstUnreadLine,
                   "never read: the program stops after 200 entries (saying \"%s\"), so %d more "
                   "entr%s from here on %s ignored",
                   box, list->unreadEntries, list->unreadEntries == 1 ? "y" : "ies",
                   list->unreadEntries == 1 ? "is" : "are");
    else if (list->stop == LIST_STOP_LINES && list->unreadEntries > 0)
        AddFinding(findings, where, list->name, list->firstUnreadLine,
                   "never read: the program reads only 200 lines of Block.txt (comments, blank "
                   "lines and the pieces of long lines count), silently, so %d entr%s from here "
                   "on %s ignored",
                   list->unreadEntries, list->unreadEntries == 1 ? "y" : "ies",
                   list->unreadEntries == 1 ? "is" : "are");
}

// Reads one list into its table, as the program's loader does, and on past the limits to count
// what the program leaves unread.
static void ReadList(const char *dir, ListFile *list, char (*entries)[kEntrySize],
                     char (*messages)[kMessageNameSize], int *count, Findings *findings) {
    *count = 0;
    char path[kPathSize];
    if (!JoinPath(path, dir, list->name) ||
        (GetFileAttributesA(path) & FILE_ATTRIBUTE_DIRECTORY)) // none, or a folder: no list
        return;
    FILE *file = fopen(path, "rb");
    if (!file)
        return;
    list->present = 1;
    LineJudge judge = {findings, list, SniffEncoding(file), 0};
    ListReader reader;
    ListLine line;
    StartListReader(&reader, file, list->kind);
    for (;;) {
        ListStop stop = ListReaderStop(&reader);
        if (!ReadListLine(&reader, &line))
            break;
        if (stop != LIST_READING) {
            if (list->stop == LIST_READING) {
                list->stop = stop;
                list->firstUnreadLine = line.lineNumber;
            }
            list->unreadEntries += line.kind == LIST_LINE_ENTRY;
            continue;
        }
        if (findings)
            JudgeLine(&judge, &line);
        if (line.kind != LIST_LINE_ENTRY)
            continue;
        list->entryLine[*count] = line.lineNumber;
        StoreListEntry(&line, entries, messages, count);
    }
    fclose(file);
    if (list->stop == LIST_READING)
        list->stop = ListReaderStop(&reader);
    list->count = *count;
    if (!findings)
        return;
    if (judge.encoding == ENCODING_UTF16_LE || judge.encoding == ENCODING_UTF16_BE)
        JudgeUtf16(findings, list, judge.encoding);
    JudgeLimits(findings, list);
}

void ReadLists(const char *dir, Lists *lists, Findings *findings) {
    memset(lists, 0, sizeof *lists);
    lists->accept.name = kAcceptFileName;
    lists->accept.kind = LIST_ACCEPT;
    lists->block.name = kBlockFileName;
    lists->block.kind = LIST_BLOCK;
    ReadList(dir, &lists->accept, g_state.acceptList, NULL, &g_state.acceptCount, findings);
    ReadList(dir, &lists->block, g_state.blockList, g_state.blockMessages, &g_state.blockCount,
             findings);
}
