// The call screening engine: caller identification and decision, the line event handler,
// line shutdown and voice modem discovery.
#ifndef RINGWARD_SCREENING_H
#define RINGWARD_SCREENING_H

#include "platform/platform.h"

enum Verdict { VERDICT_ALLOWED, VERDICT_BLOCKED };

enum : int { kMaxNumberDigits = 30 };

// Brings a telephone number into the one form in which numbers are compared, in place.
void NormalizeNumber(char *text);

// Sets callerNumber and callerName from the caller-ID fields of a call-information record.
// The record's dwTotalSize bounds every text read from it.
void ReadCallerId(const LINECALLINFO *record);

// Matches callerNumber against the accept list, then the block list. On a block match the
// entry's message file is copied into messageFile.
Verdict ScreenCaller(void);

// The decision of ScreenCaller without its effect: *entry is the index of the deciding entry
// in acceptList (Allowed) or blockList (Blocked), or -1 when none matches (Allowed).
Verdict DecideCaller(int *entry);

// The message a blocked caller hears, once ScreenCaller has blocked callerNumber: the entry's
// own, else "AnonCallerMessage.wav" for a private caller and "ZapMessage.wav" for others.
const char *MessageForBlockedCaller(void);

// Appends one record to "Calls Received.txt" and flushes it.
void LogCall(const char *name, const char *number, const char *decision);

// The record LogCall writes for a call at timeText (FormatCallTime's form), line feed included,
// into out (kCallRecordSize bytes hold any record). Returns snprintf's count.
int FormatCallRecord(char *out, size_t size, const char *timeText, const char *name,
                     const char *number, const char *decision);

// Releases call, line and telephony usage, closes both logs and ends the process with code 0.
// Runs at most once; a call made while it runs returns at once.
void ShutdownAndExit(void);

// The line callback handed to the telephony API.
void CALLBACK LineCallback(DWORD hDevice, DWORD dwMsg, DWORD_PTR dwCallbackInstance,
                           DWORD_PTR dwParam1, DWORD_PTR dwParam2, DWORD_PTR dwParam3);

// Installs the exception report, registers with the telephony API and opens the line of the
// first LSI, Agere or Lucent voice modem. 0: the line is open; -1: a failure, already reported.
LONG InitVoiceModem(void);

// Reads the "Manufacturer" value of the modem key subKey under HKEY_LOCAL_MACHINE into
// manufacturer. 0 with *out set to it, or -1 after a report.
LONG GetModemManufacturer(const char *subKey, char **out);

// The first place in text where pattern occurs, letters A to Z compared without regard to case;
// null when there is none or either text is null or empty.
const char *StrStrNoCase(const char *text, const char *pattern);

// ---- Shared by the engine's routines --------------------------------------------------------

enum : int {
    kCallTimeSize = 32,    // "%m/%d/%Y %H:%M:%S" and its NUL, with room to spare
    kCallRecordSize = 128, // a record: the time, three fields cut to width, the decision
};

// The local time now as "%m/%d/%Y %H:%M:%S", in a kCallTimeSize buffer.
void FormatCallTime(char *out);

// Fetches a variable-size telephony record: a block of firstSize bytes, zero-filled, with its
// dwTotalSize set, is handed to fill; while the platform asks for more (too small, or a
// dwNeededSize above the block), the block grows to exactly dwNeededSize and fill runs again.
// "Too small" without a larger dwNeededSize grows it once to versionSize, the record's fixed
// part at the negotiated version. Returns fill's last result. *block is the record, or null
// when an allocation failed; *blockSize is its size.
typedef LONG (*RecordFiller)(void *block, void *context);
LONG FetchRecord(DWORD firstSize, DWORD versionSize, RecordFiller fill, void *context, void **block,
                 DWORD *blockSize);

// The fixed parts of LINECALLINFO and LINEDEVCAPS at a negotiated API version.
DWORD CallInfoFixedSize(DWORD version);
DWORD DevCapsFixedSize(DWORD version);

#endif
