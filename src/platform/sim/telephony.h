// Control of the simulated telephony service for tests, the demo and scripted runs.
#ifndef RINGWARD_SIM_TELEPHONY_H
#define RINGWARD_SIM_TELEPHONY_H

#include "platform/sim/line_service.h"

namespace sim {

// The registry path of the default machine's modem, under HKEY_LOCAL_MACHINE.
extern const char kDefaultModemKey[];

// A voice modem line as a typical modem provider describes it.
LineDeviceConfig VoiceModemDevice(const std::string &keyPath, DWORD waveOutId);

// Adds a voice modem as line device 0, registers callback with the telephony API and opens the
// modem's line as owner for automated voice, the way modem discovery does, for tests, fuzzing and
// benchmarks of the line handler. The first failing result, or 0 with both handles set.
LONG OpenVoiceModemLine(LINECALLBACK callback, HLINEAPP *app, HLINE *line);

} // namespace sim

#endif
