// The simulated machine as a whole: bringing every part of it back to its state at boot.
#include "platform/sim/internal.h"
#include "platform/sim/sim.h"

namespace sim {

void Reset() {
    ResetTelephony();
    ResetRegistry();
    ResetJournal();
    ResetMemory();
    ResetMmio();
    ResetWaveOut();
    ResetWindows();
    ResetThreadQueue();
    ResetMessages();
    ResetKernel();
    ResetClock();
}

} // namespace sim
