// What modem discovery finds out about one line device before it opens anything: the version
// negotiated, the capability record and the modem key it names, then whether the key's maker
// and the capabilities make a candidate. Nothing here reports or opens on its own: discovery
// (modem.cpp) judges and reports these facts, and ringward-check prints them, so that both
// reach the same verdict for every device.
#include "screening/screening.h"

#include <stdlib.h>
#include <string.h>

static const DWORD kRequestedVersion = 0x00020002;
static const DWORD kLowestVersion = 0x00020000;
static const char *const kChipsetMakers[] = {"LSI", "Agere", "Lucent"};

enum : int { kOwnerInstance = 1 }; // callback instance of the opened line

struct CapsRequest {
    HLINEAPP app;
    DWORD deviceId;
    DWORD version;
    int requests;
    LONG firstResult;
    DWORD firstNeeded;
};

LONG InitializeTelephony(LINECALLBACK callback, const char *appName, HLINEAPP *app, DWORD *numDevs,
                         DWORD *highestVersion) {
    LINEINITIALIZEEXPARAMS params;
    memset(&params, 0, sizeof params);
    params.dwTotalSize = sizeof params;
    params.dwOptions = LINEINITIALIZEEXOPTION_USEHIDDENWINDOW;
    *highestVersion = kRequestedVersion;
    return lineInitializeExA(app, NULL, callback, appName, numDevs, highestVersion, &params);
}

// The first answer is kept: what a real provider says to a block of the 2.2 size is one of the
// facts a report is for.
static LONG FillDevCaps(void *block, void *context) {
    CapsRequest *request = (CapsRequest *)context;
    LONG result =
        lineGetDevCapsA(request->app, request->deviceId, request->version, 0, (LPLINEDEVCAPS)block);
    if (request->requests++ == 0) {
        request->firstResult = result;
        request->firstNeeded = ((const LINEDEVCAPS *)block)->dwNeededSize;
    }
    return result;
}

// Copies the device-specific block into key and returns the text from "SYSTEM" on, or null
// when there is none. A block that lies outside the capability record holds no key.
static const char *ModemKeyPath(const LINEDEVCAPS *caps, DWORD capsSize, char key[kKeyBufferSize]) {
    memset(key, 0, kKeyBufferSize);
    DWORD size = caps->dwDevSpecificSize, offset = caps->dwDevSpecificOffset;
    if (offset > capsSize || size > capsSize - offset)
        return NULL;
    memcpy(key, (const BYTE *)caps + offset, size);
    key[size] = '\0';
    return strstr(key + kKeyTextStart, "SYSTEM");
}

DeviceVerdict ExamineLineDevice(HLINEAPP app, DWORD id, DWORD highestVersion,
                                LineDeviceFacts *facts) {
    memset(facts, 0, sizeof *facts);
    facts->id = id;
    LINEEXTENSIONID extension;
    facts->negotiateResult = lineNegotiateAPIVersion(app, id, kLowestVersion, highestVersion,
                                                     &facts->version, &extension);
    if (facts->negotiateResult != 0)
        return DEVICE_NEGOTIATION_FAILED;

    CapsRequest request = {app, id, facts->version, 0, 0, 0};
    void *block;
    facts->capsResult = FetchRecord(kLineDevCapsFixedSize, DevCapsFixedSize(facts->version),
                                    FillDevCaps, &request, &block, &facts->capsSize);
    facts->capsRequests = request.requests;
    facts->firstCapsResult = request.firstResult;
    facts->firstNeededSize = request.firstNeeded;
    if (!block)
        return DEVICE_NO_MEMORY;
    facts->caps = (LINEDEVCAPS *)block;
    if (facts->capsResult == (LONG)LINEERR_RESOURCEUNAVAIL)
        return DEVICE_CAPS_UNAVAILABLE; // in use or unusable
    if (facts->capsResult != 0)
        return DEVICE_CAPS_FAILED;
    if (facts->caps->dwDevSpecificSize >= kKeyBufferSize)
        return DEVICE_KEY_TOO_LONG;
    facts->keyPath = ModemKeyPath(facts->caps, facts->capsSize, facts->key);
    return facts->keyPath ? DEVICE_KEY_FOUND : DEVICE_NO_SYSTEM;
}

static bool IsChipsetMaker(const char *manufacturer) {
    for (const char *maker : kChipsetMakers)
        if (StrStrNoCase(manufacturer, maker))
            return true;
    return false;
}

static bool OffersVoice(const LINEDEVCAPS *caps) {
    return (caps->dwBearerModes & LINEBEARERMODE_VOICE) &&
           (caps->dwMediaModes & LINEMEDIAMODE_AUTOMATEDVOICE) &&
           (caps->dwLineFeatures & LINEFEATURE_MAKECALL);
}

// The maker is matched before the capabilities are tested, as discovery always has.
DeviceVerdict JudgeModemMaker(const LineDeviceFacts *facts, const char *manufacturer) {
    if (!IsChipsetMaker(manufacturer))
        return DEVICE_NOT_CHIPSET_MAKER;
    return OffersVoice(facts->caps) ? DEVICE_CANDIDATE : DEVICE_NO_VOICE;
}

void ReleaseLineDeviceFacts(LineDeviceFacts *facts) {
    free(facts->caps);
    facts->caps = NULL;
    facts->keyPath = NULL;
}

LONG OpenModemLine(HLINEAPP app, const LineDeviceFacts *facts, HLINE *line) {
    return lineOpenA(app, facts->id, line, facts->version, 0, kOwnerInstance,
                     LINECALLPRIVILEGE_OWNER, LINEMEDIAMODE_AUTOMATEDVOICE, NULL);
}
