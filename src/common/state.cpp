// The process-wide state record and the whitespace trimmer every subsystem shares.
#include "common/state.h"

#include <string.h>

ScreeningState g_state;

static int IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

char *TrimWhitespace(char *text) {
    size_t len = strlen(text);
    while (len > 0 && IsBlank(text[len - 1]))
        text[--len] = '\0';
    size_t start = 0;
    while (start < len && IsBlank(text[start]))
        start++;
    if (start > 0)
        memmove(text, text + start, len - start + 1);
    return text;
}
