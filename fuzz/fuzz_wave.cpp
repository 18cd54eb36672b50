// WAVE files: the input's bytes are the message file, played on the modem's wave-out device
// through the simulated multimedia reader. Whatever the chunks announce, the player must read
// only what it allocated, give back every block, file and device, and play only whole data.
#include "fuzz_support.h"
#include "platform/sim/memory.h"
#include "platform/sim/multimedia.h"
#include "platform/sim/sim.h"
#include "playback/player.h"

#include <stdint.h>

// A chunk may announce up to 4 GiB whatever the file holds; the machine here has a heap whose
// largest block is far below that but far above any input, so that such a file takes the
// allocation's failure path at once instead of a slow allocation the read then refuses.
static const size_t kLargestBlock = 1 << 20;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    fuzz::EnterWorkDirectory();
    fuzz::WriteBytes("msg.wav", data, size);

    sim::Reset();
    sim::SetLargestBlock(kLargestBlock);
    sim::SetMessageBoxHandler([](const sim::MessageBoxRecord &) { return IDOK; });
    DWORD_PTR played = PlayWaveMessage(0, "msg.wav");

    fuzz::Require(sim::HeldBlocks() == 0, "every block is freed");
    fuzz::Require(sim::OpenMultimediaFiles() == 0, "the file is closed");
    fuzz::Require(sim::OpenWaveOutHandles() == 0, "the device is closed");
    fuzz::Require(sim::NextTimerDue() == UINT64_MAX, "nothing plays on");
    const std::vector<sim::PlayedBuffer> &buffers = sim::PlayedBuffers();
    if (played) {
        fuzz::Require(buffers.size() == 1 && buffers[0].complete, "a success played it all");
        fuzz::Require(sim::MessageBoxes().empty(), "a success shows nothing");
    }
    fuzz::Require(buffers.size() <= 1, "one buffer at most");
    return 0;
}
