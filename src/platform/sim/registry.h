// Control interface of the simulated registry: the keys and values under HKEY_LOCAL_MACHINE
// that a test, the demo or a machine description puts there, and what the program left open.
// Key names are compared without regard to case, as the platform does; value data is kept as
// the bytes given.
#ifndef RINGWARD_SIM_REGISTRY_H
#define RINGWARD_SIM_REGISTRY_H

#include "platform/platform.h"

#include <string>

namespace sim {

// Creates the key path (parts separated by "\") under HKEY_LOCAL_MACHINE, with every key above
// it, if it is not there yet.
void CreateRegistryKey(const std::string &keyPath);
// Sets a REG_SZ value: the text and its terminating NUL, as the platform stores strings.
void SetRegistryString(const std::string &keyPath, const std::string &name,
                       const std::string &text);
// Sets a value of any type to exactly the bytes given (a string without its NUL, for one).
void SetRegistryValue(const std::string &keyPath, const std::string &name, DWORD type,
                      const std::string &bytes);
// Removes the key with its values and every key below it. Handles still open on it stay
// valid handles, but their queries fail as on a deleted key.
void RemoveRegistryKey(const std::string &keyPath);
// Empties the registry and forgets every open handle.
void ClearRegistry();
// Number of key handles opened and not yet closed.
int OpenRegistryKeys();

} // namespace sim

#endif
