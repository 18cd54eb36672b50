// ScreeningState: the one process-wide record of the program's state, and the shared helper
// TrimWhitespace. Everything starts at zero; which routine writes which field is noted below.
#ifndef RINGWARD_STATE_H
#define RINGWARD_STATE_H

#include "platform/platform.h"

class CWnd;

enum : int {
    kListSlots = 200,      // entries per number list
    kEntrySize = 32,       // a stored list entry: at most 31 characters and its NUL
    kMessageNameSize = 48, // a message file name: at most 47 characters and its NUL
    kCallerTextSize = 256, // caller number and name: at most 255 characters and the NUL
    kManufacturerSize = 64,
};

// The failed writes of one log (diagnostics): the place and the system error of a failure that
// waits to be reported, and whether a report was made with no write of that log succeeding since.
struct LogWrites {
    const char *pendingTag; // null: nothing waits
    DWORD pendingError;
    int reported;
};

struct ScreeningState {
    int screening;       // 1 while the Start/Stop button reads "Stop screening calls" (dialog)
    int shutdownStarted; // latch of ShutdownAndExit; cleared once at start-up

    HLINEAPP hLineApp;                    // telephony usage (modem discovery; released by shutdown)
    HLINE hLine;                          // the open line (modem discovery, line callback)
    HCALL hCall;                          // the newest call (line callback; released by shutdown)
    DWORD numDevs;                        // line devices reported by the telephony API
    char manufacturer[kManufacturerSize]; // "Manufacturer" of the modem examined last
    // API version agreed for the open line (modem discovery): it sizes the call information.
    DWORD lineVersion;

    // Call tracking of the line callback.
    int callProgress;     // 0 idle, 1 announced, 2 offered, 3 idle right after offering
    int callInfoHandled;  // 1 from the first caller-ID message until a drop clears it
    LONG answerRequestId; // pending lineAnswer request, 0 = none
    LONG dropRequestId;   // pending lineDrop request, 0 = none

    char callerNumber[kCallerTextSize]; // normalised number of the current caller
    char callerName[kCallerTextSize];   // delivered name, commas replaced
    char messageFile[kMessageNameSize]; // message named by the block entry that matched last

    char acceptList[kListSlots][kEntrySize];
    int acceptCount;
    char blockList[kListSlots][kEntrySize];
    char blockMessages[kListSlots][kMessageNameSize];
    int blockCount;
    FILE *acceptFile; // open only while the list loaders read
    FILE *blockFile;

    FILE *eventLog; // "EventLog.txt"; null when closed
    FILE *callsLog; // "Calls Received.txt"; null when closed
    LogWrites eventLogWrites;
    LogWrites callsLogWrites;

    CWnd *startStopButton; // control 1000 of the main dialog
    HWND mainWindow;       // the main dialog's window, owner of the dialog's own message boxes
};

extern ScreeningState g_state;

// Removes spaces, tabs, CRs and LFs from both ends of text, in place; returns text.
char *TrimWhitespace(char *text);

#endif
