// The one door from the program to the operating system.
//
// On Windows this is the real SDK: <windows.h>, <tapi.h> and <mmsystem.h>. Everywhere else it
// declares the same subset of names, types, constants and functions, with the same record
// layouts, and the simulated operating system under sim/ implements them.
//
// The sizes below are the TAPI 2.x fixed parts of the variable-size records. The SDK headers
// declare later (3.0) layouts, so code must start with these numbers and never with sizeof.
#ifndef RINGWARD_PLATFORM_H
#define RINGWARD_PLATFORM_H

#ifdef _WIN32
#include <windows.h>
#include <tapi.h>
#include <mmsystem.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#else
#include "win32_subset.h"
#endif

#include <stddef.h>

// Appends text to a log stream and flushes it, which commits a stream opened with mode "c".
// The text is whole in the file or absent: after a failed or short write, or a failed flush or
// commit, the file is cut back to its length before, so that no later entry is glued to a
// fragment. 0, or -1 after a failure with the system's error code as the last error. The same
// on both sides: the run-time's own streams on Windows, the simulated ones elsewhere.
int PlatformAppendEntry(FILE *log, const char *text);

// Fixed parts of the TAPI 2.x records the program asks for.
enum : DWORD {
    kLineCallInfoFixedSize = 324, // LINECALLINFO up to dwReceivingFlowspecOffset
    kLineDevCapsFixedSize = 268,  // LINEDEVCAPS up to PermanentLineGuid
    kVarStringFixedSize = 24,     // VARSTRING
};

// Every field the program reads, at the offset the platform documents.
static_assert(offsetof(LINECALLINFO, dwTotalSize) == 0, "LINECALLINFO layout");
static_assert(offsetof(LINECALLINFO, dwNeededSize) == 4, "LINECALLINFO layout");
static_assert(offsetof(LINECALLINFO, dwCallerIDFlags) == 108, "LINECALLINFO layout");
static_assert(offsetof(LINECALLINFO, dwCallerIDSize) == 112, "LINECALLINFO layout");
static_assert(offsetof(LINECALLINFO, dwCallerIDOffset) == 116, "LINECALLINFO layout");
static_assert(offsetof(LINECALLINFO, dwCallerIDNameSize) == 120, "LINECALLINFO layout");
static_assert(offsetof(LINECALLINFO, dwCallerIDNameOffset) == 124, "LINECALLINFO layout");
static_assert(offsetof(LINECALLINFO, dwReceivingFlowspecOffset) + 4 == kLineCallInfoFixedSize,
              "LINECALLINFO 2.x fixed part");
static_assert(offsetof(LINEDEVCAPS, dwNeededSize) == 4, "LINEDEVCAPS layout");
static_assert(offsetof(LINEDEVCAPS, dwBearerModes) == 52, "LINEDEVCAPS layout");
static_assert(offsetof(LINEDEVCAPS, dwMediaModes) == 60, "LINEDEVCAPS layout");
static_assert(offsetof(LINEDEVCAPS, dwDevSpecificSize) == 228, "LINEDEVCAPS layout");
static_assert(offsetof(LINEDEVCAPS, dwDevSpecificOffset) == 232, "LINEDEVCAPS layout");
static_assert(offsetof(LINEDEVCAPS, dwLineFeatures) == 236, "LINEDEVCAPS layout");
static_assert(offsetof(LINEDEVCAPS, PermanentLineGuid) + 16 == kLineDevCapsFixedSize,
              "LINEDEVCAPS 2.x fixed part");
static_assert(sizeof(VARSTRING) == kVarStringFixedSize, "VARSTRING size");
static_assert(offsetof(VARSTRING, dwStringOffset) == 20, "VARSTRING layout");
static_assert(sizeof(LINEEXTENSIONID) == 16, "LINEEXTENSIONID size");
static_assert(offsetof(WAVEFORMATEX, nAvgBytesPerSec) == 8, "WAVEFORMATEX layout");
static_assert(offsetof(WAVEFORMATEX, cbSize) == 16, "WAVEFORMATEX layout");
static_assert(sizeof(WAVEFORMATEX) == 18, "WAVEFORMATEX size");
static_assert(offsetof(WAVEHDR, dwBufferLength) == sizeof(void *), "WAVEHDR layout");
static_assert(offsetof(WAVEHDR, dwFlags) == (sizeof(void *) == 4 ? 16 : 24), "WAVEHDR layout");
static_assert(sizeof(WAVEHDR) == (sizeof(void *) == 4 ? 32 : 48), "WAVEHDR size");
static_assert(sizeof(MMCKINFO) == 20, "MMCKINFO size");
static_assert(offsetof(MMCKINFO, cksize) == 4, "MMCKINFO layout");
static_assert(offsetof(MMIOINFO, wErrorRet) == (sizeof(void *) == 4 ? 12 : 16), "MMIOINFO layout");
static_assert(offsetof(EXCEPTION_RECORD, ExceptionFlags) == 4, "EXCEPTION_RECORD layout");
static_assert(offsetof(EXCEPTION_RECORD, ExceptionAddress) == (sizeof(void *) == 4 ? 12 : 16),
              "EXCEPTION_RECORD layout");
#if !defined(_WIN32) || !defined(_WIN64)
static_assert(sizeof(LINEINITIALIZEEXPARAMS) == 24, "LINEINITIALIZEEXPARAMS size");
#endif

#endif
