// How much the simulated machine keeps of what happened on it. Tests look at everything
// afterwards: the journal of every platform call, and the samples of every buffer played. A
// long run of the program needs neither, and keeping them would make it grow with every call,
// so it can let them go. sim::Reset brings both back to being kept.
#ifndef RINGWARD_SIM_RECORDS_H
#define RINGWARD_SIM_RECORDS_H

namespace sim {

// false: platform calls are still counted and failures still injected, but not recorded.
void KeepJournal(bool keep);
bool JournalKept();

// false: a buffer is in PlayedBuffers() only while it plays; once no device plays any more,
// the records are dropped, samples and all.
void KeepPlayedBuffers(bool keep);
bool PlayedBuffersKept();

} // namespace sim

#endif
