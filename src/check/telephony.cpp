// What the telephony commands share: the heading of a report meant to be pasted whole (the
// checker's version, the system's true version), telephony results, versions and flag words in
// words, a device judged as discovery judges it, and how a variable-size record was fetched.
#include "check/check.h"

#include <string.h>

#ifndef RINGWARD_VERSION
#error "RINGWARD_VERSION is the program's version, from its resource script"
#endif

const char kCheckAppName[] = "ringward-check";

enum : int { kSystemTextSize = 256, kServicePackSize = 128 };

// ntdll's RtlGetVersion tells the true version; GetVersionExA would say 6.2 from Windows 8.1 on
// to a program whose manifest does not name the newer system.
typedef LONG(WINAPI *RtlGetVersionFunction)(PRTL_OSVERSIONINFOEXW info);

// The service pack text, which holds ASCII only, narrowed to char.
static void Narrow(const WCHAR *wide, char *out, size_t size) {
    size_t i = 0;
    for (; i + 1 < size && wide[i]; i++)
        out[i] = wide[i] > 0 && wide[i] < 0x7F ? (char)wide[i] : '?';
    out[i] = '\0';
}

static const char *SystemText(char *out) {
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    FARPROC proc = ntdll ? GetProcAddress(ntdll, "RtlGetVersion") : NULL;
    if (!proc) {
        snprintf(out, kSystemTextSize, "unknown: ntdll.dll has no RtlGetVersion");
        return out;
    }
    RtlGetVersionFunction getVersion = (RtlGetVersionFunction)(void (*)(void))proc;
    OSVERSIONINFOEXW info;
    memset(&info, 0, sizeof info);
    info.dwOSVersionInfoSize = sizeof info;
    LONG status = getVersion(&info);
    if (status != 0) {
        snprintf(out, kSystemTextSize, "unknown: RtlGetVersion returned 0x%08lX",
                 (unsigned long)(DWORD)status);
        return out;
    }
    char servicePack[kServicePackSize];
    Narrow(info.szCSDVersion, servicePack, sizeof servicePack);
    snprintf(out, kSystemTextSize, "Windows %lu.%lu build %lu%s%s%s%s",
             (unsigned long)info.dwMajorVersion, (unsigned long)info.dwMinorVersion,
             (unsigned long)info.dwBuildNumber, servicePack[0] ? " (" : "", servicePack,
             servicePack[0] ? ")" : "", info.wProductType == VER_NT_WORKSTATION ? "" : ", server");
    return out;
}

void PrintReportHeading(FILE *out, const char *command) {
    char system[kSystemTextSize];
    fprintf(out, "ringward-check %s %s: paste all of this into a report\n", RINGWARD_VERSION,
            command);
    fprintf(out, "system:    %s\n", SystemText(system));
}

static const struct {
    DWORD code;
    const char *name;
} kLineErrors[] = {
    {LINEERR_ALLOCATED, "LINEERR_ALLOCATED"},
    {LINEERR_BADDEVICEID, "LINEERR_BADDEVICEID"},
    {LINEERR_INCOMPATIBLEAPIVERSION, "LINEERR_INCOMPATIBLEAPIVERSION"},
    {LINEERR_INCOMPATIBLEEXTVERSION, "LINEERR_INCOMPATIBLEEXTVERSION"},
    {LINEERR_INUSE, "LINEERR_INUSE"},
    {LINEERR_INVALAPPHANDLE, "LINEERR_INVALAPPHANDLE"},
    {LINEERR_INVALCALLHANDLE, "LINEERR_INVALCALLHANDLE"},
    {LINEERR_INVALCALLSELECT, "LINEERR_INVALCALLSELECT"},
    {LINEERR_INVALCALLSTATE, "LINEERR_INVALCALLSTATE"},
    {LINEERR_INVALDEVICECLASS, "LINEERR_INVALDEVICECLASS"},
    {LINEERR_INVALLINEHANDLE, "LINEERR_INVALLINEHANDLE"},
    {LINEERR_INVALMEDIAMODE, "LINEERR_INVALMEDIAMODE"},
    {LINEERR_INVALPARAM, "LINEERR_INVALPARAM"},
    {LINEERR_INVALPOINTER, "LINEERR_INVALPOINTER"},
    {LINEERR_INVALPRIVSELECT, "LINEERR_INVALPRIVSELECT"},
    {LINEERR_NODEVICE, "LINEERR_NODEVICE"},
    {LINEERR_NODRIVER, "LINEERR_NODRIVER"},
    {LINEERR_NOMEM, "LINEERR_NOMEM"},
    {LINEERR_NOTOWNER, "LINEERR_NOTOWNER"},
    {LINEERR_OPERATIONFAILED, "LINEERR_OPERATIONFAILED"},
    {LINEERR_OPERATIONUNAVAIL, "LINEERR_OPERATIONUNAVAIL"},
    {LINEERR_RESOURCEUNAVAIL, "LINEERR_RESOURCEUNAVAIL"},
    {LINEERR_STRUCTURETOOSMALL, "LINEERR_STRUCTURETOOSMALL"},
    {LINEERR_UNINITIALIZED, "LINEERR_UNINITIALIZED"},
    {LINEERR_REINIT, "LINEERR_REINIT"},
};

