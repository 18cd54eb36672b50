// Shared pieces of the fuzz targets.
#include "fuzz_support.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

namespace fuzz {

void EnterWorkDirectory() {
    static bool entered = false;
    if (entered)
        return;
    char pattern[] = "/tmp/ringward-fuzz-XXXXXX";
    Require(mkdtemp(pattern) != nullptr, "a working directory");
    Require(chdir(pattern) == 0, "entering the working directory");
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

} // namespace fuzz
