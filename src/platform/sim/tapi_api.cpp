// The telephony API's functions over the simulated service: each call is journalled, can be
// made to fail, and is then carried out by the service. Portable, like the service itself.
#include "platform/sim/journal.h"
#include "platform/sim/line_service.h"

using sim::Enter;
using sim::Finish;
using sim::Ptr;
using sim::TheLineService;

LONG WINAPI lineInitializeExA(LPHLINEAPP lphLineApp, HINSTANCE hInstance, LINECALLBACK lpfnCallback,
                              LPCSTR lpszFriendlyAppName, LPDWORD lpdwNumDevs,
                              LPDWORD lpdwAPIVersion,
                              LPLINEINITIALIZEEXPARAMS lpLineInitializeExParams) {
    int64_t result;
    if (Enter("lineInitializeExA",
              {Ptr(lphLineApp), Ptr(hInstance), Ptr((void *)lpfnCallback), Ptr(lpdwNumDevs),
               lpdwAPIVersion ? *lpdwAPIVersion : 0,
               lpLineInitializeExParams ? lpLineInitializeExParams->dwOptions : 0},
              lpszFriendlyAppName, &result))
        return (LONG)Finish(result);
    return (LONG)Finish(TheLineService().InitializeEx(lphLineApp, lpfnCallback, lpdwNumDevs,
                                                      lpdwAPIVersion, lpLineInitializeExParams));
}

LONG WINAPI lineNegotiateAPIVersion(HLINEAPP hLineApp, DWORD dwDeviceID, DWORD dwAPILowVersion,
                                    DWORD dwAPIHighVersion, LPDWORD lpdwAPIVersion,
                                    LPLINEEXTENSIONID lpExtensionID) {
    int64_t result;
    if (Enter("lineNegotiateAPIVersion", {hLineApp, dwDeviceID, dwAPILowVersion, dwAPIHighVersion},
              NULL, &result))
        return (LONG)Finish(result);
    return (LONG)Finish(TheLineService().NegotiateAPIVersion(
        hLineApp, dwDeviceID, dwAPILowVersion, dwAPIHighVersion, lpdwAPIVersion, lpExtensionID));
}

LONG WINAPI lineGetDevCapsA(HLINEAPP hLineApp, DWORD dwDeviceID, DWORD dwAPIVersion,
                            DWORD dwExtVersion, LPLINEDEVCAPS lpLineDevCaps) {
    int64_t result;
    if (Enter("lineGetDevCapsA",
              {hLineApp, dwDeviceID, dwAPIVersion, dwExtVersion,
               lpLineDevCaps ? lpLineDevCaps->dwTotalSize : 0},
              NULL, &result))
        return (LONG)Finish(result);
    if (dwExtVersion != 0)
        return (LONG)Finish((LONG)LINEERR_INCOMPATIBLEEXTVERSION);
    return (LONG)Finish(
        TheLineService().GetDevCaps(hLineApp, dwDeviceID, dwAPIVersion, lpLineDevCaps));
}

LONG WINAPI lineOpenA(HLINEAPP hLineApp, DWORD dwDeviceID, LPHLINE lphLine, DWORD dwAPIVersion,
                      DWORD dwExtVersion, DWORD_PTR dwCallbackInstance, DWORD dwPrivileges,
                      DWORD dwMediaModes, LPLINECALLPARAMS const lpCallParams) {
    int64_t result;
    if (Enter("lineOpenA",
              {hLineApp, dwDeviceID, dwAPIVersion, dwExtVersion, dwCallbackInstance, dwPrivileges,
               dwMediaModes, Ptr(lpCallParams)},
              NULL, &result))
        return (LONG)Finish(result);
    if (dwExtVersion != 0)
        return (LONG)Finish((LONG)LINEERR_INCOMPATIBLEEXTVERSION);
    return (LONG)Finish(TheLineService().Open(hLineApp, dwDeviceID, lphLine, dwAPIVersion,
                                              dwCallbackInstance, dwPrivileges, dwMediaModes));
}

LONG WINAPI lineGetCallInfoA(HCALL hCall, LPLINECALLINFO lpCallInfo) {
    int64_t result;
    if (Enter("lineGetCallInfoA", {hCall, lpCallInfo ? lpCallInfo->dwTotalSize : 0}, NULL, &result))
        return (LONG)Finish(result);
    return (LONG)Finish(TheLineService().GetCallInfo(hCall, lpCallInfo));
}

LONG WINAPI lineAnswer(HCALL hCall, LPCSTR lpsUserUserInfo, DWORD dwSize) {
    int64_t result;
    if (Enter("lineAnswer", {hCall, Ptr(lpsUserUserInfo), dwSize}, NULL, &result))
        return (LONG)Finish(result);
    return (LONG)Finish(TheLineService().Answer(hCall));
}

LONG WINAPI lineGetIDA(HLINE hLine, DWORD dwAddressID, HCALL hCall, DWORD dwSelect,
                       LPVARSTRING lpDeviceID, LPCSTR lpszDeviceClass) {
    int64_t result;
    if (Enter("lineGetIDA",
              {hLine, dwAddressID, hCall, dwSelect, lpDeviceID ? lpDeviceID->dwTotalSize : 0},
              lpszDeviceClass, &result))
        return (LONG)Finish(result);
    return (LONG)Finish(TheLineService().GetID(hLine, dwSelect, lpDeviceID, lpszDeviceClass));
}

LONG WINAPI lineDrop(HCALL hCall, LPCSTR lpsUserUserInfo, DWORD dwSize) {
    int64_t result;
    if (Enter("lineDrop", {hCall, Ptr(lpsUserUserInfo), dwSize}, NULL, &result))
        return (LONG)Finish(result);
    return (LONG)Finish(TheLineService().Drop(hCall));
}

LONG WINAPI lineDeallocateCall(HCALL hCall) {
    int64_t result;
    if (Enter("lineDeallocateCall", {hCall}, NULL, &result))
        return (LONG)Finish(result);
    return (LONG)Finish(TheLineService().DeallocateCall(hCall));
}

LONG WINAPI lineClose(HLINE hLine) {
    int64_t result;
    if (Enter("lineClose", {hLine}, NULL, &result))
        return (LONG)Finish(result);
    return (LONG)Finish(TheLineService().Close(hLine));
}

LONG WINAPI lineShutdown(HLINEAPP hLineApp) {
    int64_t result;
    if (Enter("lineShutdown", {hLineApp}, NULL, &result))
        return (LONG)Finish(result);
    return (LONG)Finish(TheLineService().Shutdown(hLineApp));
}
