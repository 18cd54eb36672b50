// Pieces of the simulated machine that only its own files share.
#ifndef RINGWARD_SIM_INTERNAL_H
#define RINGWARD_SIM_INTERNAL_H

namespace sim {

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

// Called after the exception filter when the process dies of a fatal signal (only
// async-signal-safe work: the terminal display restores the terminal with it).
void SetFatalSignalHook(void (*hook)());

} // namespace sim

#endif
