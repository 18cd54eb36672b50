// InitVoiceModem: registers with the telephony API and opens the line of the first voice modem
// whose registry key names an LSI, Agere or Lucent chipset and whose capabilities offer voice.
#include "screening/screening.h"

#include "common/state.h"
#include "diag/errhan.h"

#include <stdlib.h>
#include <string.h>

static const DWORD kRequestedVersion = 0x00020002;
static const DWORD kLowestVersion = 0x00020000;
static const char kAppName[] = "Ringward";
static const char *const kChipsetMakers[] = {"LSI", "Agere", "Lucent"};

enum : int {
    kKeyBufferSize = 256, // the device-specific block, copied and terminated
    kKeyTextStart = 8,    // two words precede the modem's key path
    kOwnerInstance = 1,   // callback instance of the opened line
};

enum DeviceOutcome { DEVICE_OPENED, DEVICE_PASSED_OVER, DISCOVERY_FAILED };

struct CapsRequest {
    DWORD deviceId;
    DWORD version;
};

static LONG FillDevCaps(void *block, void *context) {
    const CapsRequest *request = (const CapsRequest *)context;
    return lineGetDevCapsA(g_state.hLineApp, request->deviceId, request->version, 0,
                           (LPLINEDEVCAPS)block);
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

// Steps from the capability record on: the key, the maker, the capabilities, the open.
static DeviceOutcome TryOpenDevice(DWORD id, DWORD version, const LINEDEVCAPS *caps, DWORD capsSize,
                                   LONG *result) {
    *result = caps->dwDevSpecificSize >= kKeyBufferSize ? 1 : 0;
    if (ErrHan(result, cond::Z, "IVM 380", "F - Registry string too long."))
        return DEVICE_PASSED_OVER;
    char key[kKeyBufferSize];
    const char *keyPath = ModemKeyPath(caps, capsSize, key);
    if (!keyPath)
        return DEVICE_PASSED_OVER;
    char *manufacturer = NULL;
    *result = GetModemManufacturer(keyPath, &manufacturer);
    if (ErrHan(result, cond::Z, "IVM 520", "F - Could not get modem chipset type."))
        return DEVICE_PASSED_OVER;
    if (!IsChipsetMaker(manufacturer) || !OffersVoice(caps))
        return DEVICE_PASSED_OVER;
    *result = lineOpenA(g_state.hLineApp, id, &g_state.hLine, version, 0, kOwnerInstance,
                        LINECALLPRIVILEGE_OWNER, LINEMEDIAMODE_AUTOMATEDVOICE, NULL);
    if (ErrHan(result, cond::Z, "IVM 560", "F - Error opening line."))
        return DEVICE_PASSED_OVER;
    g_state.lineVersion = version;
    return DEVICE_OPENED;
}

static DeviceOutcome ExamineDevice(DWORD id, DWORD highestVersion, LONG *result) {
    DWORD version = 0;
    LINEEXTENSIONID extension;
    *result = lineNegotiateAPIVersion(g_state.hLineApp, id, kLowestVersion, highestVersion,
                                      &version, &extension);
    if (ErrHan(result, cond::Z, "IVM 320", "F - TAPI line negotiation error."))
        return DISCOVERY_FAILED;

    CapsRequest request = {id, version};
    void *block;
    DWORD capsSize;
    *result = FetchRecord(kLineDevCapsFixedSize, DevCapsFixedSize(version), FillDevCaps, &request,
                          &block, &capsSize);
    if (!block) {
        LONG allocation = 0;
        ErrHan(&allocation, cond::NZ, "IVM 340", "F - Error during realloc.");
        *result = allocation;
        return DISCOVERY_FAILED;
    }
    DeviceOutcome outcome = DEVICE_PASSED_OVER;
    if (*result == (LONG)LINEERR_RESOURCEUNAVAIL)
        outcome = DEVICE_PASSED_OVER; // in use or unusable: no report
    else if (ErrHan(result, cond::Z, "IVM 360", "F - Error during lineGetDevCaps."))
        outcome = DISCOVERY_FAILED;
    else
        outcome = TryOpenDevice(id, version, (const LINEDEVCAPS *)block, capsSize, result);
    free(block);
    return outcome;
}

LONG InitVoiceModem(void) {
    SetUnhandledExceptionFilter(TopLevelExceptionFilter);
    g_state.hLineApp = 0;
    g_state.hLine = 0;
    g_state.lineVersion = 0;

    LINEINITIALIZEEXPARAMS params;
    memset(&params, 0, sizeof params);
    params.dwTotalSize = sizeof params;
    params.dwOptions = LINEINITIALIZEEXOPTION_USEHIDDENWINDOW;
    DWORD version = kRequestedVersion;
    LONG result = lineInitializeExA(&g_state.hLineApp, NULL, LineCallback, kAppName,
                                    &g_state.numDevs, &version, &params);
    if (ErrHan(&result, cond::Z, "IVM 300", "F - Error during TAPI lineInitializeEx()."))
        return -1;

    for (LONG id = 0; id < (LONG)g_state.numDevs; id++) {
        DeviceOutcome outcome = ExamineDevice((DWORD)id, version, &result);
        if (outcome == DEVICE_OPENED)
            return 0;
        if (outcome == DISCOVERY_FAILED)
            return -1;
    }
    ErrHan(&result, cond::F, "IVM 580", "F - No Agere voice modem found or voice modem busy.");
    ShutdownAndExit();
    return -1;
}
