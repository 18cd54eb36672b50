// ringward-check, the list checker: what the lists will do before a caller finds out, the
// what-if replay of the call log against the lists as they are now, a report of the calls, and
// what the telephony system really does: each line device as modem discovery judges it, and
// every line message of a watched line. It judges with the program's own code: the list
// reader, ReadCallerId, the screening decision, the call record's layout, the player's reading
// of a message and discovery's examination of a device. It only reads.
#ifndef RINGWARD_CHECK_H
#define RINGWARD_CHECK_H

#include "common/state.h"
#include "diag/errhan.h"
#include "lists/list_reader.h"
#include "lists/lists.h"
#include "screening/screening.h"

#include <stdio.h>

enum : int {
    kExitClean = 0,    // nothing found
    kExitFindings = 1, // findings, or calls that the lists would now decide otherwise
    kExitNoModem = 1,  // no line device the program could use
    kExitUsage = 2,    // bad usage, a folder or log that cannot be read, or no telephony
};

enum : int {
    kPathSize = 1024,
    kShownSize = 4 * kCallerTextSize + 3, // a caller's text or a list line quoted, every byte
                                          // escaped at worst
    kFindingSize = 1024,                  // one line of output
};

// Runs the command line; returns the exit code. Output goes to out, usage errors to err.
int RunCheck(int argc, char **argv, FILE *out, FILE *err);

// ---- Shared by the commands -------------------------------------------------------------------

// name inside dir ("" or "." for the current folder) into out, kPathSize bytes; 0 when it
// would not fit.
int JoinPath(char *out, const char *dir, const char *name);

// text in double quotes, every byte that is not printable ASCII written \xHH, in out
// (kShownSize bytes, enough for a list line or a caller's text); longer texts are cut.
const char *Quoted(const char *text, char *out);
// The same for size bytes, NULs included.
const char *QuotedBytes(const char *bytes, size_t size, char *out);

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

// The caller in callerNumber and callerName as the program meets it on the lists: the number,
// the name, the verdict with its deciding entry, the message, and the record it would log now;
// each line begins with indent.
void SayCaller(FILE *out, const Lists *lists, const char *indent);

// The commands.
int CheckFolder(const char *dir, FILE *out);
int CheckNumber(const char *text, const char *name, FILE *out);
int ReplayLog(const char *logPath, FILE *out, FILE *err);
int ReportLog(const char *logPath, const char *htmlPath, FILE *out, FILE *err);

// ---- The telephony commands (telephony.cpp, modem.cpp, watch.cpp) ---------------------------

enum : DWORD {
    kNoLine = 0xFFFFFFFF,                                // no line given, or none chosen
    kMaxWatchSeconds = (DWORD)USER_TIMER_MAXIMUM / 1000, // the longest a thread timer runs
};

#define COUNT_OF(table) (sizeof table / sizeof *table)

int CheckModem(int tryOpen, FILE *out);
int WatchLine(DWORD line, DWORD seconds, FILE *out, FILE *err);

extern const char kCheckAppName[]; // the name the checker registers with the telephony API

// The first lines of a report meant to be pasted whole: what it is, the checker's version and
// the system's true version.
void PrintReportHeading(FILE *out, const char *command);

// A telephony result as "0", "LINEERR_ALLOCATED (0x80000001)" or "-5 (0xFFFFFFFB)", in out
// (kResultTextSize bytes).
enum : int { kResultTextSize = 64, kFlagsTextSize = 512 };
const char *ResultText(LONG result, char *out);
// Says that lineInitializeExA failed with result and returns the exit code for it.
int SayTelephonyUnusable(FILE *out, LONG result);
// An API version as "0x00030000 (3.0)".
const char *VersionText(DWORD version, char *out);

// The names of the bits of a flag word, for FlagsText.
struct FlagName {
    DWORD bit;
    const char *name;
};
// value as "0x0000000C (NAME ADDRESS)", bits without a name in hex, into out (kFlagsTextSize).
const char *FlagsText(DWORD value, const FlagName *names, size_t count, char *out);

// What discovery concludes about device id, with the maker read from the registry where it
// gets that far, and nothing reported: the facts (release them), the maker and, when it could
// not be read, the failed step and its status.
struct DeviceJudgement {
    LineDeviceFacts facts;
    DeviceVerdict verdict;
    char manufacturer[kManufacturerSize];
    RegistryStep registryStep;
    LONG registryStatus;
};
void JudgeLineDevice(HLINEAPP app, DWORD id, DWORD highestVersion, DeviceJudgement *judgement);
// 1 when discovery ends at a device with this verdict, without looking at the next.
int EndsDiscovery(DeviceVerdict verdict);
// The bytes of the capability record that a size and an offset name; null when they reach
// past its end.
const char *CapsBytes(const LineDeviceFacts *facts, DWORD size, DWORD offset);
// The line's name as the capabilities give it, quoted, or "(no name)", in out (kShownSize).
const char *LineNameText(const LineDeviceFacts *facts, char *out);

// How a variable-size record was fetched: the first request's result and the dwNeededSize it
// left, then how many requests it took and what the last one gave, as one text in out
// (kFindingSize bytes).
struct RecordRequests {
    DWORD firstSize;
    LONG firstResult;
    DWORD firstNeeded;
    int count;
    DWORD lastSize;
    LONG lastResult;
};
const char *RequestsText(const RecordRequests *requests, char *out);

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
