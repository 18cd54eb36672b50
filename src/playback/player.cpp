// The WAVE message player: reads the format record and the whole sample data of a RIFF WAVE file
// into memory (wave_file.cpp), plays the samples as one buffer and waits, polling, until the
// device is done.
//
// The blocks are freed only once the device has let go of them, and the device's messages are
// shown only after that: a message box runs a message loop, in which a line event may end the
// program before the box returns.
#include "playback/player.h"

#include "diag/errhan.h"
#include "playback/wave_file.h"

#include <stdio.h>
#include <stdlib.h>

enum : int {
    kOpenReportSize = 256, // the message of the open-failure report
    kPollMs = 20,          // between two looks at the header's done flag
};
static const UINT kPlainBox = MB_OK; // no icon: these are not failure reports

static void ReportOpenFailure(const char *fileName, UINT error) {
    char message[kOpenReportSize];
    snprintf(message, sizeof message, "%s\n%s%s", "F - Error during mmioOpen.",
             "file path: ", fileName);
    LONG value = (LONG)error;
    ErrHan(&value, cond::F, "PLA 300", message);
}

static void FreeBlocks(WaveMessage *blocks, WAVEHDR *header) {
    free(blocks->data);
    free(header);
    free(blocks->format);
}

// The device finds its done flag set when it has played the last sample.
static void WaitUntilPlayed(const WAVEHDR *header) {
    const volatile DWORD *flags = &header->dwFlags;
    while (!(*flags & WHDR_DONE))
        Sleep(kPollMs);
}

// After a failure with the device open: makes it give the header back and closes it, so that
// nothing of the call's blocks is in the device's hands any more.
static void ReleaseDevice(HWAVEOUT device, WAVEHDR *header) {
    waveOutReset(device);
    waveOutUnprepareHeader(device, header, sizeof(WAVEHDR));
    waveOutClose(device);
}

// Plays the header's buffer to the end. The device handle, or null with *failure set to the
// message for the user; either way the device no longer holds the blocks.
static HWAVEOUT PlayOnDevice(WORD deviceId, const char *format, WAVEHDR *header,
                             const char **failure) {
    LPCWAVEFORMATEX record = (LPCWAVEFORMATEX)format;
    if (waveOutOpen(NULL, deviceId, record, 0, 0, WAVE_FORMAT_QUERY | WAVE_MAPPED) !=
        MMSYSERR_NOERROR) {
        *failure = "Unsupported wave format.";
        return NULL;
    }
    HWAVEOUT device = NULL;
    if (waveOutOpen(&device, deviceId, record, 0, 0, CALLBACK_FUNCTION | WAVE_MAPPED) !=
        MMSYSERR_NOERROR) {
        *failure = "Error opening wave device.";
        return NULL;
    }
    if (waveOutPrepareHeader(device, header, sizeof(WAVEHDR)) != MMSYSERR_NOERROR)
        *failure = "Error preparing message header.";
    else if (waveOutWrite(device, header, sizeof(WAVEHDR)) != MMSYSERR_NOERROR)
        *failure = "Error writing wave message.";
    if (!*failure) {
        WaitUntilPlayed(header);
        if (waveOutUnprepareHeader(device, header, sizeof(WAVEHDR)) != MMSYSERR_NOERROR)
            *failure = "Error unpreparing message header.";
    }
    if (*failure) {
        ReleaseDevice(device, header);
        return NULL;
    }
    if (waveOutClose(device) != MMSYSERR_NOERROR) {
        *failure = "Error closing wave device.";
        return NULL;
    }
    return device;
}

DWORD_PTR PlayWaveMessage(WORD deviceId, const char *fileName) {
    UINT error;
    HMMIO file = OpenWaveFile(fileName, &error);
    if (!file) {
        ReportOpenFailure(fileName, error);
        return 0;
    }
    WaveMessage blocks;
    WaveRead read = ReadWaveMessage(file, &blocks);
    mmioClose(file, 0);
    if (read != WAVE_READ_OK)
        return 0;

    WAVEHDR *header = (WAVEHDR *)calloc(1, sizeof(WAVEHDR));
    if (!header) {
        FreeWaveMessage(&blocks);
        return 0;
    }
    header->lpData = blocks.data;
    header->dwBufferLength = blocks.dataSize;
    header->dwFlags = 0;
    header->dwLoops = 0;
    header->dwUser = 0;

    const char *failure = NULL;
    HWAVEOUT device = PlayOnDevice(deviceId, blocks.format, header, &failure);
    FreeBlocks(&blocks, header);
    if (failure) {
        MessageBoxA(NULL, failure, "", kPlainBox);
        return 0;
    }
    return (DWORD_PTR)device;
}
