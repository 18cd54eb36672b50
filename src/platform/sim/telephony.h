// Control of the simulated telephony service for tests, the demo and scripted runs.
#ifndef RINGWARD_SIM_TELEPHONY_H
#define RINGWARD_SIM_TELEPHONY_H

#include "platform/sim/line_service.h"

namespace sim {

// The registry path of the default machine's modem, under HKEY_LOCAL_MACHINE.
extern const char kDefaultModemKey[];

// A voice modem line as a typical modem provider describes it.
LineDeviceConfig VoiceModemDevice(const std::string &keyPath, DWORD waveOutId);

} // namespace sim

#endif
