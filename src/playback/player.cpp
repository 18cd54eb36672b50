// The WAVE message player: reads the format record and the whole sample data of a RIFF WAVE file
// into memory, plays the samples as one buffer and waits, polling, until the device is done.
//
// The blocks are freed only once the device has let go of them, and the device's messages are
// shown only after that: a message box runs a message loop, in which a line event may end the
// program before the box returns.
#include "playback/player.h"

#include "diag/errhan.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

enum : int {
    kOpenReportSize = 256, // the message of the open-failure report
    kPollMs = 20,          // between two looks at the header's done flag
};
enum : DWORD {
    kPcmRecordSize = 16,       // what a device reads of a PCM format record
    kFormatHeaderSize = 18,    // a WAVEFORMATEX up to cbSize, which announces the bytes after it
    kLargestRead = 0x7FFFFFFF, // the most one mmioRead can be asked for
};

static const UINT kPlainBox = MB_OK; // no icon: these are not failure reports

// What the file holds for the device: the format record and the sample data, with their sizes.
struct MessageBlocks {
    char *format;
    DWORD formatSize;
    char *data;
    DWORD dataSize;
};

static void ReportOpenFailure(const char *fileName, UINT error) {
    char message[kOpenReportSize];
    snprintf(message, sizeof message, "%s\n%s%s", "F - Error during mmioOpen.",
             "file path: ", fileName);
    LONG value = (LONG)error;
    ErrHan(&value, cond::F, "PLA 300", message);
}

static HMMIO OpenMessageFile(const char *fileName) {
    MMIOINFO info;
    memset(&info, 0, sizeof info); // the open leaves its error code in it
    HMMIO file = mmioOpenA((LPSTR)fileName, &info, MMIO_ALLOCBUF | MMIO_READ);
    if (!file)
        ReportOpenFailure(fileName, info.wErrorRet);
    return file;
}

// Reads the body of the chunk the file stands in into a new zero-filled block. Null when no
// block can be had or the file holds less than the chunk announces.
static char *ReadChunkBody(HMMIO file, const MMCKINFO *chunk) {
    if (chunk->cksize > kLargestRead)
        return NULL;
    char *block = (char *)calloc(chunk->cksize, 1);
    if (!block)
        return NULL;
    if (mmioRead(file, block, (LONG)chunk->cksize) != (LONG)chunk->cksize) {
        free(block);
        return NULL;
    }
    return block;
}

static WORD ReadWord(const char *bytes) {
    WORD value;
    memcpy(&value, bytes, sizeof value);
    return value;
}

// The device reads a whole format record: 16 bytes for PCM, otherwise 18 and the extra bytes
// that cbSize announces. A shorter chunk would have it read past the block.
static int FormatRecordFits(const char *format, DWORD size) {
    if (size < sizeof(WORD))
        return 0;
    if (ReadWord(format) == WAVE_FORMAT_PCM)
        return size >= kPcmRecordSize;
    if (size < kFormatHeaderSize)
        return 0;
    return size >= kFormatHeaderSize + ReadWord(format + offsetof(WAVEFORMATEX, cbSize));
}

// Finds and reads the "fmt " chunk of the RIFF chunk. Null on any failure, nothing left held.
static char *ReadFormat(HMMIO file, const MMCKINFO *riff, DWORD *size) {
    MMCKINFO chunk;
    memset(&chunk, 0, sizeof chunk);
    chunk.ckid = mmioFOURCC('f', 'm', 't', ' ');
    if (mmioDescend(file, &chunk, riff, MMIO_FINDCHUNK) != MMSYSERR_NOERROR)
        return NULL;
    char *format = ReadChunkBody(file, &chunk);
    if (format && !FormatRecordFits(format, chunk.cksize)) {
        free(format);
        return NULL;
    }
    if (!format)
        return NULL;
    mmioAscend(file, &chunk, 0); // not judged: the "data" search starts wherever it leaves us
    *size = chunk.cksize;
    return format;
}

// Finds and reads the "data" chunk that follows the "fmt " chunk. Null on any failure.
static char *ReadData(HMMIO file, const MMCKINFO *riff, DWORD *size) {
    MMCKINFO chunk;
    memset(&chunk, 0, sizeof chunk);
    chunk.ckid = mmioFOURCC('d', 'a', 't', 'a');
    if (mmioDescend(file, &chunk, riff, MMIO_FINDCHUNK) != MMSYSERR_NOERROR)
        return NULL;
    if (chunk.cksize == 0)
        return NULL;
    *size = chunk.cksize;
    return ReadChunkBody(file, &chunk);
}

// Reads the format record and the samples of an open file. 1 with both blocks held, or 0 with
// neither.
static int ReadMessage(HMMIO file, MessageBlocks *blocks) {
    MMCKINFO riff;
    memset(&riff, 0, sizeof riff);
    riff.fccType = mmioFOURCC('W', 'A', 'V', 'E');
    if (mmioDescend(file, &riff, NULL, MMIO_FINDRIFF) != MMSYSERR_NOERROR)
        return 0;
    blocks->format = ReadFormat(file, &riff, &blocks->formatSize);
    if (!blocks->format)
        return 0;
    blocks->data = ReadData(file, &riff, &blocks->dataSize);
    if (!blocks->data) {
        free(blocks->format);
        blocks->format = NULL;
        return 0;
    }
    return 1;
}

static void FreeBlocks(MessageBlocks *blocks, WAVEHDR *header) {
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
    HMMIO file = OpenMessageFile(fileName);
    if (!file)
        return 0;
    MessageBlocks blocks;
    memset(&blocks, 0, sizeof blocks);
    int haveMessage = ReadMessage(file, &blocks);
    mmioClose(file, 0);
    if (!haveMessage)
        return 0;

    WAVEHDR *header = (WAVEHDR *)calloc(1, sizeof(WAVEHDR));
    if (!header) {
        free(blocks.data);
        free(blocks.format);
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
