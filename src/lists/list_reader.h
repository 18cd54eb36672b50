// Reading a number list file the way the program reads it, one piece at a time: the 134-byte
// line reads, comments, blank lines, the "@" of "Block.txt", NormalizeNumber, and the limits
// that end the reading. No message boxes, no reports, no global state: the loaders fill the
// state record from it, and the list checker reads the same pieces to say what they become.
#ifndef RINGWARD_LIST_READER_H
#define RINGWARD_LIST_READER_H

#include "common/state.h"

#include <stdio.h>

enum : int {
    kListLineBufferSize = 134, // one read returns at most 133 characters
    kMaxBlockLines = 200,      // lines of "Block.txt" read in all, whatever they hold
};

enum ListKind { LIST_ACCEPT, LIST_BLOCK };

enum ListLineKind {
    LIST_LINE_COMMENT,   // begins with "//" once trimmed
    LIST_LINE_BLANK,     // nothing left once trimmed
    LIST_LINE_NO_NUMBER, // its number part normalises to nothing: no entry
    LIST_LINE_ENTRY,
};

// Whether the program reads another piece of the file, and if not, why.
enum ListStop {
    LIST_READING,
    LIST_STOP_ENTRIES, // the 200th entry is in: the limit message, the rest stays unread
    LIST_STOP_LINES,   // "Block.txt" only: 200 pieces read, the rest stays unread silently
};

struct ListReader {
    FILE *file;
    ListKind kind;
    int piecesRead; // what the program counts as lines read
    int entries;    // pieces that gave an entry
    int lineNumber; // the file's line, from 1, in which the next piece begins
    int nextPiece;  // 0 when the next piece begins a line
};

// One piece of a line, as read, and what the program makes of it.
struct ListLine {
    int lineNumber;
    int piece;  // 0: the line's first piece; later pieces are read as lines of their own
    int hasNul; // a NUL byte ends the text early: the program sees only what precedes it
    char text[kListLineBufferSize]; // what the program sees, trimmed
    ListLineKind kind;
    char numberPart[kListLineBufferSize];  // trimmed, before NormalizeNumber
    int hasAt;                             // "Block.txt": the line has a message part
    char messagePart[kListLineBufferSize]; // after the "@", trimmed, not yet cut
    char entry[kEntrySize];                // LIST_LINE_ENTRY: the stored entry
    char message[kMessageNameSize];        // its message name as stored; empty when none
};

void StartListReader(ListReader *reader, FILE *file, ListKind kind);

// LIST_READING while the program would read the next piece.
ListStop ListReaderStop(const ListReader *reader);

// Reads the next piece, also past the program's limits (the checker looks further). 1 with
// *line filled; 0 at the end of the file or on a read error.
int ReadListLine(ListReader *reader, ListLine *line);

// Ends line at its first "@" and trims what is on either side. Returns the message part, or
// null when there is no "@".
char *SplitMessagePart(char *line);

// Copies text into a slot of size bytes, cutting it to size - 1 characters.
void CopyCut(char *slot, size_t size, const char *text);

// Stores an entry piece in the next slot of a list's table (and its message name beside it when
// messages is not null), counting it in *count.
void StoreListEntry(const ListLine *line, char (*entries)[kEntrySize],
                    char (*messages)[kMessageNameSize], int *count);

#endif
