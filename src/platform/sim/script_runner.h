// Setting the simulated machine up from a script's machine description, and playing a script's
// timed events on the machine's clock.
#ifndef RINGWARD_SIM_SCRIPT_RUNNER_H
#define RINGWARD_SIM_SCRIPT_RUNNER_H

#include "platform/sim/script.h"

#include <functional>
#include <string>

namespace sim {

// The script in the file at path, read and parsed; the file names in it count from its folder.
// False with *error as "PATH:LINE: what is wrong", or why the file cannot be read.
bool LoadScriptFile(const std::string &path, Script *script, std::string *error);
// The machine that a --machine FILE option names, in place of a script's: the file's device,
// registry and wave-device lines alone. False with *error as ParseMachineFile says it.
bool LoadMachineFile(const std::string &path, MachineDescription *machine, std::string *error);

// The default machine: one Agere voice modem on line 0, its registry key with the
// "Manufacturer" value, and the default wave-out devices (device 0 is the modem's, 8 kHz PCM).
void LoadDefaultMachine();

// Sets the machine up as described says: the default machine unless described replaces it, then the
// devices, registry values and wave-out devices described adds.
void LoadMachine(const MachineDescription &described);

// Performs a user action of a script; false when the action is unknown.
using UserActionHandler = std::function<bool(const ScriptEvent &event)>;

// Schedules every timed event of script on the machine's clock, from now on; with a loop time
// the events come again and again. Unknown user actions are reported through onError.
void ScheduleScript(const Script &script, UserActionHandler user,
                    std::function<void(const std::string &)> onError);

// The user actions a script may name, on the simulated window system: press, ok, escape,
// enter, tab, space, close, about, command, syscommand, minimize, restore, signal.
bool PerformUserAction(const ScriptEvent &event);

} // namespace sim

#endif
