// Reading a message file as the player reads it: the RIFF "WAVE" chunk, its "fmt " record and
// the whole "data" chunk, through the platform's multimedia file I/O. Nothing is reported
// here: the player reports the failures its user must hear of, the list checker names them.
#ifndef RINGWARD_WAVE_FILE_H
#define RINGWARD_WAVE_FILE_H

#include "platform/platform.h"

// What the file holds for the device: the format record and the sample data, with their sizes.
struct WaveMessage {
    char *format;
    DWORD formatSize;
    char *data;
    DWORD dataSize;
};

// Why a file gives no message to play.
enum WaveRead {
    WAVE_READ_OK,
    WAVE_NO_RIFF,      // no RIFF chunk of form type "WAVE"
    WAVE_NO_FORMAT,    // no "fmt " chunk in it
    WAVE_SHORT_FORMAT, // the "fmt " chunk is shorter than the record the device reads
    WAVE_NO_DATA,      // no "data" chunk after the "fmt " chunk
    WAVE_EMPTY_DATA,   // a "data" chunk of size 0
    WAVE_TRUNCATED,    // a chunk announces more bytes than the file holds
    WAVE_NO_MEMORY,    // no block for a chunk's body
};

// Opens fileName for reading as the player does. Null with *error set to the platform's code.
HMMIO OpenWaveFile(const char *fileName, UINT *error);

// Reads the format record and the samples of an open file. WAVE_READ_OK with both blocks
// held by *message, or the reason with neither.
WaveRead ReadWaveMessage(HMMIO file, WaveMessage *message);

// Releases both blocks of a message that was read: the samples, then the format record.
void FreeWaveMessage(WaveMessage *message);

#endif
