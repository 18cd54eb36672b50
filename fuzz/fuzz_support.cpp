// Shared pieces of the fuzz targets.
#include "fuzz_support.h"

#include "common/state.h"
#include "platform/sim/sim.h"

#include <filesystem>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

namespace fuzz {

static char workDirectory[] = "/tmp/ringward-fuzz-XXXXXX";

static void RemoveWorkDirectory() {
    std::error_code ignored;
    std::filesystem::remove_all(workDirectory, ignored);
}

void EnterWorkDirectory() {
    static bool entered = false;
    if (entered)
        return;
    Require(mkdtemp(workDirectory) != nullptr, "a working directory");
    Require(chdir(workDirectory) == 0, "entering the working directory");
    atexit(RemoveWorkDirectory); // the fuzzer ends with exit(); a crash leaves it to look at
    entered = true;
}

void WriteBytes(const char *path, const uint8_t *data, size_t size) {
    FILE *file = ::fopen(path, "wb");
    Require(file != nullptr, "writing an input file");
    Require(size == 0 || fwrite(data, 1, size, file) == size, "writing an input file");
    fclose(file);
}

void WriteText(const char *path, const std::string &text) {
    WriteBytes(path, (const uint8_t *)text.data(), text.size());
}

void Require(bool condition, const char *what) {
    if (condition)
        return;
    fprintf(stderr, "broken: %s\n", what);
    abort();
}

bool IsNormalizedNumber(const char *text) {
    size_t length = strlen(text);
    if (length == 1 && strchr("NOP", text[0]))
        return true;
    if (length > 30)
        return false;
    for (size_t i = 0; i < length; i++)
        if (text[i] < '0' || text[i] > '9')
            return false;
    return true;
}

void BootWithSmallLists(std::initializer_list<const char *> moreBlocked) {
    sim::Reset();
    g_state = ScreeningState();
    strcpy(g_state.acceptList[0], "212");
    g_state.acceptCount = 1;
    strcpy(g_state.blockList[0], "800");
    strcpy(g_state.blockMessages[0], "Go Away.wav");
    strcpy(g_state.blockList[1], "P");
    g_state.blockCount = 2;
    for (const char *entry : moreBlocked)
        strcpy(g_state.blockList[g_state.blockCount++], entry);
}

} // namespace fuzz
