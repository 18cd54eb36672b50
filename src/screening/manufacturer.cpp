// The modem's chipset maker: the "Manufacturer" value of its registry key, and the search for
// a maker's name in it without regard to letter case.
#include "screening/screening.h"

#include "common/state.h"
#include "diag/errhan.h"

#include <string.h>

static const char kManufacturerValue[] = "Manufacturer";

// The registry hands back the stored bytes as they are: a value written without its NUL, or
// one the buffer could not hold, must not leave the text unterminated.
static void TerminateManufacturer(DWORD size) {
    DWORD end = size < (DWORD)kManufacturerSize ? size : (DWORD)kManufacturerSize - 1;
    g_state.manufacturer[end] = '\0';
}

static void EmptyManufacturer(void) {
    memset(g_state.manufacturer, 0, sizeof g_state.manufacturer);
}

LONG GetModemManufacturer(const char *subKey, char **out) {
    EmptyManufacturer();

    HKEY key = NULL;
    LONG status = RegOpenKeyExA(HKEY_LOCAL_MACHINE, subKey, 0, KEY_QUERY_VALUE, &key);
    if (status != ERROR_SUCCESS) {
        ErrHan(&status, cond::F, "SBD 300", "F - Error opening modem key.");
        return -1;
    }

    DWORD type = REG_NONE;
    DWORD size = kManufacturerSize;
    status =
        RegQueryValueExA(key, kManufacturerValue, NULL, &type, (LPBYTE)g_state.manufacturer, &size);
    if (status != ERROR_SUCCESS) {
        EmptyManufacturer(); // what a failed query left in the buffer is undefined
        RegCloseKey(key);
        ErrHan(&status, cond::F, "SBD 320", "F - Error querying registry.");
        return -1;
    }
    TerminateManufacturer(size);

    status = RegCloseKey(key);
    if (status != ERROR_SUCCESS) {
        ErrHan(&status, cond::F, "SBD 340", "F - Error closing the registry key.");
        return -1;
    }
    *out = g_state.manufacturer;
    return 0;
}

// Letters A to Z fold to lower case; every other byte stands for itself, whatever the locale.
static char FoldCase(char c) {
    return (c >= 'A' && c <= 'Z') ? (char)(c - 'A' + 'a') : c;
}

const char *StrStrNoCase(const char *text, const char *pattern) {
    if (!text || !pattern || !*text || !*pattern)
        return NULL;
    for (const char *start = text; *start; start++) {
        const char *t = start;
        const char *p = pattern;
        while (*p && *t && FoldCase(*t) == FoldCase(*p)) {
            t++;
            p++;
        }
        if (!*p)
            return start;
        if (!*t)
            return NULL; // the rest of the text is shorter than the pattern
    }
    return NULL;
}
