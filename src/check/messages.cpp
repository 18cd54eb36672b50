// The message files, judged as the player would meet them: a name that Windows takes for a
// device, a file that is missing or that the player's reading refuses, and a format other than
// the one voice modems commonly play natively (the program hands the file over as it is).
#include "check/check.h"

#include "playback/wave_file.h"

#include <stdlib.h>
#include <string.h>

enum : int {
    kDeviceNameSize = 8, // "COM1" and its NUL, with room
    kNativeRate = 8000,
};

// Names Windows opens as devices, whatever the extension: CON, PRN, AUX, NUL, COM1-9, LPT1-9.
// Writes the device's name into device when fileName's last part is one.
static int IsDeviceName(const char *fileName, char *device) {
    const char *base = fileName;
    for (const char *p = fileName; *p; p++)
        if (*p == '/' || *p == '\\' || *p == ':')
            base = p + 1;
    size_t length = strcspn(base, ".");
    while (length > 0 && base[length - 1] == ' ')
        length--;
    if (length != 3 && length != 4)
        return 0;
    for (size_t i = 0; i < length; i++) {
        char c = base[i];
        device[i] = c >= 'a' && c <= 'z' ? (char)(c - 'a' + 'A') : c;
    }
    device[length] = '\0';
    if (length == 3)
        return !strcmp(device, "CON") || !strcmp(device, "PRN") || !strcmp(device, "AUX") ||
               !strcmp(device, "NUL");
    return (!strncmp(device, "COM", 3) || !strncmp(device, "LPT", 3)) && device[3] >= '1' &&
           device[3] <= '9';
}

static const char *WhyUnreadable(WaveRead read) {
    switch (read) {
    case WAVE_NO_RIFF:
        return "is not a WAVE file (no RIFF \"WAVE\" chunk)";
    case WAVE_NO_FORMAT:
        return "is not a WAVE file the player reads: it has no \"fmt \" chunk";
    case WAVE_SHORT_FORMAT:
        return "is not a WAVE file the player reads: its \"fmt \" chunk is too short for its "
               "format";
    case WAVE_NO_DATA:
        return "is not a WAVE file the player reads: no \"data\" chunk follows its \"fmt \" "
               "chunk";
    case WAVE_EMPTY_DATA:
        return "holds no samples (its \"data\" chunk is empty)";
    case WAVE_TRUNCATED:
        return "is cut short: a chunk announces more bytes than the file holds";
    default:
        return "is too large to be read into memory";
    }
}

static WORD WordAt(const char *bytes, size_t offset) {
    WORD value;
    memcpy(&value, bytes + offset, sizeof value);
    return value;
}

static DWORD DwordAt(const char *bytes, size_t offset) {
    DWORD value;
    memcpy(&value, bytes + offset, sizeof value);
    return value;
}

// What keeps the format record from being one the modem plays natively; null when it is.
static const char *FormatProblem(const char *format, char *out) {
    static const char kNative[] = "voice modems commonly play only 8000 Hz mono 8- or 16-bit "
                                  "PCM natively, and the program hands the file over as it is";
    WORD tag = WordAt(format, offsetof(WAVEFORMATEX, wFormatTag));
    WORD channels = WordAt(format, offsetof(WAVEFORMATEX, nChannels));
    DWORD rate = DwordAt(format, offsetof(WAVEFORMATEX, nSamplesPerSec));
    WORD bits = WordAt(format, offsetof(WAVEFORMATEX, wBitsPerSample));
    if (tag != WAVE_FORMAT_PCM) {
        snprintf(out, kFindingSize, "is in format 0x%04X, not PCM: %s", (unsigned)tag, kNative);
        return out;
    }
    if (channels == 1 && rate == kNativeRate && (bits == 8 || bits == 16))
        return NULL;
    char layout[16];
    if (channels == 1 || channels == 2)
        snprintf(layout, sizeof layout, "%s", channels == 1 ? "mono" : "stereo");
    else
        snprintf(layout, sizeof layout, "%u-channel", (unsigned)channels);
    snprintf(out, kFindingSize, "is %lu Hz %s %u-bit PCM: %s", (unsigned long)rate, layout,
             (unsigned)bits, kNative);
    return out;
}

const char *MessageProblem(const char *dir, const char *fileName, char *out, int *fatal) {
    char device[kDeviceNameSize];
    *fatal = 1;
    if (IsDeviceName(fileName, device)) {
        snprintf(out, kFindingSize,
                 "is named after the Windows device %s, which Windows opens instead of a file",
                 device);
        return out;
    }
    char path[kPathSize];
    DWORD attributes =
        JoinPath(path, dir, fileName) ? GetFileAttributesA(path) : INVALID_FILE_ATTRIBUTES;
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return "is missing";
    if (attributes & FILE_ATTRIBUTE_DIRECTORY)
        return "is a folder, not a file";
    UINT error;
    HMMIO file = OpenWaveFile(path, &error);
    if (!file) {
        snprintf(out, kFindingSize, "cannot be opened (multimedia error %u)", error);
        return out;
    }
    WaveMessage message;
    WaveRead read = ReadWaveMessage(file, &message);
    mmioClose(file, 0);
    if (read != WAVE_READ_OK)
        return WhyUnreadable(read);
    const char *problem = FormatProblem(message.format, out);
    *fatal = 0; // the wave mapper may still convert it
    FreeWaveMessage(&message);
    return problem;
}
