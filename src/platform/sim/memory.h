// Control interface of the simulated heap. The program's calloc, realloc and free are journalled
// under those names: calloc(count, size) and realloc(block, size) return the block's serial number
// (0 for a failure), free(block) names the serial of the block released. A serial stays with its
// block through a realloc. FailCall("calloc", 0) makes the next calloc fail.
#ifndef RINGWARD_SIM_MEMORY_H
#define RINGWARD_SIM_MEMORY_H

#include <stddef.h>

namespace sim {

// Blocks the program has allocated and not yet freed since the machine was booted.
size_t HeldBlocks();

// The largest block the heap hands out (a machine with less memory); 0 brings back the default,
// just under 2 GiB, as for a 32-bit process. A larger request fails as when memory runs out.
void SetLargestBlock(size_t bytes);

} // namespace sim

#endif
