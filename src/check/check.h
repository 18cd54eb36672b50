// ringward-check, the list checker: what the lists will do before a caller finds out, the
// what-if replay of the call log against the lists as they are now, and a report of the calls.
// It judges with the program's own code: the list reader, ReadCallerId, the screening decision,
// the call record's layout and the player's reading of a message. It only reads.
#ifndef RINGWARD_CHECK_H
#define RINGWARD_CHECK_H

#include "lists/list_reader.h"
#include "screening/screening.h"

#include <stdio.h>

enum : int {
    kExitClean = 0,    // nothing found
    kExitFindings = 1, // findings, or calls that the lists would now decide otherwise
    kExitUsage = 2,    // bad usage, or a folder or log that cannot be read
};

enum : int {
    kPathSize = 1024,
    kShownSize = 4 * kListLineBufferSize + 3, // a list line quoted, every byte escaped at worst
    kFindingSize = 1024,                      // one line of output
};

// Runs the command line; returns the exit code. Output goes to out, usage errors to err.
int RunCheck(int argc, char **argv, FILE *out, FILE *err);

// ---- Shared by the commands -------------------------------------------------------------------

extern const char kAcceptListName[]; // "Accept Always.txt"
extern const char kBlockListName[];  // "Block.txt"
extern const char kZapMessageName[]; // "ZapMessage.wav"
extern const char kAnonMessageName[];

// name inside dir ("" or "." for the current folder) into out, kPathSize bytes; 0 when it
// would not fit.
int JoinPath(char *out, const char *dir, const char *name);

// text in double quotes, every byte that is not printable ASCII written \xHH, in out
// (kShownSize bytes, enough for a list line); longer texts are cut.
const char *Quoted(const char *text, char *out);

// One list as the program reads it. Its entries are in the state record, where the program
// keeps them; here is where each came from and how the reading ended.
struct ListFile {
    const char *name;
    ListKind kind;
    int present;               // the file opened
    int entryLine[kListSlots]; // the file line of each stored entry
    int count;                 // entries stored
    ListStop stop;             // why the program stopped reading; LIST_READING: the end came
    int firstUnreadLine;       // where the pieces the program never reads begin
    int unreadEntries;         // the entries in them
};

struct Lists {
    ListFile accept;
    ListFile block;
};

// The checker's findings, collected while it reads and printed sorted by file and line.
struct Findings;

// Reads both lists of dir into the state record, as the program's loaders do but without
// their messages. With findings, every line read is judged as well.
void ReadLists(const char *dir, Lists *lists, Findings *findings);

// What keeps the message fileName in dir from being played as it is, in words (possibly
// written into out, kFindingSize bytes); null when nothing does. *fatal is 1 when the player
// cannot play it at all, which ends the program. Device names are judged without an open.
const char *MessageProblem(const char *dir, const char *fileName, char *out, int *fatal);

// What the program does when a message cannot be played.
extern const char kPlayFailure[];

// The commands.
int CheckFolder(const char *dir, FILE *out);
int CheckNumber(const char *text, const char *name, FILE *out);
int ReplayLog(const char *logPath, FILE *out, FILE *err);
int ReportLog(const char *logPath, const char *htmlPath, FILE *out, FILE *err);

// ---- Findings (findings.cpp) ----------------------------------------------------------------

enum FindingFile { IN_ACCEPT_LIST, IN_BLOCK_LIST, IN_MESSAGES };

// Null when there is no memory for it. A finding that finds no room is printed to out at once.
Findings *NewFindings(FILE *out);
// A finding about line (0: the whole file) of fileName: printed "fileName:line: text".
void AddFinding(Findings *findings, FindingFile where, const char *fileName, int line,
                const char *format, ...)
#ifdef __GNUC__
    __attribute__((format(printf, 5, 6)))
#endif
    ;
// The same for what is only worth knowing: "note: " before the text; it is no finding.
void AddNote(Findings *findings, FindingFile where, const char *fileName, int line,
             const char *format, ...)
#ifdef __GNUC__
    __attribute__((format(printf, 5, 6)))
#endif
    ;
// Prints them all, sorted, and frees them; returns how many findings (not notes) there were.
int PrintFindings(Findings *findings, FILE *out, int *notes);

// ---- The call log (call_log.cpp) --------------------------------------------------------------

enum : int {
    kLoggedNameSize = 17,   // the log keeps 16 characters of a name
    kLoggedNumberSize = 16, // and at most ten digits of a number, or its label's letter
    kShownNumberSize = 13,  // the number field as written: "800-555-1234" or a label
};

// One record of "Calls Received.txt", as far as the log tells it.
struct CallRecord {
    int line;
    char time[kCallTimeSize]; // "MM/DD/YYYY HH:MM:SS"
    int year, month, day, hour;
    long long when;                 // YYYYMMDDhhmmss, for ordering
    char name[kLoggedNameSize];     // filled with spaces to 16, as written
    char shown[kShownNumberSize];   // the number field as written, without its filling
    char number[kLoggedNumberSize]; // the number as ScreenCaller would see it again
    int blocked;
};

struct CallLog {
    FILE *file;
    int lineNumber;
    int unreadable; // lines that are no record the program writes
};

// Opens the log read-only, shared with the program, which may go on writing it. 0 on failure.
int OpenCallLog(CallLog *log, const char *path);
// The next record; lines that are not records are counted and passed over. 0 at the end.
int ReadCallRecord(CallLog *log, CallRecord *record);
void CloseCallLog(CallLog *log);

#endif
