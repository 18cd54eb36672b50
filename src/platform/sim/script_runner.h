// Setting the simulated machine up from a script's machine description, and playing a script's
// timed events on the machine's clock.
#ifndef RINGWARD_SIM_SCRIPT_RUNNER_H
#define RINGWARD_SIM_SCRIPT_RUNNER_H

#include "platform/sim/script.h"

#include <functional>
#include <string>

namespace sim {

// The default machine: one Agere voice modem on line 0, its registry key with the
// "Manufacturer" value, and the default wave-out devices (device 0 is the modem's, 8 kHz PCM).
void LoadDefaultMachine();

// Sets the machine up as described says: the default machine unless described replaces it, then the
// devices, registry values and wave-out devices described adds.
void LoadMachine(const MachineDescription &described);

// Performs a user action of a script (the parser has let through only known ones).
using UserActionHandler = std::function<void(const ScriptEvent &event)>;

// Schedules every timed event of script on the machine's clock, from now on; with a loop time
// the events come again and again. Without a handler, user actions are passed over.
void ScheduleScript(const Script &script, UserActionHandler user);

// The user actions a script may name, on the simulated window system: press, ok, escape,
// enter, tab, space, close, about, command, syscommand, minimize, restore, signal.
bool PerformUserAction(const ScriptEvent &event);

} // namespace sim

#endif
