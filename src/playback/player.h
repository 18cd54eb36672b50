// The WAVE message player: plays one RIFF WAVE file, whole and synchronously, on a wave-out
// device.
#ifndef RINGWARD_PLAYER_H
#define RINGWARD_PLAYER_H

#include "platform/platform.h"

// Plays fileName on wave-out device deviceId and returns when the last sample has been played.
// Returns the handle under which the device was open (already closed), or 0 on failure; the
// failure has been reported where the user needs to hear of it.
DWORD_PTR PlayWaveMessage(WORD deviceId, const char *fileName);

#endif
