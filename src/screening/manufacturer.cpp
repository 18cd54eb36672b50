// The modem's chipset maker: the "Manufacturer" value of its registry key, and the search for
// a maker's name in it without regard to letter case.
#include "screening/screening.h"

#include "common/state.h"
#include "diag/errhan.h"

#include <string.h>

static const char kManufacturerValue[] = "Manufacturer";

// The registry hands back the stored bytes as they are: a value written without its NUL, or
// one the buffer could not hold, must not leave the text unterminated.
static void Terminate(char *text, DWORD size) {
    DWORD end = size < (DWORD)kManufacturerSize ? size : (DWORD)kManufacturerSize - 1;
    text[end] = '\0';
}

RegistryStep ReadModemManufacturer(const char *subKey, char *out, LONG *status) {
    memset(out, 0, kManufacturerSize);
    HKEY key = NULL;
    *status = RegOpenKeyExA(HKEY_LOCAL_MACHINE, subKey, 0, KEY_QUERY_VALUE, &key);
    if (*status != ERROR_SUCCESS)
        return REGISTRY_OPEN_FAILED;

    DWORD type = REG_NONE;
    DWORD size = kManufacturerSize;
    *status = RegQueryValueExA(key, kManufacturerValue, NULL, &type, (LPBYTE)out, &size);
    if (*status != ERROR_SUCCESS) {
        memset(out, 0, kManufacturerSize); // what a failed query left in it is undefined
        RegCloseKey(key);
        return REGISTRY_QUERY_FAILED;
    }
    Terminate(out, size);

    *status = RegCloseKey(key);
    return *status == ERROR_SUCCESS ? REGISTRY_READ : REGISTRY_CLOSE_FAILED;
}

static const struct {
    RegistryStep step;
    const char *tag;
    const char *message;
} kRegistryReports[] = {
    {REGISTRY_OPEN_FAILED, "SBD 300", "F - Error opening modem key."},
    {REGISTRY_QUERY_FAILED, "SBD 320", "F - Error querying registry."},
    {REGISTRY_CLOSE_FAILED, "SBD 340", "F - Error closing the registry key."},
};

LONG GetModemManufacturer(const char *subKey, char **out) {
    LONG status = 0;
    RegistryStep step = ReadModemManufacturer(subKey, g_state.manufacturer, &status);
    for (const auto &report : kRegistryReports) {
        if (report.step == step) {
            ErrHan(&status, cond::F, report.tag, report.message);
            return -1;
        }
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
