// The journal and fault hooks that every simulated platform function goes through.
// Portable standard C++: it is also built into the telephony DLL used under Wine.
#ifndef RINGWARD_SIM_JOURNAL_H
#define RINGWARD_SIM_JOURNAL_H

#include <initializer_list>
#include <stdint.h>
#include <string>

namespace sim {

// The platform's usual error for each journalled function, used by FailNthCall.
int64_t TypicalError(const std::string &function);
// Whether function is one of the journalled platform functions, those a fault can be injected
// into.
bool IsJournalled(const std::string &function);

// Called at the start of a simulated function: records the call (its result is filled in by
// Finish) and returns true, with *result set, when a failure is injected for it.
bool Enter(const char *function, std::initializer_list<uint64_t> args, const char *text,
           int64_t *result);
// Records the result of the call last entered and passes it through.
int64_t Finish(int64_t result);

template <typename T> uint64_t Ptr(T *p) {
    return p ? 1 : 0;
}

} // namespace sim

#endif
