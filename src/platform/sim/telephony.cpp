// The simulated telephony service, as far as releasing calls, lines and the usage goes.
#include "platform/sim/internal.h"
#include "platform/sim/journal.h"
#include "platform/sim/sim.h"

namespace {
LONG nextRequestId = 1;
}

void sim::ResetTelephony() {
    nextRequestId = 1;
}

LONG WINAPI lineDrop(HCALL hCall, LPCSTR lpsUserUserInfo, DWORD dwSize) {
    int64_t result;
    if (sim::Enter("lineDrop", {hCall, sim::Ptr(lpsUserUserInfo), dwSize}, NULL, &result))
        return (LONG)sim::Finish(result);
    if (hCall == 0)
        return (LONG)sim::Finish((LONG)LINEERR_INVALCALLHANDLE);
    return (LONG)sim::Finish(nextRequestId++);
}

LONG WINAPI lineDeallocateCall(HCALL hCall) {
    int64_t result;
    if (sim::Enter("lineDeallocateCall", {hCall}, NULL, &result))
        return (LONG)sim::Finish(result);
    return (LONG)sim::Finish(hCall ? 0 : (LONG)LINEERR_INVALCALLHANDLE);
}

LONG WINAPI lineClose(HLINE hLine) {
    int64_t result;
    if (sim::Enter("lineClose", {hLine}, NULL, &result))
        return (LONG)sim::Finish(result);
    return (LONG)sim::Finish(hLine ? 0 : (LONG)LINEERR_INVALLINEHANDLE);
}

LONG WINAPI lineShutdown(HLINEAPP hLineApp) {
    int64_t result;
    if (sim::Enter("lineShutdown", {hLineApp}, NULL, &result))
        return (LONG)sim::Finish(result);
    return (LONG)sim::Finish(hLineApp ? 0 : (LONG)LINEERR_INVALAPPHANDLE);
}
