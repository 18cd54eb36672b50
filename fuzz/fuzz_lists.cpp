// The number lists: the input's bytes are "Accept Always.txt" and "Block.txt" (split at the
// first form feed; without one, both files get all of it). Loading must stay inside the tables,
// store only normalised entries and names of at most 47 characters, and leave nothing open.
#include "common/state.h"
#include "fuzz_support.h"
#include "lists/lists.h"
#include "platform/sim/memory.h"
#include "platform/sim/sim.h"

#include <string.h>

namespace {

void CheckTable(char (*entries)[kEntrySize], int count, const char *what) {
    fuzz::Require(count >= 0 && count <= kListSlots, what);
    for (int i = 0; i < count; i++) {
        fuzz::Require(memchr(entries[i], '\0', kEntrySize) != nullptr, what);
        fuzz::Require(entries[i][0] != '\0', "no empty entry");
        fuzz::Require(fuzz::IsNormalizedNumber(entries[i]), "entries are normalised");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    fuzz::EnterWorkDirectory();
    const uint8_t *split = (const uint8_t *)memchr(data, '\f', size);
    size_t acceptSize = split ? (size_t)(split - data) : size;
    const uint8_t *block = split ? split + 1 : data;
    size_t blockSize = split ? size - acceptSize - 1 : size;
    fuzz::WriteBytes("Accept Always.txt", data, acceptSize);
    fuzz::WriteBytes("Block.txt", block, blockSize);

    sim::Reset();
    g_state = ScreeningState();
    LoadAcceptList();
    fuzz::Require(LoadBlockList() == 0, "Block.txt opens");

    CheckTable(g_state.acceptList, g_state.acceptCount, "accept entries");
    CheckTable(g_state.blockList, g_state.blockCount, "block entries");
    for (int i = 0; i < g_state.blockCount; i++) {
        fuzz::Require(memchr(g_state.blockMessages[i], '\0', kMessageNameSize) != nullptr,
                      "message names are terminated");
    }
    fuzz::Require(!g_state.acceptFile && !g_state.blockFile, "both files closed");
    fuzz::Require(sim::MessageBoxes().size() <= 2, "at most the two limit messages");
    fuzz::Require(sim::HeldBlocks() == 0, "loading allocates nothing");
    return 0;
}
