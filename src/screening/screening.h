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

extern const char kZapMessageName[];  // "ZapMessage.wav": for blocked callers
extern const char kAnonMessageName[]; // "AnonCallerMessage.wav": for blocked private callers

// The message a blocked caller hears, once ScreenCaller has blocked callerNumber: the entry's
// own, else "AnonCallerMessage.wav" for a private caller and "ZapMessage.wav" for others.
const char *MessageForBlockedCaller(void);

// Appends one record to "Calls Received.txt", whole or not at all; a failed write is noted for
// ReportLogFailures.
void LogCall(const char *name, const char *number, const char *decision);

// The record LogCall writes for a call at timeText (FormatCallTime's form), line feed included,
// into out (kCallRecordSize bytes hold any record).
void FormatCallRecord(char *out, size_t size, const char *timeText, const char *name,
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

// Which registry call failed when a modem's maker was read, if any.
enum RegistryStep {
    REGISTRY_READ,
    REGISTRY_OPEN_FAILED,
    REGISTRY_QUERY_FAILED,
    REGISTRY_CLOSE_FAILED,
};

// GetModemManufacturer without its report: the value into out (kManufacturerSize bytes, always
// terminated, empty unless the query succeeded), and the failed call's status in *status.
RegistryStep ReadModemManufacturer(const char *subKey, char *out, LONG *status);

// The first place in text where pattern occurs, letters A to Z compared without regard to case;
// null when there is none or either text is null or empty.
const char *StrStrNoCase(const char *text, const char *pattern);

// ---- Modem discovery, one line device at a time (shared with ringward-check) ----------------

enum : int {
    kKeyBufferSize = 256, // the device-specific block, copied and terminated
    kKeyTextStart = 8,    // two words precede the modem's key path
};

// Registers callback with the telephony API as discovery does (hidden-window delivery, version
// 2.2 asked for). *highestVersion is then the highest the system offers.
LONG InitializeTelephony(LINECALLBACK callback, const char *appName, HLINEAPP *app, DWORD *numDevs,
                         DWORD *highestVersion);

// What discovery concludes about a device, in the order of its steps.
enum DeviceVerdict {
    DEVICE_NEGOTIATION_FAILED, // no version agreed: discovery ends ("IVM 320")
    DEVICE_NO_MEMORY,          // no block for the capabilities: discovery ends ("IVM 340")
    DEVICE_CAPS_UNAVAILABLE,   // LINEERR_RESOURCEUNAVAIL: passed over without a report
    DEVICE_CAPS_FAILED,        // any other capability error: discovery ends ("IVM 360")
    DEVICE_KEY_TOO_LONG,       // a device-specific block of 256 bytes or more ("IVM 380")
    DEVICE_NO_SYSTEM,          // no "SYSTEM" in the key text: passed over without a report
    DEVICE_KEY_FOUND,          // the maker is to be read from the registry next
    DEVICE_MAKER_UNREADABLE,   // the registry could not give it ("SBD ...", "IVM 520")
    DEVICE_NOT_CHIPSET_MAKER,  // no "LSI", "Agere" or "Lucent" in it: passed over
    DEVICE_NO_VOICE,           // a capability bit is missing: passed over
    DEVICE_CANDIDATE,          // discovery opens it
};

// The facts one examination gathered. The capability record is held until they are released.
struct LineDeviceFacts {
    DWORD id;
    LONG negotiateResult;
    DWORD version;            // negotiated
    LONG firstCapsResult;     // the first capability request, at the 2.2 size
    DWORD firstNeededSize;    // the dwNeededSize that request left
    int capsRequests;         // how many requests it took
    LONG capsResult;          // the last request's result
    LINEDEVCAPS *caps;        // the record; null when it could not be allocated
    DWORD capsSize;           // its block's size
    char key[kKeyBufferSize]; // the device-specific block, copied and terminated
    const char *keyPath;      // in key: the text from "SYSTEM" on; null when there is none
};

// Negotiates with device id, reads its capabilities and finds its modem key, reporting nothing
// and opening nothing. The verdict is one of the first seven; DEVICE_KEY_FOUND leads on to the
// maker. Release the facts afterwards whatever the verdict.
DeviceVerdict ExamineLineDevice(HLINEAPP app, DWORD id, DWORD highestVersion,
                                LineDeviceFacts *facts);
// Once the maker of a DEVICE_KEY_FOUND device is known: DEVICE_NOT_CHIPSET_MAKER,
// DEVICE_NO_VOICE or DEVICE_CANDIDATE.
DeviceVerdict JudgeModemMaker(const LineDeviceFacts *facts, const char *manufacturer);
void ReleaseLineDeviceFacts(LineDeviceFacts *facts);
// Opens a candidate's line as discovery does: owner, for incoming automated-voice calls.
LONG OpenModemLine(HLINEAPP app, const LineDeviceFacts *facts, HLINE *line);

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
