// The reading of one number list file, piece by piece, as the program does it: what a line
// read holds, which file line it belongs to, and whether it is a comment, blank, a line that
// gives no number, or an entry (with its message name in "Block.txt"). The limits say when the
// program stops reading; the reader itself reads on for whoever wants to look further.
#include "lists/list_reader.h"

#include "screening/screening.h"

#include <string.h>

// Any byte but NUL: what the buffer holds where fgets has written nothing.
static const char kUnwritten = '\x01';

void CopyCut(char *slot, size_t size, const char *text) {
    size_t length = strnlen(text, size - 1);
    memcpy(slot, text, length);
    slot[length] = '\0';
}

void StoreListEntry(const ListLine *line, char (*entries)[kEntrySize],
                    char (*messages)[kMessageNameSize], int *count) {
    CopyCut(entries[*count], kEntrySize, line->entry);
    if (messages)
        CopyCut(messages[*count], kMessageNameSize, line->message);
    (*count)++;
}

char *SplitMessagePart(char *line) {
    char *at = strchr(line, '@');
    if (!at)
        return NULL;
    *at = '\0';
    TrimWhitespace(line);
    return TrimWhitespace(at + 1);
}

void StartListReader(ListReader *reader, FILE *file, ListKind kind) {
    memset(reader, 0, sizeof *reader);
    reader->file = file;
    reader->kind = kind;
    reader->lineNumber = 1;
}

ListStop ListReaderStop(const ListReader *reader) {
    if (reader->entries >= kListSlots)
        return LIST_STOP_ENTRIES;
    if (reader->kind == LIST_BLOCK && reader->piecesRead >= kMaxBlockLines)
        return LIST_STOP_LINES;
    return LIST_READING;
}

// One standard line read. fgets does not say how many bytes it stored, and NUL bytes may be
// among them: with the buffer filled beforehand, the last NUL in it is the one fgets put after
// the bytes it read. 0 at the end of the file or on a read error.
static int ReadPiece(FILE *file, char *buffer, int *length) {
    memset(buffer, kUnwritten, kListLineBufferSize);
    if (!fgets(buffer, kListLineBufferSize, file))
        return 0;
    int end = kListLineBufferSize - 1;
    while (end > 0 && buffer[end] != '\0')
        end--;
    *length = end;
    return 1;
}

// What the program makes of the trimmed text of a piece.
static void ClassifyPiece(ListKind kind, ListLine *line) {
    if (line->text[0] == '/' && line->text[1] == '/') {
        line->kind = LIST_LINE_COMMENT;
        return;
    }
    if (line->text[0] == '\0') {
        line->kind = LIST_LINE_BLANK;
        return;
    }
    memcpy(line->numberPart, line->text, sizeof line->numberPart);
    if (kind == LIST_BLOCK) {
        const char *message = SplitMessagePart(line->numberPart);
        if (message) {
            line->hasAt = 1;
            memmove(line->messagePart, message, strlen(message) + 1);
        }
    }
    char number[kListLineBufferSize];
    memcpy(number, line->numberPart, sizeof number);
    NormalizeNumber(number);
    if (number[0] == '\0') {
        line->kind = LIST_LINE_NO_NUMBER;
        return;
    }
    line->kind = LIST_LINE_ENTRY;
    CopyCut(line->entry, sizeof line->entry, number);
    CopyCut(line->message, sizeof line->message, line->messagePart);
}

int ReadListLine(ListReader *reader, ListLine *line) {
    char raw[kListLineBufferSize];
    int length;
    if (!ReadPiece(reader->file, raw, &length))
        return 0;
    memset(line, 0, sizeof *line);
    line->lineNumber = reader->lineNumber;
    line->piece = reader->nextPiece;
    size_t seen = strlen(raw);
    line->hasNul = seen < (size_t)length;
    memcpy(line->text, raw, seen + 1);
    TrimWhitespace(line->text);
    ClassifyPiece(reader->kind, line);

    reader->piecesRead++;
    if (line->kind == LIST_LINE_ENTRY)
        reader->entries++;
    if (length > 0 && raw[length - 1] == '\n') {
        reader->lineNumber++;
        reader->nextPiece = 0;
    } else {
        reader->nextPiece++;
    }
    return 1;
}
