// Control interface of the simulated multimedia services: the machine's wave-out devices and the
// formats each plays, and a record of every buffer played, for checks of what a caller heard and
// for writing it out as WAVE files.
//
// Multimedia files are real files opened for reading. A wave-out device plays a buffer in the
// data's own time (its length over nAvgBytesPerSec) on the machine's clock, and then marks the
// header done; with the simulated clock that costs no real time.
#ifndef RINGWARD_SIM_MULTIMEDIA_H
#define RINGWARD_SIM_MULTIMEDIA_H

#include "platform/platform.h"

#include <stdint.h>
#include <string>
#include <vector>

namespace sim {

// One format a device plays without the wave mapper's help.
struct WaveFormatSpec {
    WORD formatTag; // WAVE_FORMAT_PCM or a compressed format's tag
    WORD channels;
    DWORD samplesPerSec;
    WORD bitsPerSample;
};

struct WaveOutDevice {
    std::string name;
    std::vector<WaveFormatSpec> nativeFormats;
    bool preferred; // the one WAVE_MAPPER plays on; without one, device 0
};

// The default machine: device 0 is the voice modem's wave-out device (8 kHz mono PCM, 16 or
// 8 bits), device 1 the sound card's speakers (PCM 8 or 16 bits, mono or stereo, the usual
// rates from 8 to 48 kHz), the preferred device.
std::vector<WaveOutDevice> DefaultWaveOutDevices();
// Replaces the machine's devices (their ids are their places); none open may be in use.
void SetWaveOutDevices(const std::vector<WaveOutDevice> &devices);
const std::vector<WaveOutDevice> &WaveOutDevices();

// One buffer as the device played it. The format record is the bytes the device read at open
// (16 for PCM, 18 plus cbSize otherwise); the samples are the bytes played, all of them unless
// a reset cut the buffer short.
struct PlayedBuffer {
    UINT deviceId;
    std::string format;
    std::string samples;
    bool mapped;      // the wave mapper converted it: the device has no such native format
    std::string file; // the multimedia file opened last before the device was opened
    uint64_t startMs; // when the device began to play it
    uint64_t endMs;   // when it finished or was stopped
    bool complete;    // played to the end
};
const std::vector<PlayedBuffer> &PlayedBuffers();
void ClearPlayedBuffers();

// A played buffer as the bytes of a RIFF WAVE file.
std::string PlayedBufferAsWave(const PlayedBuffer &buffer);
// Writes every buffer played so far into folder, as "<n>-<file>" (n from 1, file the name the
// buffer came from without its folders, or "buffer.wav"). Returns how many were written, or -1
// when one could not be.
int WritePlayedMessages(const std::string &folder);

// The name of the multimedia file opened last (as given, with forward slashes), or "".
const std::string &LastMultimediaFileOpened();

// Handles open now, for checks that a run released what it opened.
size_t OpenMultimediaFiles();
size_t OpenWaveOutHandles();

} // namespace sim

#endif
