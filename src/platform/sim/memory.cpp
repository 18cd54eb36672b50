// The run-time library's heap as the program sees it: calloc, realloc and free, journalled, each
// block known by a serial number (1 for the first block since boot) so that a journal shows which
// block was released when, and with a count of the blocks still held.
#include "platform/platform.h"
#include "platform/sim/internal.h"
#include "platform/sim/journal.h"
#include "platform/sim/memory.h"

#include <errno.h>
#include <unordered_map>

#undef calloc
#undef realloc
#undef free

namespace {

const uint64_t kLargestBlock = 0x7FFFFFFF; // a 32-bit process never gets a block of 2 GiB

struct HeapState {
    std::unordered_map<void *, uint64_t> serials; // every block the program holds
    uint64_t nextSerial = 1;
    uint64_t largestBlock = kLargestBlock;
};
HeapState &H() {
    static HeapState state;
    return state;
}

uint64_t SerialOf(void *block) {
    auto it = H().serials.find(block);
    return it == H().serials.end() ? 0 : it->second;
}

// The serial that a block handed out gets: a new one, or the one it had before a realloc.
uint64_t Track(void *block, uint64_t serial) {
    if (serial == 0)
        serial = H().nextSerial++;
    H().serials[block] = serial;
    return serial;
}

} // namespace

void *PlatformCalloc(size_t count, size_t size) {
    int64_t injected;
    if (sim::Enter("calloc", {count, size}, NULL, &injected)) {
        errno = ENOMEM;
        return (void *)(uintptr_t)sim::Finish(0);
    }
    if (size != 0 && count > H().largestBlock / size) {
        errno = ENOMEM;
        return (void *)(uintptr_t)sim::Finish(0);
    }
    void *block = calloc(count, size);
    if (!block)
        return (void *)(uintptr_t)sim::Finish(0);
    sim::Finish((int64_t)Track(block, 0));
    return block;
}

void *PlatformRealloc(void *block, size_t size) {
    uint64_t serial = SerialOf(block);
    int64_t injected;
    if (sim::Enter("realloc", {serial, size}, NULL, &injected) || size > H().largestBlock) {
        errno = ENOMEM;
        sim::Finish(0);
        return NULL;
    }
    if (block && size == 0) { // the Windows run-time frees the block and returns null
        H().serials.erase(block);
        free(block);
        sim::Finish(0);
        return NULL;
    }
    void *moved = realloc(block, size);
    if (!moved) {
        sim::Finish(0);
        return NULL;
    }
    H().serials.erase(block);
    sim::Finish((int64_t)Track(moved, serial));
    return moved;
}

void PlatformFree(void *block) {
    uint64_t serial = SerialOf(block);
    if (block && serial == 0) { // not the program's: a library's block
        free(block);
        return;
    }
    int64_t injected; // freeing cannot fail, so an injected failure changes nothing
    sim::Enter("free", {serial}, NULL, &injected);
    H().serials.erase(block);
    free(block);
    sim::Finish(0);
}

size_t sim::HeldBlocks() {
    return H().serials.size();
}

void sim::SetLargestBlock(size_t bytes) {
    H().largestBlock = bytes == 0 || bytes > kLargestBlock ? kLargestBlock : bytes;
}

void sim::ResetMemory() {
    // Blocks still held stay allocated: a leak is the sanitizer's to report.
    H().serials.clear();
    H().nextSerial = 1;
    H().largestBlock = kLargestBlock;
}
