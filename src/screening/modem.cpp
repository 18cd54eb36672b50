// InitVoiceModem: registers with the telephony API and opens the line of the first voice modem
// whose registry key names an LSI, Agere or Lucent chipset and whose capabilities offer voice.
// What it learns of each device comes from ExamineLineDevice (examine.cpp); here it is judged
// and reported.
#include "screening/screening.h"

#include "common/state.h"
#include "diag/errhan.h"

static const char kAppName[] = "Ringward";

enum DeviceOutcome { DEVICE_OPENED, DEVICE_PASSED_OVER, DISCOVERY_FAILED };

// A device whose key names a "SYSTEM" path: its maker from the registry, then the open.
static DeviceOutcome TryOpenDevice(const LineDeviceFacts *facts, LONG *result) {
    char *manufacturer = NULL;
    *result = GetModemManufacturer(facts->keyPath, &manufacturer);
    if (ErrHan(result, cond::Z, "IVM 520", "F - Could not get modem chipset type."))
        return DEVICE_PASSED_OVER;
    if (JudgeModemMaker(facts, manufacturer) != DEVICE_CANDIDATE)
        return DEVICE_PASSED_OVER;
    *result = OpenModemLine(g_state.hLineApp, facts, &g_state.hLine);
    if (ErrHan(result, cond::Z, "IVM 560", "F - Error opening line."))
        return DEVICE_PASSED_OVER;
    g_state.lineVersion = facts->version;
    return DEVICE_OPENED;
}

// Each step's result passes through *result, which the "IVM 580" report shows after the last
// device.
static DeviceOutcome JudgeDevice(const LineDeviceFacts *facts, DeviceVerdict verdict,
                                 LONG *result) {
    *result = facts->negotiateResult;
    if (ErrHan(result, cond::Z, "IVM 320", "F - TAPI line negotiation error."))
        return DISCOVERY_FAILED;
    if (verdict == DEVICE_NO_MEMORY) {
        LONG allocation = 0;
        ErrHan(&allocation, cond::NZ, "IVM 340", "F - Error during realloc.");
        *result = allocation;
        return DISCOVERY_FAILED;
    }
    *result = facts->capsResult;
    if (verdict == DEVICE_CAPS_UNAVAILABLE)
        return DEVICE_PASSED_OVER; // in use or unusable: no report
    if (ErrHan(result, cond::Z, "IVM 360", "F - Error during lineGetDevCaps."))
        return DISCOVERY_FAILED;
    *result = verdict == DEVICE_KEY_TOO_LONG ? 1 : 0;
    if (ErrHan(result, cond::Z, "IVM 380", "F - Registry string too long."))
        return DEVICE_PASSED_OVER;
    if (verdict != DEVICE_KEY_FOUND)
        return DEVICE_PASSED_OVER; // no "SYSTEM" in the key: no report
    return TryOpenDevice(facts, result);
}

static DeviceOutcome TryDevice(DWORD id, DWORD highestVersion, LONG *result) {
    LineDeviceFacts facts;
    DeviceVerdict verdict = ExamineLineDevice(g_state.hLineApp, id, highestVersion, &facts);
    DeviceOutcome outcome = JudgeDevice(&facts, verdict, result);
    ReleaseLineDeviceFacts(&facts);
    return outcome;
}

LONG InitVoiceModem(void) {
    SetUnhandledExceptionFilter(TopLevelExceptionFilter);
    g_state.hLineApp = 0;
    g_state.hLine = 0;
    g_state.lineVersion = 0;

    DWORD version;
    LONG result =
        InitializeTelephony(LineCallback, kAppName, &g_state.hLineApp, &g_state.numDevs, &version);
    if (ErrHan(&result, cond::Z, "IVM 300", "F - Error during TAPI lineInitializeEx()."))
        return -1;

    for (LONG id = 0; id < (LONG)g_state.numDevs; id++) {
        DeviceOutcome outcome = TryDevice((DWORD)id, version, &result);
        if (outcome == DEVICE_OPENED)
            return 0;
        if (outcome == DISCOVERY_FAILED)
            return -1;
    }
    ErrHan(&result, cond::F, "IVM 580", "F - No Agere voice modem found or voice modem busy.");
    ShutdownAndExit();
    return -1;
}
