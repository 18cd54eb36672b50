// The player's reading of a message file: the RIFF "WAVE" chunk found from the start of the
// file, the "fmt " chunk inside it read whole as the device's format record, and the "data"
// chunk after it read whole into memory. Each failure is named, and leaves nothing held.
#include "playback/wave_file.h"

#include <stdlib.h>
#include <string.h>

enum : DWORD {
    kPcmRecordSize = 16,       // what a device reads of a PCM format record
    kFormatHeaderSize = 18,    // a WAVEFORMATEX up to cbSize, which announces the bytes after it
    kLargestRead = 0x7FFFFFFF, // the most one mmioRead can be asked for
};

HMMIO OpenWaveFile(const char *fileName, UINT *error) {
    MMIOINFO info;
    memset(&info, 0, sizeof info); // the open leaves its error code in it
    HMMIO file = mmioOpenA((LPSTR)fileName, &info, MMIO_ALLOCBUF | MMIO_READ);
    *error = file ? 0 : info.wErrorRet;
    return file;
}

// Reads the body of the chunk the file stands in into a new zero-filled block, or says why
// there is none.
static WaveRead ReadChunkBody(HMMIO file, const MMCKINFO *chunk, char **body) {
    *body = NULL;
    if (chunk->cksize > kLargestRead)
        return WAVE_TRUNCATED; // no file the player reads holds that much
    char *block = (char *)calloc(chunk->cksize, 1);
    if (!block)
        return WAVE_NO_MEMORY;
    if (mmioRead(file, block, (LONG)chunk->cksize) != (LONG)chunk->cksize) {
        free(block);
        return WAVE_TRUNCATED;
    }
    *body = block;
    return WAVE_READ_OK;
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

// Finds the chunk id inside the RIFF chunk, from where the file stands; 1 when there is one.
static int FindChunk(HMMIO file, const MMCKINFO *riff, FOURCC id, MMCKINFO *chunk) {
    memset(chunk, 0, sizeof *chunk);
    chunk->ckid = id;
    return mmioDescend(file, chunk, riff, MMIO_FINDCHUNK) == MMSYSERR_NOERROR;
}

// Finds and reads the "fmt " chunk of the RIFF chunk.
static WaveRead ReadFormat(HMMIO file, const MMCKINFO *riff, WaveMessage *message) {
    MMCKINFO chunk;
    if (!FindChunk(file, riff, mmioFOURCC('f', 'm', 't', ' '), &chunk))
        return WAVE_NO_FORMAT;
    char *format;
    WaveRead read = ReadChunkBody(file, &chunk, &format);
    if (read != WAVE_READ_OK)
        return read;
    if (!FormatRecordFits(format, chunk.cksize)) {
        free(format);
        return WAVE_SHORT_FORMAT;
    }
    mmioAscend(file, &chunk, 0); // not judged: the "data" search starts wherever it leaves us
    message->format = format;
    message->formatSize = chunk.cksize;
    return WAVE_READ_OK;
}

// Finds and reads the "data" chunk that follows the "fmt " chunk.
static WaveRead ReadData(HMMIO file, const MMCKINFO *riff, WaveMessage *message) {
    MMCKINFO chunk;
    if (!FindChunk(file, riff, mmioFOURCC('d', 'a', 't', 'a'), &chunk))
        return WAVE_NO_DATA;
    if (chunk.cksize == 0)
        return WAVE_EMPTY_DATA;
    message->dataSize = chunk.cksize;
    return ReadChunkBody(file, &chunk, &message->data);
}

WaveRead ReadWaveMessage(HMMIO file, WaveMessage *message) {
    memset(message, 0, sizeof *message);
    MMCKINFO riff;
    memset(&riff, 0, sizeof riff);
    riff.fccType = mmioFOURCC('W', 'A', 'V', 'E');
    if (mmioDescend(file, &riff, NULL, MMIO_FINDRIFF) != MMSYSERR_NOERROR)
        return WAVE_NO_RIFF;
    WaveRead read = ReadFormat(file, &riff, message);
    if (read != WAVE_READ_OK)
        return read;
    read = ReadData(file, &riff, message);
    if (read != WAVE_READ_OK) {
        free(message->format);
        memset(message, 0, sizeof *message);
    }
    return read;
}

void FreeWaveMessage(WaveMessage *message) {
    free(message->data);
    free(message->format);
}