const char *ResultText(LONG result, char *out) {
    if (result == 0) {
        snprintf(out, kResultTextSize, "0");
        return out;
    }
    for (const auto &error : kLineErrors) {
        if ((DWORD)result == error.code) {
            snprintf(out, kResultTextSize, "%s (0x%08lX)", error.name, (unsigned long)error.code);
            return out;
        }
    }
    snprintf(out, kResultTextSize, "%ld (0x%08lX)", (long)result, (unsigned long)(DWORD)result);
    return out;
}

int SayTelephonyUnusable(FILE *out, LONG result) {
    char text[kResultTextSize];
    fprintf(out, "telephony: lineInitializeExA: %s: the telephony system cannot be used\n",
            ResultText(result, text));
    return kExitUsage;
}

const char *VersionText(DWORD version, char *out) {
    snprintf(out, kResultTextSize, "0x%08lX (%u.%u)", (unsigned long)version,
             (unsigned)HIWORD(version), (unsigned)LOWORD(version));
    return out;
}

const char *FlagsText(DWORD value, const FlagName *names, size_t count, char *out) {
    int used = snprintf(out, kFlagsTextSize, "0x%08lX", (unsigned long)value);
    const char *separator = " (";
    DWORD rest = value;
    for (size_t i = 0; i < count && used < kFlagsTextSize; i++) {
        if (!(value & names[i].bit))
            continue;
        used += snprintf(out + used, kFlagsTextSize - used, "%s%s", separator, names[i].name);
        separator = " ";
        rest &= ~names[i].bit;
    }
    if (rest && value != rest && used < kFlagsTextSize)
        used += snprintf(out + used, kFlagsTextSize - used, " 0x%lX", (unsigned long)rest);
    if (value != rest && used < kFlagsTextSize)
        snprintf(out + used, kFlagsTextSize - used, ")");
    return out;
}

void JudgeLineDevice(HLINEAPP app, DWORD id, DWORD highestVersion, DeviceJudgement *judgement) {
    judgement->verdict = ExamineLineDevice(app, id, highestVersion, &judgement->facts);
    judgement->manufacturer[0] = '\0';
    judgement->registryStep = REGISTRY_READ;
    judgement->registryStatus = 0;
    if (judgement->verdict != DEVICE_KEY_FOUND)
        return;
    judgement->registryStep = ReadModemManufacturer(
        judgement->facts.keyPath, judgement->manufacturer, &judgement->registryStatus);
    judgement->verdict = judgement->registryStep == REGISTRY_READ
                             ? JudgeModemMaker(&judgement->facts, judgement->manufacturer)
                             : DEVICE_MAKER_UNREADABLE;
}

const char *CapsBytes(const LineDeviceFacts *facts, DWORD size, DWORD offset) {
    if (!facts->caps || offset > facts->capsSize || size > facts->capsSize - offset)
        return NULL;
    return (const char *)facts->caps + offset;
}

const char *LineNameText(const LineDeviceFacts *facts, char *out) {
    const LINEDEVCAPS *caps = facts->caps;
    const char *name = caps && facts->capsResult == 0
                           ? CapsBytes(facts, caps->dwLineNameSize, caps->dwLineNameOffset)
                           : NULL;
    DWORD size = name ? caps->dwLineNameSize : 0;
    while (size > 0 && name[size - 1] == '\0')
        size--;
    if (!size) {
        snprintf(out, kShownSize, "(no name)");
        return out;
    }
    return QuotedBytes(name, size, out);
}

const char *RequestsText(const RecordRequests *requests, char *out) {
    char first[kResultTextSize], last[kResultTextSize];
    int used = snprintf(
        out, kFindingSize, "%lu bytes: %s, dwNeededSize %lu", (unsigned long)requests->firstSize,
        ResultText(requests->firstResult, first), (unsigned long)requests->firstNeeded);
    if (requests->count > 1 && used < kFindingSize)
        snprintf(out + used, kFindingSize - used, "; then %lu bytes (%d requests): %s",
                 (unsigned long)requests->lastSize, requests->count,
                 ResultText(requests->lastResult, last));
    return out;
}
