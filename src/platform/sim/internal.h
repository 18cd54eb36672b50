// Pieces of the simulated machine that only its own files share.
#ifndef RINGWARD_SIM_INTERNAL_H
#define RINGWARD_SIM_INTERNAL_H

#include "platform/platform.h"
#include "platform/sim/journal.h"

#include <functional>
#include <string>

namespace sim {

// An injected failure of a function that returns a handle or a BOOL: the result is the error
// code it reports through the last error.
template <typename T> T FailWith(int64_t error) {
    SetLastError((DWORD)error);
    Finish(0);
    return (T)0;
}

// Each part of the machine brings itself back to its state at boot; Reset calls them all.
void ResetClock();
void ResetMessages();
void ResetJournal();
void ResetKernel();
void ResetTelephony();
void ResetMemory();
void ResetMmio();
void ResetWaveOut();
void ResetRegistry();
void ResetWindows();
void ResetThreadQueue();

// The thread's queue as GetMessageA reads it. A message to the thread itself waits in turn
// with the others; TakeQueuedMessage hands it out in *toThread with *task empty, and any other
// message as the task that dispatching it runs. False when nothing waits.
void PostThreadQueueMessage(const MSG &msg);
bool TakeQueuedMessage(std::function<void()> *task, MSG *toThread);
// Lets time pass to the next timer or waits for input; false when nothing can happen any more.
bool WaitForSomething();
// Runs the handler for a loop that can get nothing any more; false when there is none.
bool CallIdleEndHandler();

// The handle of the system DLL of that name the machine has ("ntdll.dll"), or 0.
uintptr_t SystemModuleHandle(const char *name);

// The run-time's files (files.cpp), shared with the multimedia files.
// A Windows name as a path here: backslashes between folders become slashes.
std::string LocalPath(const char *name);
// Opens path with the open(2) flags given, but only if it is a regular file: a folder (EISDIR),
// a device or a FIFO (ENODEV) is refused, and opening one never blocks. The descriptor, or -1.
int OpenRegularFile(const std::string &path, int flags);
// The Windows system error code for what errno says of an open, a read or a write of path.
DWORD SystemErrorFor(int error, const std::string &path);

// Called after the exception filter when the process dies of a fatal signal (only
// async-signal-safe work: the terminal display restores the terminal with it).
void SetFatalSignalHook(void (*hook)());

} // namespace sim

#endif
